#!/usr/bin/env bash
# Builds Parley and runs the engine in the foreground. Extra arguments go to the engine
# (see build/parley --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/parley "$@"

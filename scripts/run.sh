#!/usr/bin/env bash
# Builds Parley and runs the sandbox: the web service and gateway simulators, the engine pointed
# at them, and a tour of every command through qx (see scripts/sandbox.sh). Extra arguments go
# to the sandbox, e.g. --keep to leave everything running, --short for fewer recipients, --ui for
# the web UI instead of the tour.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec bash scripts/sandbox.sh --bin-dir build "$@"

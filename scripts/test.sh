#!/usr/bin/env bash
# Builds Parley and runs every test. The last lines are CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest -j "$(nproc)" --output-on-failure --timeout 300

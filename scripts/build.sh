#!/usr/bin/env bash
# Installs what the build needs, then configures and builds Parley into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Line tables are enough for backtraces, profiles and sanitizer reports, and build a quarter
# faster than full debug information (the `dev` preset keeps it).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  >/dev/null
cmake --build build

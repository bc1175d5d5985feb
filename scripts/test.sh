#!/usr/bin/env bash
# Builds Parley and runs every test. A plain run ends with CTest's summary.
#
# With CI=true or PARLEY_FULL_TESTS=1 two more stages follow, on one clang build (build-san/):
# the tests again under AddressSanitizer + UndefinedBehaviorSanitizer, then every fuzz target for
# 6 seconds (scripts/fuzz.sh; run it longer by hand). Each stage reports the seconds it took, to
# keep the whole run within CI's time.
set -euo pipefail
cd "$(dirname "$0")/.."
stage_start=$SECONDS
stage_done() {
  echo "== $1 took $((SECONDS - stage_start)) s"
  stage_start=$SECONDS
}
bash scripts/build.sh
stage_done "build"
# A private PostgreSQL server for the office-database tests, stopped when the script ends.
eval "$(bash scripts/pg_server.sh start)"
trap 'bash scripts/pg_server.sh stop "$PARLEY_PG_DIR"' EXIT
stage_done "database server"
(cd build && ctest -j "$(nproc)" --output-on-failure --timeout 300)
stage_done "tests"

if [ "${CI:-}" != "true" ] && [ "${PARLEY_FULL_TESTS:-}" != "1" ]; then
  exit 0
fi

# One clang build serves both stages: AddressSanitizer and UndefinedBehaviorSanitizer with the
# fuzzers' coverage instrumentation, without optimisation (it builds in about half the time of
# -O1; the tests take a fifth longer). The benchmarks are not run here; line tables are all a
# report needs.
san="$(realpath -m "${PARLEY_SANITIZE_DIR:-build-san}")"
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer ($san)"
bash scripts/setup.sh clang libclang-rt-dev
# The PostgreSQL store is left out of this build: with libpq linked in, libcurl's first
# curl_easy_setopt crashes under AddressSanitizer with this toolchain (libcurl and libpq bring
# in the same system libraries); the store and its tests run in the plain build above.
CC=clang CXX=clang++ cmake -S . -B "$san" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -gline-tables-only" -DPARLEY_FUZZ=ON \
  -DPARLEY_BUILD_BENCH=OFF -DPARLEY_PGSTORE=OFF >/dev/null
cmake --build "$san"
stage_done "sanitizer build"
# The end-to-end tests start the engine and the simulators of this build, not of build/.
unset PARLEY_BIN WEBSIM_BIN GATESIM_BIN
# Every process writes its sanitizer report to a file here, the engines and simulators that the
# tests start included, whose output no test reads; any report fails the stage.
logs="$san/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"
san_status=0
(cd "$san" && ctest -j "$(nproc)" --output-on-failure --timeout 600) || san_status=1
if compgen -G "$logs/*" >/dev/null; then
  echo "== sanitizer reports" >&2
  head -n 100 "$logs"/* >&2
  san_status=1
fi
if [ "$san_status" -ne 0 ]; then exit 1; fi
stage_done "sanitizer tests"

echo "== fuzz targets, 6 s each"
unset ASAN_OPTIONS UBSAN_OPTIONS
PARLEY_FUZZ_DIR="$san" PARLEY_FUZZ_OPT=-O0 bash scripts/fuzz.sh 6
stage_done "fuzzing"

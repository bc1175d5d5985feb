#!/usr/bin/env bash
# Builds Parley and runs every test. A plain run ends with CTest's summary.
#
# With CI=true or PARLEY_FULL_TESTS=1 two more stages follow: the tests again in an
# AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/), then every fuzz target for
# 6 seconds (scripts/fuzz.sh, build-fuzz/; run it longer by hand). Each stage reports the
# seconds it took, to keep the whole run within CI's time.
set -euo pipefail
cd "$(dirname "$0")/.."
stage_start=$SECONDS
stage_done() {
  echo "== $1 took $((SECONDS - stage_start)) s"
  stage_start=$SECONDS
}
bash scripts/build.sh
stage_done "build"
(cd build && ctest -j "$(nproc)" --output-on-failure --timeout 300)
stage_done "tests"

if [ "${CI:-}" != "true" ] && [ "${PARLEY_FULL_TESTS:-}" != "1" ]; then
  exit 0
fi

asan="$(realpath -m "${PARLEY_ASAN_DIR:-build-asan}")"
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer ($asan)"
# The benchmarks are not run here; line tables are all a sanitizer report needs.
cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLEY_SANITIZE=ON -DPARLEY_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-g1" -DCMAKE_C_FLAGS_DEBUG="-g1" >/dev/null
cmake --build "$asan"
stage_done "sanitizer build"
# The end-to-end tests start the engine and the simulators of this build, not of build/.
unset PARLEY_BIN WEBSIM_BIN GATESIM_BIN
# Every process writes its sanitizer report to a file here, the engines and simulators that the
# tests start included, whose output no test reads; any report fails the stage.
logs="$asan/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"
asan_status=0
(cd "$asan" && ctest -j "$(nproc)" --output-on-failure --timeout 600) || asan_status=1
if compgen -G "$logs/*" >/dev/null; then
  echo "== sanitizer reports" >&2
  head -n 100 "$logs"/* >&2
  asan_status=1
fi
if [ "$asan_status" -ne 0 ]; then exit 1; fi
stage_done "sanitizer tests"

echo "== fuzz targets, 6 s each"
unset ASAN_OPTIONS UBSAN_OPTIONS
bash scripts/fuzz.sh 6
stage_done "fuzzing"

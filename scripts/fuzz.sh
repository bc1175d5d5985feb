#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each for SECONDS (default 20) from its seed corpus in fuzz/corpus/.
# Fails on the first crash, sanitizer report, leak, time-out or broken check; the input that
# caused it is left in build-fuzz/artifacts/.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
#
# New inputs found along the way go to build-fuzz/corpus/<target>/, never into the repository.
# PARLEY_FUZZ_DIR names another build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

seconds="${1:-20}"
shift || true
build="$(realpath -m "${PARLEY_FUZZ_DIR:-build-fuzz}")"

# clang and its libFuzzer runtime.
bash scripts/setup.sh clang libclang-rt-dev

# The configuration of the sanitizer stage of scripts/test.sh, which shares its build (with
# PARLEY_FUZZ_OPT=-O0 there; -O1 here by default, for more runs a second).
opt="${PARLEY_FUZZ_OPT:--O1}"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$opt -gline-tables-only" -DPARLEY_FUZZ=ON \
  -DPARLEY_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target parley_fuzzers

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$build/artifacts"

# Runs one target; prints its figures, or the end of its log when it failed.
run_target() {
  local target="$1"
  local binary="$build/fuzz/$target"
  local log="$build/artifacts/$target.log"
  if [ ! -x "$binary" ]; then
    echo "fuzz: no target $target" >&2
    return 1
  fi
  # Absolute paths: a target may change its current directory.
  mkdir -p "$build/corpus/$target"
  # The workbook target loads within small limits (see workbook_fuzz.cc): an allocation or a
  # memory peak past these is a load that escaped its budget.
  local limits=(-rss_limit_mb=2048)
  if [ "$target" = workbook_fuzz ]; then limits=(-rss_limit_mb=1024 -malloc_limit_mb=64); fi
  if "$binary" -max_total_time="$seconds" -timeout=25 "${limits[@]}" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target" \
      "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    # A reader that runs a library in a child process may see the child die; that child's
    # report and statistics land in the same log, so the parent's figures are the last ones.
    local figures
    figures="$(grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$log" |
      tail -n 3 | sed 's/^stat:://; s/: */ /' | tr '\n' ' ')"
    local children
    children="$(grep -c 'ERROR: AddressSanitizer\|runtime error' "$log" || true)"
    echo "fuzz: $target: $figures(sanitizer reports from child processes: $children)"
  else
    echo "fuzz: $target FAILED; the last lines of $log:" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
}

# Two targets at a time (PARLEY_FUZZ_JOBS), each for the full time.
jobs="${PARLEY_FUZZ_JOBS:-2}"
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, $jobs at a time"
status=0
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
  pids=()
  for target in "${targets[@]:i:jobs}"; do
    run_target "$target" &
    pids+=("$!")
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || status=1
  done
done
exit "$status"

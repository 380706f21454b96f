#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds everything and runs every test: the formatting check, the
# release build with all tests, the sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer),
# the command-line tests under ThreadSanitizer, and short libFuzzer runs over the readers.
# Every stage says how many tests or runs it executed; a stage that executed none fails the script,
# so a stage lost in a merge or a filter that no longer matches anything cannot pass unseen.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

. tools/stages.sh

# run_ctest STAGE BUILD-DIR [CTEST-ARGS...]: every test of a build, counted from ctest's summary.
run_ctest() {
  local stage=$1 dir=$2
  shift 2
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$jobs" "$@" | tee "$log"
  ran "$stage" "$(count_ctest "$log")" tests
}

echo "== formatting"
files=$(git ls-files '*.cpp' '*.hpp')
clang-format --dry-run --Werror $files
ran formatting "$(wc -w <<<"$files")" "files checked"

echo "== release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DACCELSPEC_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
run_ctest release build

echo "== sanitizer build (ASan + UBSan) and tests, the analysis window's among them (offscreen)"
# The main window's largest worst case (minutes of 80-bit arithmetic unoptimised), the package
# checks and the drawing of the guide's pictures (every page they show has its own test here) run
# in the release stage only.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DACCELSPEC_SANITIZE=ON -DACCELSPEC_BENCH=OFF \
  -DACCELSPEC_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
run_ctest "sanitizer build" build-asan -E '^(tst_window_worst_case|tst_analysis_screenshot|packaging_.*)$'

echo "== thread sanitizer over every core test and the command-line tool"
# Every core test, not a list: the spectra and RotD engines, the measures, the check, matching and
# the batch pool all start threads, and new code that does is covered without editing a filter.
# core_tests depends on accelspec-cli, so the tool the command tests run is the instrumented one;
# a report from it lands in the standard error the tests compare.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DACCELSPEC_TSAN=ON -DACCELSPEC_GUI=OFF \
  -DACCELSPEC_BENCH=OFF -DACCELSPEC_WERROR=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target core_tests accelspec-cli
# Each test in its own process, two at a time; the package and source checks are the release
# stage's.
export TSAN_OPTIONS=halt_on_error=1
run_ctest "thread sanitizer" build-tsan -E '^(packaging_.*|test_script_stages|core_folder_check|licence_lines)$'
unset TSAN_OPTIONS

echo "== fuzzing the readers (libFuzzer, clang)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DACCELSPEC_FUZZ=ON \
  -DACCELSPEC_GUI=OFF -DACCELSPEC_TESTS=OFF -DACCELSPEC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build build-fuzz -j"$jobs"
# The targets run side by side, one a core; each one's last line is shown and counted.
fuzz_logs=$(mktemp -d)
fuzz() {
  local name=$1 corpus
  corpus=$(mktemp -d)
  cp fuzz/corpus/"${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
  local status=0
  "build-fuzz/fuzz/$name" -max_total_time="${FUZZ_SECONDS:-10}" -max_len=4096 -timeout=10 "$corpus" \
    >"$fuzz_logs/$name.log" 2>&1 || status=$?
  rm -rf "$corpus"
  return $status
}
names=()
for source in fuzz/fuzz_*.cpp; do
  name=$(basename "$source" .cpp)
  [ -x "build-fuzz/fuzz/$name" ] || { echo "FAIL: the fuzz target $name was not built" >&2; exit 1; }
  names+=("$name")
done
failed=0
for ((i = 0; i < ${#names[@]}; i += jobs)); do
  pids=()
  for name in "${names[@]:i:jobs}"; do
    fuzz "$name" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
done
for name in "${names[@]}"; do
  if ((failed)); then grep -A30 -m1 'ERROR\|deadly signal\|timeout' "$fuzz_logs/$name.log" || true; fi
  tail -1 "$fuzz_logs/$name.log" | tee "$log"
  ((failed)) || ran "$name" "$(count_fuzz "$log")" runs
done
rm -rf "$fuzz_logs"
((failed == 0)) || { echo "FAIL: a fuzz target found a fault (its log is above)" >&2; exit 1; }
ran fuzzing "${#names[@]}" "fuzz targets"
echo "== all tests passed"

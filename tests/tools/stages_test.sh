#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The test script's counting: what each tool prints when it ran tests, ran none, or printed nothing,
# and every build the script configures is also built and counted.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/stages.sh"
failures=0
out=$(mktemp)
trap 'rm -f "$out"' EXIT

expect() { # WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}
counted() { # COUNTER TEXT
  printf '%s\n' "$2" >"$out"
  "$1" "$out"
}

expect "ctest summary" 274 "$(counted count_ctest $'Test project /b\n100% tests passed, 0 tests failed out of 274\n\nTotal Test time (real) = 1.00 sec')"
expect "ctest with a failure" 9 "$(counted count_ctest '89% tests passed, 1 tests failed out of 9')"
expect "ctest without tests" "" "$(counted count_ctest $'Test project /b\nNo tests were found!!!')"
expect "gtest summary" 254 "$(counted count_gtest $'[==========] 254 tests from 64 test suites ran. (5890 ms total)\n[  PASSED  ] 254 tests.')"
expect "gtest, one test" 1 "$(counted count_gtest '[  PASSED  ] 1 test.')"
expect "gtest, a filter matching nothing" 0 "$(counted count_gtest '[  PASSED  ] 0 tests.')"
expect "libFuzzer summary" 81234 "$(counted count_fuzz 'Done 81234 runs in 11 second(s)')"
expect "libFuzzer crash" "" "$(counted count_fuzz '==123== ERROR: AddressSanitizer: heap-buffer-overflow')"

for count in "" 0 x; do
  if ran stage "$count" tests >/dev/null 2>&1; then
    echo "FAIL: a stage that executed '$count' tests passed"
    failures=$((failures + 1))
  fi
done
expect "a stage that ran" "-- stage: tests: 3" "$(ran stage 3 tests)"

# A build directory configured but never built or run is the fault this guards against. The
# script checked is test.sh unless another is named (to see an old one fail).
script=${1:-$root/test.sh}
for dir in $(sed -n 's/.*cmake -S \. -B \([a-z-]*\).*/\1/p' "$script"); do
  grep -q "cmake --build $dir " "$script" || { echo "FAIL: $dir is configured but never built"; failures=$((failures + 1)); }
  grep -Eq "run_ctest .* $dir( |\$)|^[^#]*$dir/" "$script" || { echo "FAIL: nothing of $dir is run"; failures=$((failures + 1)); }
done

if ((failures)); then exit 1; fi
echo "stage counting: all cases hold"

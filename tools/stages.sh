# SPDX-License-Identifier: MIT
# Counting what each stage of test.sh executed, from the summaries the tools print; sourced by
# test.sh and tested by tests/tools/stages_test.sh on those summaries.

# ran STAGE COUNT WHAT: reports what a stage executed and fails when it executed nothing (a
# stage lost in a merge, a filter that no longer matches, a summary that was not printed).
ran() {
  if ! [[ "$2" =~ ^[0-9]+$ ]] || (("$2" == 0)); then
    echo "FAIL: the stage \"$1\" executed no $3" >&2
    return 1
  fi
  echo "-- $1: $3: $2"
}

# ctest's "100% tests passed, 0 tests failed out of 274"
count_ctest() { sed -n 's/.* tests\{0,1\} failed out of \([0-9]*\).*/\1/p' "$1" | tail -1; }

# GoogleTest's "[  PASSED  ] 254 tests."
count_gtest() { sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$1" | tail -1; }

# libFuzzer's "Done 12345 runs in 10 second(s)"
count_fuzz() { sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$1" | tail -1; }

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The configure step's check of a core file: Qt, the window, the command line and a folder later in
# the line are refused with the file named; includes of earlier folders and of the standard library pass.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
order="data;files;records;matching"

check() { # WHAT FOLDER EXPECTED(pass|fail) MESSAGE-PART INCLUDE-LINE
  printf '#include <vector>\n%s\nint x;\n' "$5" >"$dir/f.cpp"
  out=$(cmake -D FILE="$dir/f.cpp" -D FOLDER="$2" -D ORDER="$order" -P "$root/cmake/core_check.cmake" 2>&1)
  rc=$?
  if [ "$3" = pass ] && [ $rc -ne 0 ]; then
    echo "FAIL: $1: refused: $out"; failures=$((failures + 1))
  elif [ "$3" = fail ] && { [ $rc -eq 0 ] || ! grep -qF -- "$4" <<<"$out" || ! grep -qF "$dir/f.cpp" <<<"$out"; }; then
    echo "FAIL: $1: rc $rc, output: $out"; failures=$((failures + 1))
  fi
}

check "an earlier folder" records pass "" '#include "files/textio.hpp"'
check "its own folder" records pass "" '#include "records/record.hpp"'
check "a generated header" matching pass "" '#include "accelspec_version.hpp"'
check "Qt" data fail "must not use Qt" '#include <QString>'
check "the window" matching fail "(app/)" '#include "app/tforma.hpp"'
check "the command line" records fail "(cli/)" '  #  include "cli/cli.hpp"'
check "a system header in a folder" files pass "" '#include <sys/stat.h>'
check "the window in angle brackets" check fail "(app/)" '#include <app/tforma.hpp>'
check "a later folder" files fail "must not use records/" '#include "records/record.hpp"'

[ $failures -eq 0 ] && echo "core check: all cases pass"
exit $((failures > 0))

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every source file of the tree carries the licence's SPDX line near its top.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
missing=0
while IFS= read -r f; do
  head -n 3 "$root/$f" | grep -q 'SPDX-License-Identifier: MIT' || { echo "no SPDX line: $f"; missing=$((missing + 1)); }
done < <(git -C "$root" ls-files '*.cpp' '*.hpp' '*.py' '*.pyi' '*.sh' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt')
((missing == 0)) || exit 1
echo "every source file carries the SPDX line"

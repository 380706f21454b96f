#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the release build with all
# tests, the sanitizer build, short libFuzzer runs over the readers, and the formatting check.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs=$(nproc)

echo "== formatting"
files=$(git ls-files '*.cpp' '*.hpp')
clang-format --dry-run --Werror $files

echo "== release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DACCELSPEC_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== sanitizer build (ASan + UBSan) and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DACCELSPEC_SANITIZE=ON -DACCELSPEC_GUI=OFF \
  -DACCELSPEC_BENCH=OFF -DACCELSPEC_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== thread sanitizer over the parallel engines, the file writer and the command-line tool"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DACCELSPEC_GUI=OFF -DACCELSPEC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null

echo "== fuzzing the readers (libFuzzer, clang)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DACCELSPEC_FUZZ=ON \
  -DACCELSPEC_GUI=OFF -DACCELSPEC_TESTS=OFF -DACCELSPEC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build build-fuzz -j"$jobs"
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  cp fuzz/corpus/"${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
  "$target" -max_total_time="${FUZZ_SECONDS:-10}" -max_len=4096 -timeout=10 "$corpus" 2>&1 | tail -1
  rm -rf "$corpus"
done
echo "== all tests passed"

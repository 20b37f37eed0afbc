#!/usr/bin/env bash
# Builds and runs every test: the Windows cross builds (MinGW-w64) first, so that
# the POSIX build's Windows tier runs them under Wine; then the POSIX host plainly
# and under ASan/UBSan. Usage: bash tests/run-all.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if command -v i686-w64-mingw32-g++ >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null; then
  cmake --workflow --preset mingw32
  cmake --workflow --preset mingw64
else
  echo "mingw32, mingw64: skipped, MinGW-w64 is not installed (apt-get install mingw-w64)"
fi
cmake --workflow --preset default
cmake --workflow --preset asan
bash tests/build-without-test-libraries.sh
# The fuzz targets, a few seconds each, when clang's libFuzzer runtime is there.
if command -v clang++ >/dev/null && echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
  cmake --workflow --preset fuzz
else
  echo "fuzz: skipped, clang's libFuzzer runtime is not installed (apt-get install clang libclang-rt-14-dev)"
fi

#!/usr/bin/env bash
# Builds and runs every test: the POSIX host plainly and under ASan/UBSan, then the
# Windows cross build. Usage: bash tests/run-all.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset default
cmake --workflow --preset asan
if command -v i686-w64-mingw32-g++ >/dev/null; then
  cmake --workflow --preset mingw32
else
  echo "mingw32: skipped, i686-w64-mingw32-g++ is not installed (apt-get install mingw-w64)"
fi

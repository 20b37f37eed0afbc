#!/bin/bash
# The request rates of this checkout beside those of an earlier commit, in one
# run on this machine: both trees build request_bench (and cv_load) with the
# default preset's flags, then each benchmark runs on both, one after the other.
#
#   tests/sim/bench/compare.sh BASE_COMMIT [WORK_DIR] [-- benchmark options]
#
# WORK_DIR (default /tmp/machine-before) receives `git archive BASE_COMMIT`.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
base=${1:?usage: compare.sh BASE_COMMIT [WORK_DIR] [-- benchmark options]}
shift
work=/tmp/machine-before
if [ $# -gt 0 ] && [ "$1" != "--" ]; then work=$1; shift; fi
[ "${1:-}" = "--" ] && shift

if [ ! -f "$work/CMakeLists.txt" ]; then
  mkdir -p "$work"
  git -C "$source_dir" archive "$base" | tar -x -C "$work"
fi
# The earlier tree gets the same benchmark source.
mkdir -p "$work/tests/sim/bench"
cp "$here/request_bench.cpp" "$work/tests/sim/bench/"
if ! grep -q request_bench "$work/tests/sim/CMakeLists.txt"; then
  cat >> "$work/tests/sim/CMakeLists.txt" <<'CMAKE'
find_package(benchmark REQUIRED)
add_executable(request_bench bench/request_bench.cpp)
target_link_libraries(request_bench PRIVATE cvadapter cvsim_posix winapi benchmark::benchmark)
CMAKE
fi

for tree in "$work" "$source_dir"; do
  cmake -S "$tree" -B "$tree/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCV_WINE_TESTS=OFF > /dev/null
  cmake --build "$tree/build/bench" --target request_bench cv_load CV_UTIL cv_mon > /dev/null
done

for filter in BM_StatusBlockFrozen BM_StatusBlockLive/ BM_StatusBlockLiveFourProcesses; do
  for tree in "$work" "$source_dir"; do
    label=after; [ "$tree" = "$work" ] && label="before ($base)"
    echo "== $label"
    "$tree/build/bench/bin/request_bench" --benchmark_filter="$filter" "$@" 2>/dev/null | grep '^BM_'
  done
done

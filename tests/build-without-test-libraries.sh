#!/usr/bin/env bash
# Builds the programs on a machine view without GoogleTest and Google Benchmark,
# as a user who installed only what the programs need would, and runs them once
# against a temporary machine. Usage: bash tests/build-without-test-libraries.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/no-test-libraries
log=$(mktemp)
root=$(mktemp -d)
trap 'rm -rf "$root" "$log"' EXIT

cmake --preset default -B "$build" --no-warn-unused-cli -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$log"
if ! grep -q "tests: left out, GoogleTest is not installed" "$log"; then
  cat "$log"
  echo "build-without-test-libraries: the configure step did not say that the tests are left out" >&2
  exit 1
fi
cmake --build "$build"
for program in CV_UTIL cv_mon cvsim cvsetup-host libcvsetup.so; do
  test -e "$build/bin/$program" || { echo "build-without-test-libraries: $program was not built" >&2; exit 1; }
done
# The first run makes the default machine, whose adapter the check then finds.
CVLAN_SYSROOT="$root/machine" "$build/bin/CV_UTIL" I all >/dev/null
"$build/bin/cvsim" --root "$root/machine" check >/dev/null
echo "build-without-test-libraries: the programs build and run without the test libraries"

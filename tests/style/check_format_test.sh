#!/bin/bash
# tools/check-format.sh on a small tree of its own: a file laid out as
# .clang-format says passes, one that is not fails and is named, and without
# clang-format the check says so and asks to be skipped (77).
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/tools" "$work/src"
cp "$source_dir/.clang-format" "$work/"
cp "$source_dir/tools/check-format.sh" "$source_dir/tools/format-files.sh" "$source_dir/tools/format.sh" "$work/tools/"
git -C "$work" init -q
printf '/* Laid out. */\nint Sum(int A, int B) { return A + B; }\n' > "$work/src/good.cpp"
printf 'int   Bad( int *p ){return *p;}\n' > "$work/src/bad.cpp"
git -C "$work" add -A

if ! command -v "${CLANG_FORMAT:-clang-format}" > /dev/null 2>&1; then
  echo "check_format_test: clang-format not found; skipped"
  exit 77
fi

output=$("$work/tools/check-format.sh" 2>&1)
status=$?
[ $status -eq 1 ] || fail "an unformatted file gives status $status, not 1"
grep -q 'src/bad.cpp' <<< "$output" || fail "the unformatted file is not named: $output"
grep -q 'src/good.cpp' <<< "$output" && fail "the formatted file is named: $output"

"$work/tools/format.sh" || fail "format.sh failed"
output=$("$work/tools/check-format.sh" 2>&1)
status=$?
[ $status -eq 0 ] || fail "after format.sh the check gives status $status: $output"
grep -q '^int Bad(int \*p) { return \*p; }$' "$work/src/bad.cpp" || fail "format.sh laid out: $(cat "$work/src/bad.cpp")"

output=$(CLANG_FORMAT=/nonexistent/clang-format "$work/tools/check-format.sh" 2>&1)
status=$?
[ $status -eq 77 ] || fail "without clang-format the status is $status, not 77"
grep -q 'not found' <<< "$output" || fail "without clang-format nothing says so: $output"

[ $failures -eq 0 ] && echo "check_format_test: passed"
exit $((failures != 0))

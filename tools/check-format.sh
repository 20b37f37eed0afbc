#!/bin/bash
# Fails, naming the files, when a C or C++ file differs from what clang-format
# makes of it with the tree's .clang-format. Exit status 77 when clang-format is
# missing, so that ctest reports the check as skipped.
. "$(dirname "$0")/format-files.sh"
if ! command -v "$CLANG_FORMAT" > /dev/null 2>&1; then
  echo "check-format: $CLANG_FORMAT not found; the layout is not checked"
  exit 77
fi
unformatted=()
for file in "${FORMAT_FILES[@]}"; do
  "$CLANG_FORMAT" --dry-run -Werror "$file" > /dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -ne 0 ]; then
  echo "check-format: ${#unformatted[@]} files differ from the layout; tools/format.sh lays them out:"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "check-format: ${#FORMAT_FILES[@]} files laid out"

#!/bin/bash
# Lays out every C and C++ file of the tree with clang-format and the tree's
# .clang-format, in place. With file names, only those files.
. "$(dirname "$0")/format-files.sh"
if ! command -v "$CLANG_FORMAT" > /dev/null 2>&1; then
  echo "format: $CLANG_FORMAT not found" >&2
  exit 2
fi
if [ $# -ne 0 ]; then FORMAT_FILES=("$@"); cd - > /dev/null || exit 2; fi
"$CLANG_FORMAT" -i "${FORMAT_FILES[@]}"

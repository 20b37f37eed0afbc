#!/usr/bin/env bash
# The setup library of a Windows build exports exactly DoDialog, by name.
#   check-exports.sh OBJDUMP DLL
set -euo pipefail
objdump=$1 dll=$2
[ -f "$dll" ] || { echo "Windows tier skipped: $dll is not built"; exit 77; }
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\t\[ *[0-9]*\] //p')
if [ "$exports" != DoDialog ]; then
  echo "FAIL $(basename "$dll") exports:"
  echo "${exports:-(nothing)}" | sed 's/^/  /'
  exit 1
fi
echo "ok   $(basename "$dll") exports exactly DoDialog"

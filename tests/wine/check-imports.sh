#!/usr/bin/env bash
# The shipped programs of a Windows build import only what the oldest Windows
# they must load on exports: every import is in the checked list, and the PE
# headers ask for no later system than the list is for.
#   check-imports.sh OBJDUMP LIST BIN_DIR OS_VERSION SUBSYSTEM_VERSION
set -euo pipefail
objdump=$1 list=$2 bin=$3 os=$4 subsystem=$5
programs=(CV_UTIL.exe cv_mon.exe cvsetup.dll cvsetup-host.exe)
for program in "${programs[@]}"; do
  [ -f "$bin/$program" ] || { echo "Windows tier skipped: $bin/$program is not built"; exit 77; }
done

allowed=$(grep -v '^#' "$list" | grep -v '^$' | sort -u)
status=0
for program in "${programs[@]}"; do
  headers=$("$objdump" -p "$bin/$program")
  # "DLL Name: X" starts a DLL's entries: hint, ordinal-or-hint, name.
  imports=$(awk '/DLL Name:/ { dll = tolower($3); next }
                 dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }
                 /^$/ { dll = "" }' <<<"$headers" | sort -u)
  [ -n "$imports" ] || { echo "FAIL $program: no imports found (objdump output changed?)"; status=1; continue; }
  unchecked=$(comm -23 <(echo "$imports") <(echo "$allowed"))
  if [ -n "$unchecked" ]; then
    echo "FAIL $program imports what $(basename "$list") does not list (check each, then add it):"
    echo "$unchecked" | sed 's/^/  /'
    status=1
  fi
  for field in OSystem Subsystem; do
    want=$os
    [ $field = Subsystem ] && want=$subsystem
    got=$(awk -v f=$field '$1 == "Major" f "Version" { major = $2 } $1 == "Minor" f "Version" { minor = $2 }
                           END { print major "." minor }' <<<"$headers")
    if [ "$got" != "$want" ]; then
      echo "FAIL $program: ${field} version $got in its PE header, not $want"
      status=1
    fi
  done
  [ $status -ne 0 ] || echo "ok   $program: $(wc -l <<<"$imports") imports, all listed; versions $os/$subsystem"
done
exit $status

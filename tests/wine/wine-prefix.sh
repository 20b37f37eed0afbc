#!/usr/bin/env bash
# Private Wine prefixes for the Windows test tier.
#
#   wine-prefix.sh create DIR win32|win64   a fresh prepared prefix in DIR
#   wine-prefix.sh clone TEMPLATE DIR       a copy of a prepared prefix for one scenario
#   wine-prefix.sh remove DIR               ends the prefix's wineserver and removes DIR
#
# Creating a prefix takes 7 to 18 seconds, so a run prepares one per architecture
# and every scenario gets a copy. The copy hard-links the prefix's big, read-only
# files (the system DLLs) and copies everything Wine writes (the registry files,
# the .ini files, the user folders), so a scenario never changes the template.
set -euo pipefail

die() { echo "wine-prefix.sh: $*" >&2; exit 1; }

create() {
  local dir=$1 arch=$2
  case $arch in win32|win64) ;; *) die "unknown architecture '$arch'" ;; esac
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  # The first Wine process of a session must not write into a pipe: Wine's system
  # processes inherit it and the reader never sees its end. Hence the log file.
  # No Mono and no Gecko: nothing here needs them, and their installers would ask.
  WINEPREFIX=$dir WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
    wineboot --init >"$dir.log" 2>&1 || { cat "$dir.log" >&2; die "wineboot failed for $dir"; }
  # Until the server has written the registry, services made now are not found.
  WINEPREFIX=$dir wineserver -w
  [ -f "$dir/system.reg" ] || die "no registry in $dir after wineboot (see $dir.log)"
}

clone() {
  local template=$1 dir=$2
  [ -f "$template/system.reg" ] || die "$template is not a prepared prefix"
  rm -rf "$dir"
  cp -a --link "$template" "$dir"
  # Give the copy its own instance of every file that Wine may rewrite in place.
  find "$dir" -type f \( -path "$dir/*.reg" -o -path "$dir/drive_c/users/*" \
    -o -path "$dir/drive_c/ProgramData/*" -o -iname '*.ini' -o -iname '*.log' \) -print0 |
    while IFS= read -r -d '' file; do
      cp -p --remove-destination "$template${file#"$dir"}" "$file"
    done
}

remove() {
  local dir=$1
  if [ -d "$dir" ]; then
    WINEPREFIX=$dir wineserver -k 2>/dev/null || true
    WINEPREFIX=$dir wineserver -w 2>/dev/null || true
    rm -rf "$dir"
  fi
  rm -f "$dir.log"
}

case ${1:-} in
  create) [ $# -eq 3 ] || die "usage: create DIR win32|win64"; create "$2" "$3" ;;
  clone) [ $# -eq 3 ] || die "usage: clone TEMPLATE DIR"; clone "$2" "$3" ;;
  remove) [ $# -eq 2 ] || die "usage: remove DIR"; remove "$2" ;;
  *) die "usage: wine-prefix.sh create|clone|remove ..." ;;
esac

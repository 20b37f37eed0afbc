#!/usr/bin/env bash
# cv_mon's screen on both hosts: the POSIX build on a terminal of its own (tmux)
# and the Windows build in Wine's console on one, each against an adapter made
# with `cvsim init --frozen` (the same adapter on both), compared cell by cell
# once the first table pass has drawn; then a q typed on the terminal must end
# the monitor with exit status 0 on both.
#
#   compare-screens.sh --posix BIN --windows BIN --prefix TEMPLATE
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
posix='' windows='' template=''
while [ $# -gt 0 ]; do
  case $1 in
    --posix) posix=$2; shift 2 ;;
    --windows) windows=$2; shift 2 ;;
    --prefix) template=$2; shift 2 ;;
    *) echo "compare-screens.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
command -v wine >/dev/null || { echo "Windows tier skipped: wine is not installed"; exit 77; }
command -v tmux >/dev/null || { echo "Windows tier skipped: tmux is not installed"; exit 77; }
[ -f "$template/system.reg" ] || { echo "Windows tier skipped: no prepared Wine prefix at $template"; exit 77; }
posix=$(cd "$posix" && pwd) && windows=$(cd "$windows" 2>/dev/null && pwd) ||
  { echo "Windows tier skipped: no Windows build at $windows"; exit 77; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvscreens.XXXXXX")
socket=cvscreens$$
end() {
  tmux -L "$socket" kill-server 2>/dev/null
  [ ! -d "$scratch/prefix" ] || "$here/wine-prefix.sh" remove "$scratch/prefix"
  rm -rf "$scratch"
}
trap end EXIT

# screen FILE COMMAND: COMMAND on an 80 x 25 terminal; its screen once the
# monitor has drawn its table (the first rate pass comes within 1.1 s) and the
# screen stays as it is for a second (the adapter's time stands still). Then
# q, and FILE.status gets the exit status (or "none" if it did not end).
screen() {
  local file=$1 command=$2 shown='' previous='' now
  rm -f "$file.exit"
  tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 25 "$command; echo \$? >'$file.exit'; sleep 60"
  for _ in $(seq 150); do
    if tmux -L "$socket" capture-pane -p | grep -q '^Entry '; then shown=1; break; fi
    sleep 0.1
  done
  if [ -n "$shown" ]; then
    sleep 1.5
    for _ in $(seq 20); do
      now=$(tmux -L "$socket" capture-pane -p)
      [ "$now" = "$previous" ] && break
      previous=$now
      sleep 1
    done
  fi
  tmux -L "$socket" capture-pane -p >"$file"
  tmux -L "$socket" send-keys q
  for _ in $(seq 50); do
    [ -f "$file.exit" ] && break
    sleep 0.1
  done
  cat "$file.exit" 2>/dev/null >"$file.status" || echo none >"$file.status"
  tmux -L "$socket" kill-server 2>/dev/null
  [ -n "$shown" ]
}

failed=0 passed=0
compare() {
  local name=$1 init=$2 arguments=$3
  rm -rf "$scratch/root"
  CVLAN_SYSROOT=$scratch/root "$posix/cvsim" init --frozen $init || { echo "FAIL $name: cvsim init"; failed=$((failed + 1)); return; }
  local shown=1
  screen "$scratch/posix.txt" "CVLAN_SYSROOT='$scratch/root' TERM=xterm '$posix/cv_mon' $arguments" || shown=''

  "$here/wine-prefix.sh" clone "$template" "$scratch/prefix" || { failed=$((failed + 1)); return; }
  local env="WINEPREFIX='$scratch/prefix' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY="
  WINEPREFIX=$scratch/prefix wineserver -p
  # The session's first process, with output files of its own (see wine-prefix.sh).
  (cd "$scratch" && eval "$env wine '$windows/cvsim.exe' init --frozen $init" >"$scratch/init.out" 2>"$scratch/init.err")
  screen "$scratch/wine.txt" "$env TERM=xterm wine '$windows/cv_mon.exe' $arguments 2>'$scratch/wine.err'" || shown=''
  "$here/wine-prefix.sh" remove "$scratch/prefix"

  local quit="POSIX $(cat "$scratch/posix.txt.status"), Wine $(cat "$scratch/wine.txt.status")"
  if [ "$quit" != "POSIX 0, Wine 0" ]; then
    echo "FAIL $name: q gave exit status $quit, expected 0 on both"
    failed=$((failed + 1))
  elif [ -n "$shown" ] && cmp -s "$scratch/posix.txt" "$scratch/wine.txt"; then
    echo "ok   $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name$([ -n "$shown" ] || echo ': a screen without its table') (POSIX, then Wine):"
    diff "$scratch/posix.txt" "$scratch/wine.txt" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
}

compare "cv_mon all, station" "" all
compare "cv_mon, CellAP" --cellap ""
echo "screens: $passed equal, $failed differ"
[ $failed -eq 0 ]

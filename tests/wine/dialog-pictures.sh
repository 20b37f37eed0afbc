#!/usr/bin/env bash
# Pictures of the configuration dialog for docs/: the real dialog of the Windows
# build under Wine (PNG, from a virtual X display) and the POSIX build's terminal
# rendering of the same dialog (text, from tmux).
#
#   dialog-pictures.sh WINDOWS_BIN POSIX_BIN OUT_DIR
#
# Needs wine, Xvfb, ImageMagick's import and convert, tmux and the URW Gothic
# font. Both show a new installation (cvsetup-host 0) with every default.
set -euo pipefail

windows=$(cd "$1" && pwd) posix=$(cd "$2" && pwd) out=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvpictures.XXXXXX")
xvfb=''
cleanup() {
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  tmux -L cvpictures kill-server 2>/dev/null || true
  "$here/wine-prefix.sh" remove "$scratch/prefix" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The real dialog: Wine draws it on Xvfb (no window manager, so no title bar).
"$here/wine-prefix.sh" create "$scratch/prefix" win32
# The template asks for 8-point "Helv", which Wine gives as its MS Sans Serif:
# wider against the dialog units it makes than the labels were laid out for, so
# "Interrupt Number:", "IO Port Address:", "Memory Base Address:" and "Access
# Point Id:" wrap and lose their second line. URW Gothic (Debian's
# fonts-urw-base35), whose capitals are wide against its small letters, makes
# dialog units from which every label fits whole on its line.
font="URW Gothic"
fc-list | grep -q "$font" || { echo "dialog-pictures.sh: no $font font (install fonts-urw-base35)" >&2; exit 1; }
WINEPREFIX=$scratch/prefix WINEDEBUG=-all wine reg add \
  'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v Helv /d "$font" /f >/dev/null 2>&1
WINEPREFIX=$scratch/prefix wineserver -w
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
sleep 1
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
(cd "$scratch" && DISPLAY=$display wine "$windows/cvsetup-host.exe" 0 >"$scratch/result.txt" 2>"$scratch/wine.err" &)
for _ in $(seq 30); do
  sleep 1
  DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q 'Corvane NT Installation' && break
done
sleep 2  # let it finish painting
import -display "$display" -window root "$scratch/root.png"
convert "$scratch/root.png" -trim +repage "$out/dialog-wine.png"
wineserver -k

# The terminal rendering: the POSIX build in an 80 x 25 tmux window.
tmux -L cvpictures -f /dev/null new-session -d -x 80 -y 25 \
  "cd '$scratch' && CVLAN_SYSROOT='$scratch/root' TERM=xterm '$posix/cvsetup-host' 0 > /dev/null; sleep 30"
sleep 3
tmux -L cvpictures capture-pane -p >"$out/dialog-terminal.txt"
echo "wrote $out/dialog-wine.png and $out/dialog-terminal.txt"

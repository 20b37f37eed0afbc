#!/usr/bin/env bash
# The screens of cv_mon as docs/ shows them: the station screen, the CellAP
# screen and the station's `all` screen, each drawn on an 80 x 25 terminal of
# its own (tmux) against a frozen machine, so that every run draws the same.
#
#   make-screens.sh BIN_DIR [OUT_DIR]          writes NAME.txt and NAME.png
#   make-screens.sh --check BIN_DIR [OUT_DIR]  fails when a NAME.txt differs
#
# OUT_DIR is this script's folder unless given. The pictures are the text
# captures rendered by ImageMagick's convert in DejaVu Sans Mono (Debian's
# fonts-dejavu-core), light grey on black as the NT console shows them; without
# them only the text is written. Needs tmux; --check exits 77 without it.
set -euo pipefail

check=false
if [ "${1:-}" = --check ]; then check=true; shift; fi
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=${2:-$here}
mkdir -p "$out"
out=$(cd "$out" && pwd)
if ! command -v tmux >/dev/null; then
  echo "cv_mon screens skipped: tmux is not installed"
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvscreens.XXXXXX")
socket=cvscreens-$$
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  # A cv_mon that the hang-up ends still removes its device name as it goes:
  # the scratch folder may take a moment to empty. Never the script's status.
  for _ in 1 2 3 4 5; do
    rm -rf "$scratch" 2>/dev/null && break
    sleep 1
  done
  return 0
}
trap cleanup EXIT

# capture NAME INIT_OPTIONS CV_MON_ARGS: the screen once it has settled (two
# captures a second apart agree) or, with --check, once it is the one expected.
capture() {
  local name=$1 init=$2 args=$3 root=$scratch/$1
  # shellcheck disable=SC2086
  "$bin/cvsim" --root "$root" init --frozen $init >/dev/null
  tmux -L "$socket" new-session -d -s "$name" -x 80 -y 25 \
    "cd '$root' && env LANG=C.UTF-8 LC_ALL=C.UTF-8 CVLAN_SYSROOT='$root' '$bin/cv_mon' $args; : >'$root.ended'; sleep 600"
  # The rates and the table need some three seconds of passes to settle.
  local previous='' screen='' expected=''
  ! $check || expected=$(cat "$out/$name.txt")
  sleep 3
  for _ in $(seq 20); do
    screen=$(tmux -L "$socket" capture-pane -p -t "$name")
    if $check; then
      [ "$screen" = "$expected" ] && break
    else
      [ -n "$previous" ] && [ "$screen" = "$previous" ] && break
    fi
    previous=$screen
    sleep 1
  done
  tmux -L "$socket" send-keys -t "$name" q
  printf '%s\n' "$screen" >"$scratch/$name.txt"
  # cv_mon has ended (and left its machine alone) before its folder is removed.
  for _ in $(seq 50); do
    [ -e "$root.ended" ] && break
    sleep 0.1
  done
}

# One tmux server for the three terminals, which draw at the same time.
tmux -L "$socket" -f /dev/null new-session -d -s keep "sleep 600"
capture station '' '' &
capture cellap --cellap '' &
capture all '' all &
wait

status=0
for name in station cellap all; do
  if $check; then
    if ! diff -u "$out/$name.txt" "$scratch/$name.txt"; then
      echo "docs/screens/$name.txt no longer matches what cv_mon draws: run docs/screens/make-screens.sh $1"
      status=1
    fi
    continue
  fi
  cp "$scratch/$name.txt" "$out/$name.txt"
  font=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
  if command -v convert >/dev/null && [ -f "$font" ]; then
    # 80 columns of 8.4 pixels and 25 rows of 17 at 14 points, with a margin;
    # convert drops leading spaces: they become no-break spaces, as wide.
    rows=() y=18
    while IFS= read -r row; do
      lead=${row%%[! ]*}
      row=${lead// /$'\xc2\xa0'}${row#"$lead"}
      [ -z "$row" ] || rows+=(-annotate "+8+$y" "${row//%/%%}")
      y=$((y + 17))
    done <"$scratch/$name.txt"
    convert -define png:exclude-chunk=date,time -size 700x445 xc:black -fill '#c0c0c0' -font "$font" -pointsize 14 "${rows[@]}" "$out/$name.png"
    echo "wrote $out/$name.txt and $name.png"
  else
    echo "wrote $out/$name.txt (no picture: convert or $font is missing)"
  fi
done
exit $status

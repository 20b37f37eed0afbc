#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from the build tree,
# unpacked with dpkg-deb into a temporary root, and its programs run from there
# with nothing of the build tree in reach (the run path of cvsetup-host, a
# temporary machine, the working directory outside the build).
#
#   deb-package.sh BUILD_DIR SOURCE_DIR
#
# Exit 77 (skipped) where dpkg-deb, dpkg-shlibdeps, tmux or man is missing.
set -euo pipefail

build=$(cd "$1" && pwd) source=$(cd "$2" && pwd)
for tool in dpkg-deb dpkg-shlibdeps tmux man; do
  if ! command -v $tool >/dev/null; then
    echo "Debian package test skipped: $tool is not installed"
    exit 77
  fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvpackage.XXXXXX")
socket=cvpackage-$$
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack -G DEB"; }
deb=$(ls "$scratch"/out/*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = cvlan ] || fail "package name"
version=$(sed -n 's/^project(cvlan VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not the project's $version"
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no dependencies found by shlibdeps"
dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
for file in bin/CV_UTIL bin/cv_mon bin/cvsim bin/cvsetup-host lib/libcvsetup.so share/doc/cvlan/README.md; do
  [ -e "$usr/$file" ] || fail "$file is not in the package"
done
if readelf -d "$usr"/bin/* "$usr"/lib/*.so | grep -E 'R(UN)?PATH' | grep -v '\[\$ORIGIN/../lib\]'; then
  fail "a run path outside the package"
fi

# Every program from the package alone: a clean environment, a machine of its own.
mkdir -p "$scratch/home" "$scratch/work"
cd "$scratch/work"
run() {
  env -i PATH="$usr/bin:/usr/bin:/bin" HOME="$scratch/home" TERM=xterm LANG=C.UTF-8 \
    CVLAN_SYSROOT="$scratch/machine" "$@"
}

run CV_UTIL I all >"$scratch/i-all.txt" || fail "CV_UTIL I all: exit status $?"
grep -q 'Associated' "$scratch/i-all.txt" || { cat "$scratch/i-all.txt"; fail "CV_UTIL I all: no status"; }

# cv_mon and the configuration dialog on a terminal of their own.
tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 25 "sleep 600"
on_terminal() {  # on_terminal NAME WAIT_FOR KEY COMMAND...: runs it, types KEY once WAIT_FOR shows
  local name=$1 wait_for=$2 key=$3
  shift 3
  tmux -L "$socket" new-window -d -n "$name" \
    "cd '$scratch/work' && env -i PATH='$usr/bin:/usr/bin:/bin' HOME='$scratch/home' TERM=xterm \
     LANG=C.UTF-8 CVLAN_SYSROOT='$scratch/machine' $* >'$scratch/$name.out' 2>'$scratch/$name.err'; \
     echo \$? >'$scratch/$name.status'; sleep 600"
  for _ in $(seq 100); do
    tmux -L "$socket" capture-pane -p -t "$name" >"$scratch/$name.screen"
    grep -q "$wait_for" "$scratch/$name.screen" && break
    sleep 0.1
  done
  grep -q "$wait_for" "$scratch/$name.screen" || { cat "$scratch/$name.screen" "$scratch/$name.err"; fail "$name: no \"$wait_for\" on the screen"; }
  tmux -L "$socket" send-keys -t "$name" "$key"
  for _ in $(seq 100); do
    [ -s "$scratch/$name.status" ] && break
    sleep 0.1
  done
  [ -s "$scratch/$name.status" ] || fail "$name did not end after $key"
  [ "$(cat "$scratch/$name.status")" = 0 ] || { cat "$scratch/$name.err"; fail "$name: exit status $(cat "$scratch/$name.status")"; }
}
on_terminal cv_mon 'Byte/sec' q cv_mon
on_terminal dialog 'Interrupt Number' Enter cvsetup-host 99999
[ "$(cat "$scratch/dialog.out")" = "0,0,5,992,832,851968,257,0,1,0," ] ||
  { cat "$scratch/dialog.out" "$scratch/dialog.err"; fail "cvsetup-host 99999: unexpected result text"; }

# The manual pages render; once the project has them, each program has its page.
pages=$(ls "$usr"/share/man/man1/*.1* 2>/dev/null || true)
if [ -f "$source/cmake/CvManuals.cmake" ]; then
  for program in CV_UTIL cv_mon cvsim cvsetup-host; do
    ls "$usr/share/man/man1/$program.1"* >/dev/null 2>&1 || fail "no manual page for $program"
  done
fi
for page in $pages; do
  text=$(run env MANWIDTH=80 man -l "$page" 2>&1) || fail "man -l $page"
  [ -n "$text" ] || fail "man -l $page shows nothing"
done

echo "cvlan $version: $(basename "$deb") installs and runs ($(echo $pages | wc -w) manual pages)"

#!/usr/bin/env bash
# Sources cvsim's bash completion and checks what it offers at a few places of a
# command line, and that it offers every command and key cvsim takes.
# Usage: cvsim_completion_test.sh COMPLETION CVSIM
set -uo pipefail
source "$1"
cvsim=$2
status=0

# The words offered for a command line whose last word is being completed.
offered() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _cvsim cvsim "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect() {
  local want=$1
  shift
  local got
  got=$(offered "$@")
  if [[ $got != "$want" ]]; then
    echo "completing '$*': offered '$got', expected '$want'"
    status=1
  fi
}

expect "fail fail-dos-removal freeze " cvsim f
expect "set " cvsim --root /tmp s
expect "cellap station " cvsim set mode ""
expect "cellap " cvsim set mode c
expect "access-mode address ap-address " cvsim set a
expect "--driver-version " cvsim init --cellap --dr
expect "cvlan1 cvlan2 cvlan3 cvlan4 " cvsim init --instance ""
expect "add clear " cvsim acl ""
expect "off on " cvsim fail-dos-removal ""
expect "--clear " cvsim log -
expect "" cvsim peek 500 ""
expect "--help --root --version " cvsim --
root=$(mktemp -d)
mkdir "$root/machine-a"
expect "$root/machine-a " cvsim --root "$root/machine-"
rmdir "$root/machine-a" "$root"

# Every command in cvsim's help, and every key of set, is offered.
commands=$("$cvsim" --help | sed -n 's/^  \([a-z-]*\).*/\1/p' | sort | tr '\n' ' ')
all=$(offered cvsim "" | tr ' ' '\n' | grep -v '^-' | sort | tr '\n' ' ')
[[ $all == "$commands" ]] || { echo "commands offered '$all', cvsim has '$commands'"; status=1; }
keys=$("$cvsim" --help | sed -n 's/^  set .*(KEY: \(.*\))$/\1/p' | tr ' ' '\n' | sort | tr '\n' ' ')
[[ -n $keys && $(offered cvsim set "") == "$keys" ]] || { echo "keys of set: offered '$(offered cvsim set "")', cvsim has '$keys'"; status=1; }

exit $status

#!/usr/bin/env bash
# The README's tour must show what the programs print: every `$ COMMAND` of its
# console blocks runs (build/default/bin/ standing for BIN_DIR) in a scratch
# folder against a frozen default machine and must print the lines below it; the
# cv_mon screen and the dialog it shows must be the captures in docs/.
#
#   readme-tour.sh BIN_DIR SOURCE_DIR
set -euo pipefail

bin=$(cd "$1" && pwd) source=$(cd "$2" && pwd)
readme=$source/README.md
scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvreadme.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export CVLAN_SYSROOT=$scratch/machine
"$bin/cvsim" init --frozen

failures=0 commands=0
check() {  # check COMMAND EXPECTED_FILE
  local command=${1//build\/default\/bin\//$bin/}
  case $1 in *'cvsetup-host 0'*) return ;; esac  # the dialog waits for a key
  commands=$((commands + 1))
  (cd "$scratch" && bash -c "$command") >"$scratch/actual" 2>&1 || true
  if ! diff -u "$2" "$scratch/actual" >"$scratch/diff"; then
    echo "README: \`$1\` prints otherwise:"
    cat "$scratch/diff"
    failures=$((failures + 1))
  fi
}

in_block=false command=''
: >"$scratch/expected"
while IFS= read -r line; do
  if ! $in_block; then
    [ "$line" = '```console' ] && in_block=true
    continue
  fi
  if [ "$line" = '```' ] || [ "${line:0:2}" = '$ ' ]; then
    [ -z "$command" ] || check "$command" "$scratch/expected"
    : >"$scratch/expected"
    command=''
    if [ "$line" = '```' ]; then in_block=false; else command=${line:2}; fi
    continue
  fi
  printf '%s\n' "$line" >>"$scratch/expected"
done <"$readme"
[ "$commands" -gt 0 ] || { echo "README: no console commands found"; exit 1; }

for capture in docs/screens/station.txt docs/dialog-terminal.txt; do
  if ! CAPTURE="$source/$capture" perl -0777 -ne \
      'open my $c, "<", $ENV{CAPTURE} or die; local $/; my $t = <$c>; $t =~ s/\n+\z/\n/; exit(index($_, $t) >= 0 ? 0 : 1)' "$readme"; then
    echo "README: the screen of $capture is not the one shown"
    failures=$((failures + 1))
  fi
done

echo "README tour: $commands commands, $failures differences"
[ "$failures" -eq 0 ]

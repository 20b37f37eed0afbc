#!/usr/bin/env bash
# Renders every manual page with groff and with mandoc's checker and fails on any
# warning; a formatter that is not installed is skipped with a line saying so.
# Usage: manual_pages_test.sh MAN_DIR CVSIM
set -uo pipefail
dir=$1
cvsim=$2
status=0
checked=0

pages=("$dir"/*.1)
if [[ ${#pages[@]} -ne 4 || ! -e ${pages[0]} ]]; then
  echo "manual pages: expected four pages in $dir, found ${#pages[@]}"
  exit 1
fi

if command -v groff >/dev/null; then
  for page in "${pages[@]}"; do
    out=$(groff -man -ww -z "$page" 2>&1)
    if [[ -n $out ]]; then echo "groff: $page:"; echo "$out"; status=1; fi
  done
  checked=1
else
  echo "groff: skipped, not installed (apt-get install groff)"
fi
if command -v mandoc >/dev/null; then
  for page in "${pages[@]}"; do
    if ! out=$(mandoc -Tlint "$page" 2>&1) || [[ -n $out ]]; then
      echo "mandoc: $page:"; echo "$out"; status=1
    fi
  done
  checked=1
else
  echo "mandoc: skipped, not installed (apt-get install mandoc)"
fi

# Every command cvsim lists in its help is described in its page.
while read -r command _; do
  if ! grep -Eq "^\.(B|BI|BR) \"?$(sed 's/-/\\\\-/g' <<<"$command")[\" ]|^\.(B|BI|BR) $(sed 's/-/\\\\-/g' <<<"$command")$" "$dir/cvsim.1"; then
    echo "cvsim.1: the command $command is not described"
    status=1
  fi
done < <("$cvsim" --help | sed -n 's/^  \([a-z-]*\).*/\1/p')

# The pages carry the project's version.
version=$("$cvsim" --version | cut -d' ' -f2)
for page in "${pages[@]}"; do
  grep -q "^\.TH .* \"cvlan $version\"" "$page" || { echo "$page: not of version $version"; status=1; }
done

if [[ $status -eq 0 && $checked -eq 0 ]]; then exit 77; fi
exit $status

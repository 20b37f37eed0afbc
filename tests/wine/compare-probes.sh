#!/usr/bin/env bash
# Runs each probe program on both hosts and compares the outputs line by line.
#
#   compare-probes.sh --posix DIR --windows DIR --prefix TEMPLATE [--known FILE] PROBE...
#
# A probe prints one fact per line, "what: result". Lines must agree, except
# where the known-differences file names the fact: there Wine is known to depart
# from Windows, and winapi must give what Windows gives. Its lines are
#   probe <TAB> fact (the text before the first ": ") <TAB> Windows' result <TAB> why
# A known difference that no longer differs is reported, so that the file does
# not outlive the fault it names.
# A probe whose source folder holds NAME.reg (probe_NAME) runs on a registry made
# from it, and one with NAME.tree in a folder made from that: one entry a line,
# a path and a tab and the file's one line of text, or a path ending in / for a
# folder. Both hosts run a probe in the same folder, so that paths agree. A probe
# with a resource script (NAME.rc) shows windows: on POSIX it gets a terminal of
# its own, where winapi draws dialogs, and under Wine a virtual X display.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
probes_source=$(cd "$here/../probes" && pwd)
posix='' windows='' template='' known=/dev/null
probes=()
while [ $# -gt 0 ]; do
  case $1 in
    --posix) posix=$2; shift 2 ;;
    --windows) windows=$2; shift 2 ;;
    --prefix) template=$2; shift 2 ;;
    --known) known=$2; shift 2 ;;
    -*) echo "compare-probes.sh: unknown option $1" >&2; exit 2 ;;
    *) probes+=("$1"); shift ;;
  esac
done
posix=$(cd "$posix" 2>/dev/null && pwd) || { echo "compare-probes.sh: no POSIX build at --posix" >&2; exit 2; }
windows=$(cd "$windows" 2>/dev/null && pwd) || { echo "Windows tier skipped: no Windows build at --windows"; exit 77; }
template=$(cd "$template" 2>/dev/null && pwd) || template=''
command -v wine >/dev/null || { echo "Windows tier skipped: wine is not installed"; exit 77; }
[ -f "$template/system.reg" ] || { echo "Windows tier skipped: no prepared Wine prefix at $template"; exit 77; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvprobes.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The registry a probe needs, if any: PROBE.reg beside its source.
fixture_of() { local f=$probes_source/${1#probe_}.reg; [ -f "$f" ] && echo "$f"; }

# A fresh working folder for the probe, filled from its tree.
make_work() {  # probe
  local work=$scratch/work.$1 tree=$probes_source/${1#probe_}.tree path text
  rm -rf "$work"
  mkdir -p "$work"
  [ -f "$tree" ] || return 0
  while IFS=$'\t' read -r path text; do
    case $path in
      */) mkdir -p "$work/$path" ;;
      *) mkdir -p "$(dirname "$work/$path")"; printf '%s\n' "$text" >"$work/$path" ;;
    esac
  done <"$tree"
}

run_posix() {  # probe output
  local probe=$1 out=$2 root=$scratch/root.$1 fixture
  mkdir -p "$root"
  make_work "$probe"
  fixture=$(fixture_of "$probe")
  if [ -n "$fixture" ]; then cp "$fixture" "$root/registry.reg"
  else printf 'Windows Registry Editor Version 5.00\n' >"$root/registry.reg"; fi
  if shows_windows "$probe"; then
    (cd "$scratch/work.$probe" && CVLAN_SYSROOT=$root TERM=xterm timeout 60 \
      script -qec "'$posix/$probe' >'$out' 2>'$out.err'" /dev/null >"$out.tty")
  else
    (cd "$scratch/work.$probe" && CVLAN_SYSROOT=$root timeout 60 "$posix/$probe" >"$out" 2>"$out.err")
  fi
}

run_wine() {  # probe output
  local probe=$1 out=$2 prefix=$scratch/prefix.$1 fixture status
  "$here/wine-prefix.sh" clone "$template" "$prefix" || return 1
  make_work "$probe"
  fixture=$(fixture_of "$probe")
  export WINEPREFIX=$prefix WINEDEBUG=fixme-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  if [ -n "$fixture" ]; then
    cp "$fixture" "$scratch/fixture.$probe.reg"
    (cd "$scratch" && wine regedit /S "fixture.$probe.reg" >"$out.reg" 2>&1) ||
      { echo "regedit could not import $fixture" >&2; return 1; }
  fi
  local display=()
  shows_windows "$probe" && display=(xvfb-run -a)
  (cd "$scratch/work.$probe" && timeout 120 "${display[@]}" wine "$windows/$probe.exe" >"$out.crlf" 2>"$out.err")
  status=$?
  "$here/wine-prefix.sh" remove "$prefix"
  unset WINEPREFIX
  tr -d '\r' <"$out.crlf" >"$out"
  return $status
}

shows_windows() { [ -f "$probes_source/${1#probe_}.rc" ]; }

key_of() { local line=$1; echo "${line%%: *}"; }

known_field() {  # probe key field: the known difference's field 3 (Windows' result) or 4 (why)
  awk -F'\t' -v p="$1" -v k="$2" -v f="$3" '$1 == p && $2 == k { print $f; exit }' "$known"
}

failed=0
for probe in "${probes[@]}"; do
  if [ ! -x "$posix/$probe" ] || [ ! -f "$windows/$probe.exe" ]; then
    echo "FAIL $probe: not built ($posix/$probe, $windows/$probe.exe)"
    failed=1
    continue
  fi
  run_posix "$probe" "$scratch/$probe.posix" || { echo "FAIL $probe: the POSIX run failed"; cat "$scratch/$probe.posix.err"; failed=1; continue; }
  run_wine "$probe" "$scratch/$probe.wine" || { echo "FAIL $probe: the Wine run failed"; cat "$scratch/$probe.wine.err"; failed=1; continue; }
  mapfile -t mine <"$scratch/$probe.posix"
  mapfile -t theirs <"$scratch/$probe.wine"
  if [ ${#mine[@]} -ne ${#theirs[@]} ]; then
    echo "FAIL $probe: ${#mine[@]} lines on POSIX, ${#theirs[@]} under Wine"
    diff "$scratch/$probe.posix" "$scratch/$probe.wine" | sed 's/^/  /'
    failed=1
    continue
  fi
  differences=0 explained=0
  for i in "${!mine[@]}"; do
    key=$(key_of "${mine[$i]}")
    reason=$(known_field "$probe" "$key" 4)
    if [ "${mine[$i]}" = "${theirs[$i]}" ]; then
      [ -z "$reason" ] || echo "note $probe: \"$key\" no longer differs under Wine; drop it from $(basename "$known")"
      continue
    fi
    expected=$(known_field "$probe" "$key" 3)
    if [ -n "$reason" ] && [ "$key" = "$(key_of "${theirs[$i]}")" ] && [ "${mine[$i]#*: }" = "$expected" ]; then
      explained=$((explained + 1))
      echo "known $probe: $key"
      echo "        winapi: ${mine[$i]#*: }"
      echo "        Wine:   ${theirs[$i]#*: }"
      echo "        ($reason)"
      continue
    fi
    differences=$((differences + 1))
    echo "FAIL $probe, line $((i + 1))$([ -z "$reason" ] || echo ", where Windows gives: $expected"):"
    echo "        winapi: ${mine[$i]}"
    echo "        Wine:   ${theirs[$i]}"
  done
  if [ $differences -eq 0 ]; then
    echo "ok   $probe: ${#mine[@]} lines agree$([ $explained -eq 0 ] || echo ", $explained known Wine departures")"
  else
    failed=1
  fi
done
exit $failed

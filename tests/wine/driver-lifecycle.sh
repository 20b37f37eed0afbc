#!/usr/bin/env bash
# The simulated adapter driver's life under Wine, which no POSIX machine has:
# started by cvsim.exe, stopped (its device and DOS device name go with it),
# started again, and replaced by an instance of another name.
#
#   driver-lifecycle.sh BIN TEMPLATE    BIN the Windows build's bin, TEMPLATE a prepared prefix
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$1" 2>/dev/null && pwd) || { echo "Windows tier skipped: no build at $1"; exit 77; }
template=$2
command -v wine >/dev/null || { echo "Windows tier skipped: wine is not installed"; exit 77; }
[ -f "$template/system.reg" ] || { echo "Windows tier skipped: no prepared Wine prefix at $template"; exit 77; }
[ -f "$bin/cvsim.exe" ] || { echo "Windows tier skipped: no cvsim.exe in $bin"; exit 77; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvdriver.XXXXXX")
"$here/wine-prefix.sh" clone "$template" "$scratch/prefix" || exit 1
export WINEPREFIX=$scratch/prefix WINEDEBUG=fixme-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
end() { "$here/wine-prefix.sh" remove "$scratch/prefix"; rm -rf "$scratch"; }
trap end EXIT
wide=''
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && wide=1

failures=0
# check WHAT EXPECTED-STATUS EXPECTED-OUTPUT COMMAND...: one Wine run, output to a
# file; an expected output of * is not compared.
check() {
  local what=$1 status=$2 expected=$3
  shift 3
  (cd "$scratch" && timeout 60 wine "$@" >"$scratch/out" 2>"$scratch/err" </dev/null)
  local got=$?
  local out
  out=$(tr -d '\r' <"$scratch/out")
  if [ "$got" != "$status" ] || { [ "$expected" != "*" ] && [ "$out" != "$expected" ]; }; then
    echo "FAIL $what: status $got (expected $status), output:"
    sed 's/^/    /' "$scratch/out" "$scratch/err" | head -20
    failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}

wineserver -p
# The session's first process: Wine's system processes keep its output files.
(cd "$scratch" && wine "$bin/cvsim.exe" init >"$scratch/init.out" 2>"$scratch/init.err")
check "the started driver answers" 0 "ACL cleared" "$bin/CV_UTIL.exe" Z
# The instance's parameters as a new installation writes them, as on POSIX.
(cd "$scratch" && wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\cvlan1\Parameters' \
  >"$scratch/parameters" 2>&1)
if tr -d '\r' <"$scratch/parameters" | grep -Eq '^ +Net_Id +REG_DWORD +0x101$' &&
    tr -d '\r' <"$scratch/parameters" | grep -Eq '^ +CellAP +REG_DWORD +0x0$'; then
  echo "ok   the instance has its parameters"
else
  echo "FAIL the instance has its parameters:"
  sed 's/^/    /' "$scratch/parameters"
  failures=$((failures + 1))
fi
if [ -n "$wide" ]; then
  check "the 64-bit driver names its device" 0 'cvlan1: \Device\cvlan1' "$bin/probe_dos_device.exe" cvlan1
fi
check "stopping unloads the driver" 0 "*" "$WINEPREFIX/drive_c/windows/system32/sc.exe" stop cvlan1
sleep 1
check "without the driver no device opens" 1 "Error - Corvane API is not installed." "$bin/CV_UTIL.exe" Z
check "and the DOS device name is gone" 0 "cvlan1: no DOS device name (error 2)" "$bin/probe_dos_device.exe" cvlan1
check "cvsim finds no adapter" 1 "" "$bin/cvsim.exe" peek 500 1
check "started again, a fresh adapter" 0 "" "$bin/cvsim.exe" init --instance cvlan1
check "which answers" 0 "Net_ID set to 7" "$bin/CV_UTIL.exe" N 7
# Steps of three cvsim processes at once, with traffic moving the adapter: a put
# made from an old snapshot is refused and made again, so no entry is lost.
check "a CellAP with an empty list" 0 "" "$bin/cvsim.exe" init --cellap
for writer in 1 2 3; do
  for entry in 1 2 3 4 5; do
    (cd "$scratch" && wine "$bin/cvsim.exe" acl add "$(printf '020E5A01%02X%02X' "$writer" "$entry")" \
      >/dev/null 2>>"$scratch/writers.err") || echo "writer $writer, entry $entry: failed" >>"$scratch/writers.err"
  done &
done
wait
expected=$(for writer in 1 2 3; do for entry in 1 2 3 4 5; do printf '02 0E 5A 01 %02X %02X\n' "$writer" "$entry"; done; done)
(cd "$scratch" && wine "$bin/cvsim.exe" acl >"$scratch/acl" 2>&1)
if [ -s "$scratch/writers.err" ] || [ "$(tr -d '\r' <"$scratch/acl" | sort)" != "$expected" ]; then
  echo "FAIL parallel steps lose nothing:"
  sed 's/^/    /' "$scratch/writers.err" "$scratch/acl" | head -20
  failures=$((failures + 1))
else
  echo "ok   parallel steps lose nothing"
fi
check "another instance replaces it" 0 "" "$bin/cvsim.exe" init --instance CVLAN3
check "so cvlan1's services key is gone" 1 "*" "$WINEPREFIX/drive_c/windows/system32/reg.exe" query \
  'HKLM\SYSTEM\CurrentControlSet\Services\cvlan1'
check "and CVLAN3 answers" 0 "02 0E 5A 10 00 03" "$bin/cvsim.exe" peek C05 6
exit $((failures > 0))

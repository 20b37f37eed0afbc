#!/usr/bin/env bash
# Runs scenario lists against one host's build of the programs.
#
#   run-scenarios.sh --host posix --bin DIR LIST...
#   run-scenarios.sh --host wine --bin DIR --prefix TEMPLATE LIST...
#   (--only NAME runs one scenario)
#
# A list is a bash file of functions named scenario_*, run in the order they
# appear, each in a fresh machine: on POSIX a new system root, under Wine a copy
# of the prepared prefix (wine-prefix.sh). A scenario uses only the steps below,
# which mean the same on both hosts, so that one list checks both builds:
#
#   instance_key NAME        the driver instance key SYSTEM\CurrentControlSet\Services\NAME
#   adapter [OPTION...]      a simulated adapter and its instance key (cvsim init OPTION...):
#                            on POSIX in the machine's files, under Wine the kernel driver,
#                            installed and started by cvsim.exe for the scenario's session
#   instance_parameters NAME VALUE=NUMBER...
#                            that key with DWORD values in its Parameters key
#   text_file PATH TEXT      a file in the scenario's working folder (TEXT taken verbatim)
#   folder PATH              a folder there
#   run PROGRAM [ARG...]     runs a built program (CV_UTIL, cv_mon, a probe, ...)
#   dialog MODE KEY...       the setup dialog (cvsetup-host MODE) with the keys typed into
#                            it: Tab, Enter, Escape, Space, BSpace or literal characters
#   not_under_wine REASON    ends the scenario here under Wine, saying why (use as
#                            `not_under_wine "..." || return`)
#   not_under_wine64 REASON  the same in a 64-bit prefix only
#   expect_status N          the last run's exit status
#   expect_stdout [TEXT]     the last run's standard output, byte for byte (TEXT, or
#                            standard input when no TEXT is given)
#   expect_stdout_matching [TEXT]
#                            the same, each line of TEXT an extended regular expression
#                            for the whole line (for what differs by build, as addresses)
#
# Expected texts are written with line feeds; on Windows a program's text-mode
# output ends its lines with CR LF, so there each line feed stands for CR LF.
# Exit status: 0 when every scenario passed, 1 when one failed, 77 when the
# host cannot run (no Wine, or the programs are not built).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
host='' bin='' template='' only=''
lists=()
while [ $# -gt 0 ]; do
  case $1 in
    --host) host=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --prefix) template=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    -*) echo "run-scenarios.sh: unknown option $1" >&2; exit 2 ;;
    *) lists+=("$1"); shift ;;
  esac
done
case $host in posix|wine) ;; *) echo "run-scenarios.sh: --host posix or wine" >&2; exit 2 ;; esac
[ -n "$bin" ] && [ ${#lists[@]} -gt 0 ] || { echo "run-scenarios.sh: --bin DIR and a list are needed" >&2; exit 2; }

bin=$(cd "$bin" 2>/dev/null && pwd) || { echo "Windows tier skipped: no build at the given --bin"; exit 77; }
[ -z "$template" ] || template=$(cd "$template" 2>/dev/null && pwd) || template=''
if [ "$host" = wine ]; then
  command -v wine >/dev/null || { echo "Windows tier skipped: wine is not installed"; exit 77; }
  [ -f "$template/system.reg" ] || { echo "Windows tier skipped: no prepared Wine prefix at $template"; exit 77; }
  exe=.exe
else
  exe=''
fi

# ---- host steps ------------------------------------------------------------

scratch=''      # the scenario's temporary folder
failures=()     # what went wrong in the current scenario
last_status=''  # of the last run
runs=0

note_failure() { failures+=("$*"); }

# Each line feed of an expected text as the host's programs write it.
host_text() {
  local text
  text=$(cat; printf x)
  text=${text%x}
  if [ "$host" = wine ]; then text=${text//$'\n'/$'\r\n'}; fi
  printf '%s' "$text"
}

machine_start() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/cvscenario.XXXXXX")
  mkdir -p "$scratch/work"
  if [ "$host" = wine ]; then
    "$here/wine-prefix.sh" clone "$template" "$scratch/prefix" || return 1
    export WINEPREFIX=$scratch/prefix
    # Errors of the loader and of the service control manager stay visible in the
    # scenario's error files; the fixme noise does not.
    export WINEDEBUG=fixme-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
  else
    # A machine with the services list and nothing in it, rather than the default
    # machine that a program makes in an empty system root.
    export CVLAN_SYSROOT=$scratch/root
    mkdir -p "$CVLAN_SYSROOT"
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services]\n' \
      >"$CVLAN_SYSROOT/registry.reg"
  fi
}

machine_end() {
  if [ "$host" = wine ]; then
    "$here/wine-prefix.sh" remove "$scratch/prefix"
    unset WINEPREFIX
  fi
  rm -rf "$scratch"
}

instance_key() {
  local name=$1
  if [ "$host" = wine ]; then
    # Output to a file: this may be the session's first Wine process.
    if ! wine reg add "HKLM\\SYSTEM\\CurrentControlSet\\Services\\$name" /f \
        >"$scratch/reg.out" 2>"$scratch/reg.err"; then
      note_failure "reg add $name failed: $(cat "$scratch/reg.err")"
    fi
  else
    printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\%s]\n' "$name" \
      >>"$CVLAN_SYSROOT/registry.reg"
  fi
}

instance_parameters() {
  local name=$1 setting text
  shift
  text="[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\$name\\Parameters]"$'\n'
  for setting in "$@"; do
    text+=$(printf '"%s"=dword:%08x' "${setting%%=*}" "${setting#*=}")$'\n'
  done
  if [ "$host" = wine ]; then
    printf 'Windows Registry Editor Version 5.00\r\n\r\n%s' "${text//$'\n'/$'\r\n'}" >"$scratch/parameters.reg"
    if ! (cd "$scratch" && wine reg import parameters.reg >"$scratch/reg.out" 2>"$scratch/reg.err"); then
      note_failure "reg import for $name failed: $(cat "$scratch/reg.err")"
    fi
  else
    instance_key "$name"
    printf '\n%s' "$text" >>"$CVLAN_SYSROOT/registry.reg"
  fi
}

text_file() {
  mkdir -p "$(dirname "$scratch/work/$1")"
  printf '%s' "$2" >"$scratch/work/$1"
}

folder() { mkdir -p "$scratch/work/$1"; }

run() {
  local program=$bin/$1$exe
  shift
  runs=$((runs + 1))
  if [ ! -f "$program" ]; then
    note_failure "$program is not built"
    last_status=missing
    : >"$scratch/out"
    return
  fi
  # Standard output and error go to files, never into a pipe (see above).
  if [ "$host" = wine ]; then
    (cd "$scratch/work" && timeout 120 wine "$program" "$@" >"$scratch/out" 2>"$scratch/err" </dev/null)
  else
    # Without a terminal, as a program that Wine starts here has no console.
    (cd "$scratch/work" && timeout 60 setsid -w "$program" "$@" >"$scratch/out" 2>"$scratch/err" </dev/null)
  fi
  last_status=$?
  cp "$scratch/out" "$scratch/out.$runs"
  cp "$scratch/err" "$scratch/err.$runs"
}

adapter() {
  local status attempt
  if [ "$host" = wine ]; then
    # The driver lives as long as the session: keep it for the whole scenario
    # (machine_end ends it). cvsim.exe may be the session's first process, so
    # its output goes to files of its own, which Wine's system processes keep.
    for attempt in 1 2; do
      wineserver -p
      (cd "$scratch" && timeout 120 wine "$bin/cvsim.exe" init "$@" >"$scratch/adapter.out" 2>"$scratch/adapter.err" </dev/null)
      status=$?
      # Now and then Wine cannot start a process at all (its shared user data
      # does not map): Wine's trouble, not the driver's; a new session, once.
      [ $status -ne 0 ] && grep -q 'failed to map the shared user data' "$scratch/adapter.err" || break
      wineserver -k
      wineserver -w
    done
  else
    "$bin/cvsim" init "$@" >"$scratch/adapter.out" 2>"$scratch/adapter.err" </dev/null
    status=$?
  fi
  [ $status -eq 0 ] || note_failure "cvsim init $* failed with status $status: $(head -5 "$scratch/adapter.err")"
}

# The dialog needs a screen: under Wine one virtual X display for the whole run,
# on POSIX a terminal of its own (tmux) for each dialog.
xvfb_pid=''
tmux_socket=cvscenario$$
end_screens() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  tmux -L "$tmux_socket" kill-server 2>/dev/null
  return 0
}
trap end_screens EXIT

start_display() {
  [ -z "$xvfb_pid" ] || return 0
  command -v Xvfb >/dev/null || { note_failure "Xvfb is not installed"; return 1; }
  local number=$((100 + $$ % 800))
  Xvfb ":$number" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$number" ] && break
    sleep 0.1
  done
  export DISPLAY=:$number
}

# On POSIX: cvsetup-host in an 80 x 25 terminal; the keys go in once the dialog
# shows, each after the one before has been read.
dialog_on_terminal() {
  local mode=$1 key
  shift
  command -v tmux >/dev/null || { note_failure "tmux is not installed"; return; }
  rm -f "$scratch/status"
  tmux -L "$tmux_socket" -f /dev/null new-session -d -x 80 -y 25 \
    "cd '$scratch/work' && CVLAN_SYSROOT='$CVLAN_SYSROOT' TERM=xterm '$bin/cvsetup-host' $mode >'$scratch/out' 2>'$scratch/err'; echo \$? >'$scratch/status'"
  local shown=''
  for _ in $(seq 100); do
    if tmux -L "$tmux_socket" capture-pane -p 2>/dev/null | grep -q 'Corvane NT Installation'; then shown=1; break; fi
    sleep 0.1
  done
  [ -n "$shown" ] || note_failure "run $runs: the dialog did not show"
  for key in "$@"; do
    case $key in
      Tab|Enter|Escape|Space|BSpace) tmux -L "$tmux_socket" send-keys "$key" ;;
      *) tmux -L "$tmux_socket" send-keys -l "$key" ;;
    esac
    sleep 0.3
  done
  for _ in $(seq 100); do
    [ -f "$scratch/status" ] && break
    sleep 0.1
  done
  if [ -f "$scratch/status" ]; then
    last_status=$(cat "$scratch/status")
  else
    last_status=timeout
    tmux -L "$tmux_socket" capture-pane -p >"$scratch/err"
  fi
  tmux -L "$tmux_socket" kill-server 2>/dev/null
}

dialog() {
  runs=$((runs + 1))
  if [ "$host" = wine ]; then
    if [ ! -f "$bin/cvsetup-keys.exe" ]; then
      note_failure "$bin/cvsetup-keys.exe is not built"
      last_status=missing
      : >"$scratch/out"
      return
    fi
    start_display || { last_status=missing; : >"$scratch/out"; return; }
    (cd "$scratch/work" && timeout 120 wine "$bin/cvsetup-keys.exe" "$@" >"$scratch/out" 2>"$scratch/err" </dev/null)
    last_status=$?
  else
    dialog_on_terminal "$@"
  fi
  cp "$scratch/out" "$scratch/out.$runs"
  cp "$scratch/err" "$scratch/err.$runs"
}

skipped=''
not_under_wine() {
  [ "$host" = wine ] || return 0
  skipped=$1
  return 1
}

not_under_wine64() {
  [ "$host" = wine ] && [ -d "$template/drive_c/windows/syswow64" ] || return 0
  skipped=$1
  return 1
}

expect_status() {
  if [ "$last_status" != "$1" ]; then
    note_failure "run $runs: exit status $last_status, expected $1"
  fi
}

expect_stdout() {
  local expected=$scratch/expected.$runs
  if [ $# -gt 0 ]; then printf '%s' "$1"; else cat; fi | host_text >"$expected"
  if ! cmp -s "$expected" "$scratch/out"; then
    note_failure "run $runs: standard output differs (expected, then actual; ^M is CR, \$ a line end):
$(diff <(cat -A "$expected") <(cat -A "$scratch/out") | sed 's/^/    /')"
    if [ -s "$scratch/err" ]; then
      note_failure "run $runs: standard error was:
$(head -20 "$scratch/err" | sed 's/^/    /')"
    fi
  fi
}

expect_stdout_matching() {
  local expected=$scratch/expected.$runs pattern line number=0 differs=''
  if [ $# -gt 0 ]; then printf '%s' "$1"; else cat; fi >"$expected"
  local -a actual=()
  mapfile -t actual < <(tr -d '\r' <"$scratch/out")
  local -a patterns=()
  mapfile -t patterns <"$expected"
  [ ${#actual[@]} -eq ${#patterns[@]} ] || differs=1
  for pattern in "${patterns[@]}"; do
    line=${actual[$number]-}
    [[ $line =~ ^($pattern)$ ]] || differs=1
    number=$((number + 1))
  done
  # The line ends the host's programs write, as expect_stdout checks them.
  tr -d '\r' <"$scratch/out" | host_text | cmp -s - "$scratch/out" || differs=1
  if [ -n "$differs" ]; then
    note_failure "run $runs: standard output does not match (patterns, then actual):
$(sed 's/^/    /' "$expected")
    --
$(cat -A "$scratch/out" | sed 's/^/    /')"
  fi
}

# ---- the run ---------------------------------------------------------------

passed=0 failed=0
for list in "${lists[@]}"; do
  # shellcheck source=/dev/null
  source "$list" || { echo "FAIL cannot read $list"; failed=$((failed + 1)); continue; }
  for scenario in $(grep -o '^scenario_[A-Za-z0-9_]*' "$list"); do
    name=${scenario#scenario_}
    [ -z "$only" ] || [ "$only" = "$name" ] || continue
    failures=() runs=0 last_status='' skipped=''
    if machine_start; then
      "$scenario"
      machine_end
    else
      note_failure "could not prepare the machine"
    fi
    if [ ${#failures[@]} -eq 0 ]; then
      echo "ok   $name${skipped:+ (not run here: $skipped)}"
      passed=$((passed + 1))
    else
      echo "FAIL $name ($(basename "$list"))"
      printf '  %s\n' "${failures[@]}"
      failed=$((failed + 1))
    fi
  done
done

echo "$host: $passed passed, $failed failed"
[ $failed -eq 0 ] && [ $passed -gt 0 ]

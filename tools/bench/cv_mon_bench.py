#!/usr/bin/env python3
"""What cv_mon costs against an idle adapter, beside `watch` running CV_UTIL.

Each program runs for the given time on its own pseudo-terminal of 80 x 25
cells against a frozen simulated machine; the script counts the bytes the
program writes to the terminal and the CPU time it (and what it ran) used.

  python3 tools/bench/cv_mon_bench.py [--build build/default] [--seconds 60] [--live]
  python3 tools/bench/cv_mon_bench.py --terminal [--build DIR ...] [--seconds 30]

--live adds a run of cv_mon against the machine with its traffic flowing.

--terminal measures cv_mon alone, for each build directory given (so that two
builds are compared in one run): on a live station adapter, the bytes a second
sent to the terminal after the first screen and the write calls a second to the
terminal (counted with strace in a run of its own); on a frozen adapter, the
share of one core that it uses once its first screen is drawn, beside the same
share for a program that does nothing but wait for the terminal until the next
tick of a 15.625 ms clock, as often as an idle cv_mon wakes: what the waking
alone costs on this machine.
"""
import argparse
import shutil
import fcntl
import os
import pty
import resource
import select
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time


def cpu_seconds_so_far(pid):
    """The time the process has run on a CPU, to the nanosecond (schedstat)."""
    try:
        with open(f"/proc/{pid}/schedstat") as stat:
            return int(stat.read().split()[0]) / 1e9
    except (OSError, ValueError, IndexError):
        return None


def run_on_pty(argv, env, seconds, quit_key=None, after=0.0, steady=None):
    """Bytes written after `after` seconds, and the CPU seconds used.

    With `steady` (a list), the CPU seconds used from `after` seconds to the end
    are appended to it: the start-up and the first screen left out."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execvpe(argv[0], argv, env)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
    written = 0
    start = time.monotonic()
    end = start + seconds
    cpu_at_after = None
    while True:
        now = time.monotonic()
        left = end - now
        if left <= 0:
            break
        if steady is not None and cpu_at_after is None:
            if now - start >= after:
                cpu_at_after = cpu_seconds_so_far(pid)
            else:
                left = min(left, start + after - now)
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                data = os.read(fd, 65536)
            except OSError:
                break
            if not data:
                break
            if time.monotonic() - start >= after:
                written += len(data)
    if steady is not None:
        cpu_at_end = cpu_seconds_so_far(pid)
        if cpu_at_after is not None and cpu_at_end is not None:
            steady.append(cpu_at_end - cpu_at_after)
    if quit_key:
        os.write(fd, quit_key)
    else:
        os.kill(pid, signal.SIGINT)
    deadline = time.monotonic() + 5
    while True:  # keep reading, so that the program can finish its output
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                os.read(fd, 65536)
            except OSError:
                pass
        done, _, usage = os.wait4(pid, os.WNOHANG)
        if done:
            break
        if time.monotonic() > deadline:
            os.kill(pid, signal.SIGKILL)
            deadline += 5
    os.close(fd)
    return written, usage.ru_utime + usage.ru_stime


def terminal_writes(argv, env, seconds, after):
    """Write calls to the terminal a second, after `after` seconds, under strace."""
    with tempfile.NamedTemporaryFile(prefix="cv_mon-strace-") as trace:
        traced = ["strace", "-f", "-y", "-ttt", "-e", "trace=write,writev,pwrite64", "-o", trace.name] + argv
        run_on_pty(traced, env, seconds, b"q")
        calls = []
        for line in open(trace.name, errors="replace"):
            parts = line.split(None, 2)
            if len(parts) < 3 or not parts[2].startswith(("write(", "writev(", "pwrite64(")):
                continue
            if "</dev/pts/" in parts[2] or "</dev/tty" in parts[2]:
                calls.append(float(parts[1]))
    if not calls:
        return 0.0
    first = calls[0]
    counted = [t for t in calls if t - first >= after and t - first < seconds]
    return len(counted) / (seconds - after)


# Waits on the terminal for input until the next 15.625 ms tick of the
# monotonic clock, turn after turn, and does nothing else.
TICK_WAITER = r"""
#define _GNU_SOURCE
#include <poll.h>
#include <time.h>
int main(void) {
  const long long Tick = 15625000;
  struct pollfd Terminal = {0, POLLIN, 0};
  for (;;) {
    struct timespec Now, Left;
    clock_gettime(CLOCK_MONOTONIC, &Now);
    long long Wait = Tick - (Now.tv_sec * 1000000000LL + Now.tv_nsec) % Tick;
    Left.tv_sec = 0;
    Left.tv_nsec = Wait;
    if (ppoll(&Terminal, 1, &Left, NULL) > 0) return 0;
  }
}
"""


def build_tick_waiter(folder):
    compiler = shutil.which("cc") or shutil.which("gcc")
    if not compiler:
        return None
    source = os.path.join(folder, "tick_waiter.c")
    program = os.path.join(folder, "tick_waiter")
    with open(source, "w") as out:
        out.write(TICK_WAITER)
    subprocess.run([compiler, "-O2", "-o", program, source], check=True)
    return program


def idle_share(argv, env, seconds, warmup, quit_key=None):
    """Share of one core, in per cent, from `warmup` seconds to the end."""
    steady = []
    run_on_pty(argv, env, seconds, quit_key, after=warmup, steady=steady)
    return 100.0 * steady[0] / (seconds - warmup) if steady else float("nan")


def measure_terminal(build, seconds, warmup):
    bin_dir = os.path.abspath(os.path.join(build, "bin"))
    cv_mon = [os.path.join(bin_dir, "cv_mon")]
    with tempfile.TemporaryDirectory(prefix="cv_mon-bench-") as root:
        env = dict(os.environ, CVLAN_SYSROOT=root, TERM="xterm", LC_ALL="C.UTF-8")
        cvsim = os.path.join(bin_dir, "cvsim")
        subprocess.run([cvsim, "init"], env=env, check=True, stdout=subprocess.DEVNULL)
        written, _ = run_on_pty(cv_mon, env, seconds, b"q", after=warmup)
        writes = terminal_writes(cv_mon, env, seconds, warmup)
        subprocess.run([cvsim, "freeze"], env=env, check=True, stdout=subprocess.DEVNULL)
        cpu = idle_share(cv_mon, env, seconds, warmup, b"q")
    return written / (seconds - warmup), writes, cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", action="append")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--live", action="store_true")
    parser.add_argument("--terminal", action="store_true")
    parser.add_argument("--warmup", type=float, default=3.0, help="seconds left out for the first screen")
    args = parser.parse_args()
    builds = args.build or ["build/default"]
    if args.terminal:
        print(f"{'build':40} {'bytes/s, live':>14} {'writes/s, live':>15} {'CPU %, frozen':>14}")
        for build in builds:
            rate, writes, cpu = measure_terminal(build, args.seconds, args.warmup)
            print(f"{build:40} {rate:14.1f} {writes:15.1f} {cpu:14.2f}")
        with tempfile.TemporaryDirectory(prefix="cv_mon-bench-") as folder:
            waiter = build_tick_waiter(folder)
            if waiter:
                cpu = idle_share([waiter], dict(os.environ, TERM="xterm"), args.seconds, args.warmup)
                print(f"{'a wait to each 15.625 ms tick, only':40} {'':>14} {'':>15} {cpu:14.2f}")
        return 0
    bin_dir = os.path.abspath(os.path.join(builds[0], "bin"))
    with tempfile.TemporaryDirectory(prefix="cv_mon-bench-") as root:
        env = dict(os.environ, CVLAN_SYSROOT=root, TERM="xterm", LANG=os.environ.get("LANG", "C.UTF-8"))
        cvsim = os.path.join(bin_dir, "cvsim")
        subprocess.run([cvsim, "init"], env=env, check=True)
        subprocess.run([cvsim, "freeze"], env=env, check=True)
        runs = [("cv_mon, adapter frozen", [os.path.join(bin_dir, "cv_mon")], b"q"),
                ("watch -n 0.275 CV_UTIL I all, adapter frozen",
                 ["watch", "-n", "0.275", os.path.join(bin_dir, "CV_UTIL") + " I all"], None)]
        results = []
        for name, argv, key in runs:
            written, cpu = run_on_pty(argv, env, args.seconds, key)
            results.append((name, written, cpu))
        if args.live:
            subprocess.run([cvsim, "thaw"], env=env, check=True)
            written, cpu = run_on_pty([os.path.join(bin_dir, "cv_mon")], env, args.seconds, b"q")
            results.append(("cv_mon, traffic flowing", written, cpu))
    print(f"{'program':48} {'bytes to terminal':>18} {'bytes/s':>9} {'CPU s':>7}")
    for name, written, cpu in results:
        print(f"{name:48} {written:18d} {written / args.seconds:9.1f} {cpu:7.2f}")


if __name__ == "__main__":
    sys.exit(main())

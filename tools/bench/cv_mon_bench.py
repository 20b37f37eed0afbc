#!/usr/bin/env python3
"""What cv_mon costs against an idle adapter, beside `watch` running CV_UTIL.

Each program runs for the given time on its own pseudo-terminal of 80 x 25
cells against a frozen simulated machine; the script counts the bytes the
program writes to the terminal and the CPU time it (and what it ran) used.

  python3 tools/bench/cv_mon_bench.py [--build build/default] [--seconds 60] [--live]

--live adds a run of cv_mon against the machine with its traffic flowing.
"""
import argparse
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


def run_on_pty(argv, env, seconds, quit_key=None):
    pid, fd = pty.fork()
    if pid == 0:
        os.execvpe(argv[0], argv, env)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
    written = 0
    end = time.monotonic() + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                data = os.read(fd, 65536)
            except OSError:
                break
            if not data:
                break
            written += len(data)
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--live", action="store_true")
    args = parser.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
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

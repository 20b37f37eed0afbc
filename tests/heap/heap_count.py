#!/usr/bin/env python3
"""Counts the heap allocations of CV_UTIL and cv_mon under valgrind (DHAT) and
says who made each: the program itself, the Win32 layer and the simulated
machine under it (winapi/, sim/, standing in for the operating system), or the
C and C++ runtime (before main, at exit, or inside a library call that the
program made, which is only a stream's buffer; one that winapi or sim made
counts as theirs).

  python3 tests/heap/heap_count.py [--build build/default] [--seconds 30] [--verbose]

CV_UTIL runs `I all`; cv_mon runs on a pseudo-terminal of 80 x 25 for the given
time against a machine with traffic flowing, pages down and up once, and ends
on the key q. The exit status is 1 when the program code itself allocated
(a call of malloc, new, GlobalAlloc, LocalAlloc or of a library function that
allocates, from adapter/, console/, util/ or monitor/) or when something allocated in cv_mon's main loop is still
allocated at exit, 77 when valgrind is missing, else 0.
"""
import argparse
import fcntl
import json
import os
import pty
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PROGRAM_DIRS = ("adapter", "console", "util", "monitor")
PLATFORM_DIRS = ("winapi", "sim", "machine_store")
PLATFORM_NAMESPACES = ("winapi::", "cvsim::")
# winapi's global and local memory (GlobalAlloc, LocalAlloc): a program that
# calls them allocates, though the heap call itself is made inside winapi (and
# may be a tail call that leaves no frame of the Win32 function).
WIN32_MEMORY = os.path.join(SOURCE, "winapi", "src", "memory.cpp")
# What the C library makes once for the program, on its first use of a stream:
# the stream's buffer. Anything else that the runtime allocates inside a call
# of the program (strdup, fopen, a std::string's growth) is the program's.
RUNTIME_BUFFERS = ("_IO_file_doallocate",)
# The phases of a run, by the program function on the allocation's stack.
PHASES = (("MonitorStart", "start-up"), ("MonitorTurn", "main loop"), ("MonitorEnd", "end"),
          ("CvUtilMain", "run"))


def parse_frame(text):
    """'0x1234: Name(args) (/path/file.cpp:42)' -> (name, path or library)."""
    _, _, rest = text.partition(": ")
    where = ""
    if rest.endswith(")") and " (" in rest:
        rest, _, where = rest.rpartition(" (")
        where = where[:-1]
        if where.startswith("in "):
            where = where[3:]
    return rest, where


def source_dir(where):
    """The top folder of a source file of this tree, or None."""
    prefix = SOURCE + os.sep
    if not where.startswith(prefix):
        return None
    return where[len(prefix):].split(os.sep, 1)[0]


def is_allocator(name, where):
    return "vgpreload" in where or where.startswith("/usr/include/")


def classify(frames):
    """(owner, phase, description) of one allocation stack, innermost first."""
    # Without a frame of the program the runtime's start-up or exit code made it.
    in_program = any(source_dir(where) in PROGRAM_DIRS for _, where in frames)
    phase = "run" if in_program else "before main or at exit"
    for name, _ in frames:
        for function, label in PHASES:
            if name.startswith(function + "("):
                phase = label
                break
        else:
            continue
        break
    for index, (name, where) in enumerate(frames):
        if where.startswith(WIN32_MEMORY + ":"):
            callers = [(n, w) for n, w in frames[index + 1:]
                       if not w.startswith("/usr/include/") and not w.startswith(WIN32_MEMORY + ":")]
            if callers and source_dir(callers[0][1]) in PROGRAM_DIRS:
                return "program", phase, f"{callers[0][0]} ({callers[0][1]}) calls winapi's memory"
            break
    for index, (name, where) in enumerate(frames):
        # A function of winapi or sim whose allocation is inlined from a
        # standard header is named by its own symbol but placed in the header.
        if where.startswith("/usr/include/") and name.startswith(PLATFORM_NAMESPACES):
            return "platform", phase, f"{name.split('(')[0]} (inlined from {os.path.basename(where)})"
        if is_allocator(name, where):
            continue
        folder = source_dir(where)
        if folder in PROGRAM_DIRS:
            return "program", phase, f"{name} ({where})"
        if folder in PLATFORM_DIRS:
            return "platform", phase, f"{name} ({os.path.relpath(where, SOURCE)})"
        # The C or C++ runtime made it inside a library call: it belongs to
        # whoever of this tree called the library (winapi's fopen gets a FILE),
        # but for the buffer of a stream, which the runtime makes once.
        function = name.split("(")[0]
        if function == "???":
            function = "in " + os.path.basename(where)
        for caller, caller_where in frames[index + 1:]:
            folder = source_dir(caller_where)
            if folder in PROGRAM_DIRS:
                owner = "runtime" if function in RUNTIME_BUFFERS else "program"
                return owner, phase, f"{function} for {caller.split('(')[0]} ({caller_where})"
            if folder in PLATFORM_DIRS:
                return "platform", phase, f"{function} for {caller.split('(')[0]}"
        return "runtime", phase, f"{function} in the start-up or exit code"
    return "runtime", phase, "allocator called directly"


def count(dhat_file):
    with open(dhat_file) as handle:
        data = json.load(handle)
    table = [parse_frame(text) for text in data["ftbl"]]
    tally = {}
    for point in data["pps"]:
        frames = [table[i] for i in point["fs"]]
        owner, phase, description = classify(frames)
        entry = tally.setdefault((owner, phase, description), [0, 0, 0])
        entry[0] += point["tbk"]
        entry[1] += point["tb"]
        entry[2] += point["ebk"]
    return tally


def run_on_pty(argv, env, seconds):
    pid, fd = pty.fork()
    if pid == 0:
        os.execvpe(argv[0], argv, env)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
    start = time.monotonic()
    keys = [(seconds / 3, b"\x1b[6~"), (2 * seconds / 3, b"\x1b[5~"), (seconds, b"q")]
    status = None
    while status is None:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                os.read(fd, 65536)
            except OSError:
                pass
        if keys and time.monotonic() - start >= keys[0][0]:
            os.write(fd, keys.pop(0)[1])
        done, wait_status = os.waitpid(pid, os.WNOHANG)
        if done:
            status = os.waitstatus_to_exitcode(wait_status)
        elif time.monotonic() - start > seconds + 120:
            os.kill(pid, 9)
    os.close(fd)
    return status


def measure(name, argv, env, dhat_file, seconds, on_pty):
    command = ["valgrind", "--tool=dhat", "--num-callers=60", "--fullpath-after=",
               f"--dhat-out-file={dhat_file}", "-q"] + argv
    if on_pty:
        status = run_on_pty(command, env, seconds)
    else:
        status = subprocess.run(command, env=env, stdout=subprocess.DEVNULL).returncode
    if status != 0:
        print(f"{name}: exit status {status}")
        return None
    return count(dhat_file)


def report(name, tally, verbose):
    by_owner = {}
    for (owner, phase, _), values in tally.items():
        entry = by_owner.setdefault((owner, phase), [0, 0, 0])
        for i, value in enumerate(values):
            entry[i] += value
    print(f"{name}:")
    print(f"  {'made by':9} {'when':24} {'allocations':>11} {'bytes':>10} {'left at exit':>12}")
    for (owner, phase), (blocks, size, left) in sorted(by_owner.items()):
        print(f"  {owner:9} {phase:24} {blocks:11d} {size:10d} {left:12d}")
    own = [(key, value) for key, value in tally.items() if key[0] == "program"]
    for (owner, phase, description), (blocks, size, left) in sorted(tally.items()):
        if owner == "program" or verbose:
            print(f"    {owner} {phase}: {blocks} x, {size} bytes, {left} left: {description}")
    print(f"  the program's own: {sum(v[0] for _, v in own)} allocations")
    if not any(phase != "before main or at exit" for _, phase, _ in tally):
        print("  no allocation was traced to the program's code: built without debug information?")
        return False
    kept = sum(v[2] for k, v in tally.items() if k[1] == "main loop")
    if kept:
        print(f"  {kept} blocks allocated in the main loop are still allocated at exit")
    return not own and not kept


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "default"))
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--only", choices=("CV_UTIL", "cv_mon"))
    args = parser.parse_args()
    if shutil.which("valgrind") is None:
        print("heap count skipped: valgrind is not installed (apt-get install valgrind)")
        return 77
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    ok = True
    with tempfile.TemporaryDirectory(prefix="cv-heap-") as root:
        env = dict(os.environ, CVLAN_SYSROOT=root, TERM="xterm", LANG=os.environ.get("LANG", "C.UTF-8"))
        subprocess.run([os.path.join(bin_dir, "cvsim"), "init"], env=env, check=True)
        runs = [("CV_UTIL I all", [os.path.join(bin_dir, "CV_UTIL"), "I", "all"], False),
                (f"cv_mon, {args.seconds:g} s", [os.path.join(bin_dir, "cv_mon")], True)]
        for name, argv, on_pty in runs:
            if args.only and not name.startswith(args.only):
                continue
            tally = measure(name, argv, env, os.path.join(root, "dhat.json"), args.seconds, on_pty)
            ok = ok and tally is not None and report(name, tally, args.verbose)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

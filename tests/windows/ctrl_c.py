#!/usr/bin/env python3
"""Ctrl+C in the middle of a report's writing, for real: runs a program under Wine on a
pseudo-terminal (Wine's console reads the terminal, as a console window reads the
keyboard), waits until the report's temporary file is being written, types Ctrl+C, and
checks that the temporary is gone and the old report is untouched. Two programs:
interrupt_child, which says when it writes and writes until it is stopped, and symdeck.exe
itself converting a 64 MiB database (a report of about 600 MB), caught once its temporary
holds its first MiB.

    ctrl_c.py WINE_RUN INTERRUPT_CHILD SYMDECK_EXE MAKE_LARGE_EXE WORK_DIR
"""
import os
import pty
import select
import shutil
import subprocess
import sys

OLD_REPORT = b"the old report\n"
# STATUS_CONTROL_C_EXIT (0xC000013A), the status of an interrupted console program; Wine
# hands its low byte to Linux as the exit status.
INTERRUPTED = 0xC000013A & 0xFF


def start(wine_run, work, program, *args):
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(work)
        os.execv(wine_run, [wine_run, program, *args])
    return pid, terminal


def read_some(terminal, timeout):
    """What the terminal has within `timeout` seconds: b"" when nothing, None once closed."""
    ready, _, _ = select.select([terminal], [], [], timeout)
    if not ready:
        return b""
    try:
        return os.read(terminal, 65536) or None
    except OSError:
        return None


def interrupt(pid, terminal):
    """Types Ctrl+C and drains the terminal until the program has gone; its wait status."""
    os.write(terminal, b"\x03")
    while read_some(terminal, 60) is not None:
        pass
    return os.waitpid(pid, 0)[1]


def check_status(status, failures, label):
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != INTERRUPTED:
        failures.append("%s: wait status %#x, not the interrupted program's" % (label, status))


def check(work, report, names, failures, label):
    left = sorted(os.listdir(work))
    if left != names:
        failures.append("%s: left in the directory: %s" % (label, left))
    with open(os.path.join(work, report), "rb") as f:
        if f.read() != OLD_REPORT:
            failures.append("%s: the old report changed" % label)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def child_case(wine_run, child, work, failures):
    write(os.path.join(work, "r.txt"), OLD_REPORT)
    pid, terminal = start(wine_run, work, child, "r.txt")
    seen = b""
    while b"writing" not in seen:
        got = read_some(terminal, 120)
        if not got:
            os.kill(pid, 9)
            os.waitpid(pid, 0)
            failures.append("interrupt_child: never said it was writing: %r" % seen)
            return
        seen += got
    check_status(interrupt(pid, terminal), failures, "interrupt_child")
    check(work, "r.txt", ["r.txt"], failures, "interrupt_child")


def program_case(wine_run, symdeck, make_large, work, failures):
    subprocess.run([wine_run, make_large, "big.nms", "64", "1"], cwd=work, check=True,
                   stdout=subprocess.DEVNULL)
    write(os.path.join(work, "big.txt"), OLD_REPORT)
    pid, terminal = start(wine_run, work, symdeck, "big.nms")
    # The temporary is the one name beside the database and the report; its first MiB
    # means the writing thread is at work.
    while True:
        temporaries = [n for n in os.listdir(work) if n.endswith(".tmp")]
        try:
            if temporaries and os.stat(os.path.join(work, temporaries[0])).st_size >= 1 << 20:
                break
        except FileNotFoundError:
            pass
        if read_some(terminal, 0.001) is None:  # the program ended first
            os.waitpid(pid, 0)
            failures.append("symdeck.exe: the conversion ended before it could be interrupted")
            return
    check_status(interrupt(pid, terminal), failures, "symdeck.exe")
    check(work, "big.txt", ["big.nms", "big.txt"], failures, "symdeck.exe")


def main():
    wine_run, child, symdeck, make_large, work = sys.argv[1:6]
    shutil.rmtree(work, ignore_errors=True)
    failures = []
    # Each case in a directory of its own, so that one case's leftovers never mislead the next.
    os.makedirs(os.path.join(work, "child"))
    os.makedirs(os.path.join(work, "program"))
    child_case(wine_run, child, os.path.join(work, "child"), failures)
    program_case(wine_run, symdeck, make_large, os.path.join(work, "program"), failures)
    if failures:
        sys.exit("; ".join(failures))
    shutil.rmtree(work)
    print("Ctrl+C removed the temporary and kept the old report (interrupt_child, symdeck.exe)")


if __name__ == "__main__":
    main()

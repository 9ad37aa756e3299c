#!/usr/bin/env python3
"""Ctrl+C in the middle of a report's writing, for real: runs interrupt_child under Wine on
a pseudo-terminal (Wine's console reads the terminal, as cmd's would read the keyboard),
waits for the child to say that its temporary file is being written, types Ctrl+C, and
checks that the temporary is gone and the old report is untouched.

    ctrl_c.py WINE_RUN INTERRUPT_CHILD WORK_DIR
"""
import os
import pty
import select
import shutil
import sys

OLD_REPORT = b"the old report\n"


def main():
    wine_run, child, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    with open(os.path.join(work, "r.txt"), "wb") as f:
        f.write(OLD_REPORT)

    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(work)
        os.execv(wine_run, [wine_run, child, "r.txt"])

    seen = b""
    while b"writing" not in seen:
        ready, _, _ = select.select([terminal], [], [], 120)
        if not ready:
            os.kill(pid, 9)
            sys.exit("the child never started writing")
        try:
            seen += os.read(terminal, 4096)
        except OSError:  # the terminal closed: the child is gone
            break
    if b"writing" not in seen:
        sys.exit("the child ended before it wrote: %r" % seen)
    os.write(terminal, b"\x03")
    # Drain the terminal until the child has gone, so that it never blocks on its output.
    while True:
        try:
            if not os.read(terminal, 4096):
                break
        except OSError:
            break
    _, status = os.waitpid(pid, 0)

    failures = []
    if os.WIFEXITED(status) and os.WEXITSTATUS(status) == 3:
        failures.append("the child was not interrupted")
    names = sorted(os.listdir(work))
    if names != ["r.txt"]:
        failures.append("left in the directory: %s" % names)
    with open(os.path.join(work, "r.txt"), "rb") as f:
        if f.read() != OLD_REPORT:
            failures.append("the old report changed")
    if failures:
        sys.exit("; ".join(failures))
    shutil.rmtree(work)
    print("Ctrl+C removed the temporary and kept the old report")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Ctrl+C in the middle of a conversion, for real: runs symdeck.exe under Wine on a
pseudo-terminal (Wine's console reads the terminal, as a console window reads the
keyboard) converting a 64 MiB database (a report of about 600 MB), types Ctrl+C once the
report's temporary file holds its first MiB, and checks that the temporary is gone, the old
report untouched and the status the one of an interrupted console program.

    ctrl_c.py WINE_RUN SYMDECK_EXE MAKE_LARGE_EXE WORK_DIR
"""
import os
import pty
import select
import shutil
import subprocess
import sys

OLD_REPORT = b"the old report\n"
# STATUS_CONTROL_C_EXIT (0xC000013A); Wine hands its low byte to Linux as the exit status.
INTERRUPTED = 0xC000013A & 0xFF


def read_some(terminal, timeout):
    """What the terminal has within `timeout` seconds: b"" when nothing, None once closed."""
    ready, _, _ = select.select([terminal], [], [], timeout)
    if not ready:
        return b""
    try:
        return os.read(terminal, 65536) or None
    except OSError:
        return None


def main():
    wine_run, symdeck, make_large, work = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    subprocess.run([wine_run, make_large, "big.nms", "64", "1"], cwd=work, check=True,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(work, "big.txt"), "wb") as f:
        f.write(OLD_REPORT)

    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(work)
        os.execv(wine_run, [wine_run, symdeck, "big.nms"])
    # The temporary is the one other name in the directory; its first MiB means that the
    # writing thread is at work.
    while True:
        temporaries = [n for n in os.listdir(work) if n.endswith(".tmp")]
        try:
            if temporaries and os.stat(os.path.join(work, temporaries[0])).st_size >= 1 << 20:
                break
        except FileNotFoundError:
            pass
        if read_some(terminal, 0.001) is None:
            os.waitpid(pid, 0)
            sys.exit("the conversion ended before it could be interrupted")
    os.write(terminal, b"\x03")
    while read_some(terminal, 60) is not None:  # drained until the program has gone
        pass
    status = os.waitpid(pid, 0)[1]

    failures = []
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != INTERRUPTED:
        failures.append("wait status %#x, not the interrupted program's" % status)
    left = sorted(os.listdir(work))
    if left != ["big.nms", "big.txt"]:
        failures.append("left in the directory: %s" % left)
    with open(os.path.join(work, "big.txt"), "rb") as f:
        if f.read() != OLD_REPORT:
            failures.append("the old report changed")
    if failures:
        sys.exit("; ".join(failures))
    shutil.rmtree(work)
    print("Ctrl+C removed the temporary and kept the old report")


if __name__ == "__main__":
    main()

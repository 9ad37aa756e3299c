#!/usr/bin/env python3
"""The Windows ZIP as `make windows` packs it: cpack run on this build's configuration into
a directory of its own, then the archive checked: exactly the program, the README, the
manual page as text and, in a build with the viewer, the viewer's page, all in the one top
directory named as the archive; the program a Windows executable; the page the same bytes
as the page the build made.

    zip_contents.py CPACK CPACK_CONFIG WORK_DIR VIEWER_PAGE|-
"""
import glob
import os
import shutil
import subprocess
import sys
import zipfile


def main():
    cpack, config, work, viewer_page = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    subprocess.run([cpack, "-G", "ZIP", "--config", config, "-B", work], check=True,
                   stdout=subprocess.DEVNULL)
    archives = glob.glob(os.path.join(work, "*.zip"))
    if len(archives) != 1:
        sys.exit(f"expected one ZIP in {work}, found {archives}")
    top = os.path.basename(archives[0])[: -len(".zip")]

    expected = {"symdeck.exe", "README.md", "symdeck.1.txt"}
    if viewer_page != "-":
        expected.add("symdeck-viewer.html")
    with zipfile.ZipFile(archives[0]) as archive:
        names = {n for n in archive.namelist() if not n.endswith("/")}
        wanted = {f"{top}/{n}" for n in expected}
        if names != wanted:
            sys.exit(f"the ZIP holds {sorted(names)}, expected {sorted(wanted)}")
        if archive.read(f"{top}/symdeck.exe")[:2] != b"MZ":
            sys.exit("symdeck.exe in the ZIP is not a Windows executable")
        if viewer_page != "-":
            with open(viewer_page, "rb") as f:
                if archive.read(f"{top}/symdeck-viewer.html") != f.read():
                    sys.exit(f"symdeck-viewer.html in the ZIP differs from {viewer_page}")
    print(f"{os.path.basename(archives[0])}: {', '.join(sorted(expected))}")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""The committed JSON schemas (docs/*.schema.json) are what tools/make_schemas.py writes
from the structures' tables as tools/make_structures prints them.
    schemas_generated.py MAKE_STRUCTURES MAKE_SCHEMAS_PY DOCS_DIR
"""
import difflib
import os
import subprocess
import sys
import tempfile

SCHEMAS = ("symdeck-report.schema.json", "symdeck-report-lines.schema.json")


def main():
    make_structures, make_schemas, docs = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as work:
        structures = os.path.join(work, "structures.json")
        subprocess.run([make_structures, structures], check=True)
        subprocess.run([sys.executable, make_schemas, work, structures], check=True)
        failed = False
        for name in SCHEMAS:
            with open(os.path.join(work, name)) as f:
                generated = f.read()
            with open(os.path.join(docs, name)) as f:
                committed = f.read()
            if generated != committed:
                failed = True
                print("docs/%s differs from what the tables and make_schemas.py give:" % name)
                diff = difflib.unified_diff(committed.splitlines(), generated.splitlines(),
                                            "committed", "generated", lineterm="")
                print("\n".join(list(diff)[:40]))
        if failed:
            print("cmake --build BUILD --target schemas writes them again.")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

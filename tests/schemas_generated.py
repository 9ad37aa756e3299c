#!/usr/bin/python3
"""The committed JSON schemas (docs/*.schema.json) are what tools/make_schemas.py writes
from the structures' tables as tools/make_structures prints them: the same files, each the
same to the byte.
    schemas_generated.py MAKE_STRUCTURES MAKE_SCHEMAS_PY DOCS_DIR
"""
import difflib
import os
import subprocess
import sys
import tempfile


def schemas_in(directory):
    return sorted(name for name in os.listdir(directory) if name.endswith(".schema.json"))


def main():
    make_structures, make_schemas, docs = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as work:
        structures = os.path.join(work, "structures.json")
        subprocess.run([make_structures, structures], check=True)
        subprocess.run([sys.executable, make_schemas, work, structures], check=True)
        generated_names = schemas_in(work)
        failed = generated_names != schemas_in(docs)
        if failed:
            print("docs/ holds the schemas %s; make_schemas.py writes %s"
                  % (", ".join(schemas_in(docs)), ", ".join(generated_names)))
        for name in generated_names:
            with open(os.path.join(work, name)) as f:
                generated = f.read()
            path = os.path.join(docs, name)
            committed = ""
            if os.path.exists(path):
                with open(path) as f:
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

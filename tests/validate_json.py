#!/usr/bin/python3
"""Validates symdeck's JSON documents against the published schema with a standard validator.

Usage: validate_json.py SYMDECK SCHEMA SAMPLE [CORPUS_DIR]

The documents are those of the sample database, of damaged copies of it (cut short at
several places, a signature spoiled, an offset pointed past the end) and of every file in
CORPUS_DIR (the fuzzer's first byte there chooses sections, so it is dropped). Each is
written by the real program to standard output; with --check its exit status must be 0 for a
complete walk and 2 for one that ended at an error.
"""
import json
import os
import subprocess
import sys
import tempfile

from jsonschema import Draft202012Validator


def variants(sample):
    yield "sample", sample
    for size in (0, 3, 4, 100, 579, 580, 700, len(sample) // 2, len(sample) - 1):
        yield "cut at %d" % size, sample[:size]
    spoiled = bytearray(sample)
    spoiled[0:4] = b"MZ\x90\x00"
    yield "NM32 signature spoiled", bytes(spoiled)
    steered = bytearray(sample)
    steered[12:16] = (len(sample) - 8).to_bytes(4, "little")  # offNMDR near the end
    yield "directory past the end", bytes(steered)


def main():
    symdeck, schema_path, sample_path = sys.argv[1:4]
    corpus = sys.argv[4] if len(sys.argv) > 4 else None
    with open(schema_path) as f:
        schema = json.load(f)
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    with open(sample_path, "rb") as f:
        cases = list(variants(f.read()))
    if corpus:
        for name in sorted(os.listdir(corpus)):
            with open(os.path.join(corpus, name), "rb") as f:
                cases.append(("corpus " + name, f.read()[1:]))

    failures = 0
    ends = set()
    with tempfile.TemporaryDirectory() as work:
        database = os.path.join(work, "db.nms")
        for label, data in cases:
            with open(database, "wb") as f:
                f.write(data)
            run = subprocess.run([symdeck, database, "--json", "--check", "-o", "-"],
                                 capture_output=True)
            problems = []
            try:
                document = json.loads(run.stdout.decode("utf-8"))
            except (UnicodeDecodeError, ValueError) as e:
                problems.append("not JSON: %s" % e)
                document = None
            if document is not None:
                problems += [e.message for e in validator.iter_errors(document)][:5]
                end = document.get("end", {})
                ends.add(end.get("kind", end.get("status")))
                want = 0 if end.get("status") == "complete" else 2
                if run.returncode != want:
                    problems.append("--check status %d, the document's end wants %d"
                                    % (run.returncode, want))
                if document.get("database", {}).get("size") != len(data):
                    problems.append("database size is not %d" % len(data))
            if problems:
                failures += 1
                print("FAIL %s:\n  %s" % (label, "\n  ".join(problems)))
    # The damaged copies must have reached every way a walk can end but the size limit.
    for kind in ("complete", "bounds", "signature"):
        if kind not in ends:
            failures += 1
            print("FAIL no document ended with %s" % kind)
    print("%d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

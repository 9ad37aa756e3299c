#!/usr/bin/python3
"""Validates symdeck's JSON documents and JSON lines against the published schemas with a
standard validator, and checks that the schemas reject wrong documents.

Usage: validate_json.py SYMDECK SCHEMA LINES_SCHEMA SAMPLE [CORPUS_DIR]

The documents are those of the sample database, of damaged copies of it (cut short at
several places, a signature spoiled, an offset pointed past the end) and of every file in
CORPUS_DIR (the fuzzer's first byte there chooses sections, so it is dropped). Each is
written by the real program to standard output, as --json and as --json-lines; with --check
its exit status must be 2 for a walk that ended at an error or met damaged fields, else 0.
Deliberate mutations of the sample's document and lines must each be rejected.
"""
import copy
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


def first_field(document, word, name):
    """The first field `name` of the first block `word` in document order."""
    stack = list(reversed(document["blocks"]))
    while stack:
        block = stack.pop()
        if block["block"] == word:
            for field in block["fields"]:
                if field.get("name") == name:
                    return block, field
        stack.extend(reversed(block.get("blocks", [])))
    raise KeyError(word + "." + name)


def mutations(document):
    """(what, mutated document) pairs: each one a document the schema must reject."""
    def change(what, word, name, edit):
        mutated = copy.deepcopy(document)
        block, field = first_field(mutated, word, name)
        edit(block, field)
        return what, mutated

    def top(what, edit):
        mutated = copy.deepcopy(document)
        edit(mutated)
        return what, mutated

    def drop(block, field):
        block["fields"].remove(field)

    return [
        change("a storage word that does not match the size", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(size=7)),
        change("USHORT with size 4", "SEGDATA_VLPTABLE", "tableType", lambda b, f: f.update(size=4)),
        change("ULONG value 2^40", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(value=2**40)),
        change("USHORT value 65536", "SEGDATA_VLPTABLE", "size", lambda b, f: f.update(value=65536)),
        change("a negative value", "NMDR_HEADER", "offGTYP", lambda b, f: f.update(value=-1)),
        change("a count written as a string", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(value="13")),
        change("a signature as a number", "NMDR_HEADER", "NMDR", lambda b, f: f.update(value=1380208974)),
        change("a misspelled block word", "NMDR_HEADER", "nNMDE", lambda b, f: b.update(block="NMDR_HEADR")),
        change("a field missing from fields, still in values", "SEGDATA_PROCEDURE", "nLocalVariables", drop),
        change("a field without a name", "NMDR_HEADER", "nNMDE", lambda b, f: f.pop("name")),
        change("a negative offset", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(offset=-4)),
        change("a fractional offset", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(offset=584.5)),
        change("a role outside the list", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(role="counter")),
        change("a field without a role", "NMDR_HEADER", "nNMDE", lambda b, f: f.pop("role")),
        change("a target that is not an integer", "NM32_HEADER", "offNMDR", lambda b, f: f.update(target="580")),
        change("a fractional target", "NM32_HEADER", "offNMDR", lambda b, f: f.update(target=580.5)),
        change("a target without what it leads to", "NM32_HEADER", "offNMDR", lambda b, f: f.pop("leads")),
        change("an error code outside the list", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(error="iName is out of range")),
        change("both text and error", "NMDE_S", "entryIndex", lambda b, f: f.update(error="unknownEnum")),
        change("bytes in upper case", "NM32_HEADER", "filePath", lambda b, f: f.update(bytes="C3")),
        change("a signed value that is not negative", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(signed=5)),
        change("an unknown key in a field", "NMDR_HEADER", "nNMDE", lambda b, f: f.update(colour="red")),
        change("a values map without the block's field", "NMDR_HEADER", "nNMDE", lambda b, f: b["values"].pop("nNMDE")),
        change("a list name in the old style", "STTB_HEADER", "nNames", lambda b, f: b["fields"][-1].update(list="Strings")),
        change("a section end under the old key", "STTB_HEADER", "nNames", lambda b, f: b.update(end=b.pop("sectionEnd"))),
        top("version 1", lambda d: d.update(version=1)),
        top("the result under the old key", lambda d: d.update(end=d.pop("result"))),
        top("a result without its counts", lambda d: d["result"].pop("damagedFields")),
        top("a complete result with an error's kind", lambda d: d["result"].update(kind="bounds")),
    ]


def main():
    symdeck, schema_path, lines_schema_path, sample_path = sys.argv[1:5]
    corpus = sys.argv[5] if len(sys.argv) > 5 else None
    validators = []
    for path in (schema_path, lines_schema_path):
        with open(path) as f:
            schema = json.load(f)
        Draft202012Validator.check_schema(schema)
        validators.append(Draft202012Validator(schema))
    validator, lines_validator = validators
    with open(sample_path, "rb") as f:
        cases = list(variants(f.read()))
    if corpus:
        for name in sorted(os.listdir(corpus)):
            with open(os.path.join(corpus, name), "rb") as f:
                cases.append(("corpus " + name, f.read()[1:]))

    failures = 0
    ends = set()
    sample_document = None
    with tempfile.TemporaryDirectory() as work:
        database = os.path.join(work, "db.nms")
        for label, data in cases:
            with open(database, "wb") as f:
                f.write(data)
            run = subprocess.run([symdeck, database, "--json", "--check", "-o", "-"],
                                 capture_output=True)
            lines_run = subprocess.run([symdeck, database, "--json-lines", "--check", "-o", "-"],
                                       capture_output=True)
            problems = []
            try:
                document = json.loads(run.stdout.decode("utf-8"))
            except (UnicodeDecodeError, ValueError) as e:
                problems.append("not JSON: %s" % e)
                document = None
            if document is not None:
                if label == "sample":
                    sample_document = document
                problems += [e.message for e in validator.iter_errors(document)][:5]
                if lines_validator.is_valid(document):
                    problems.append("the lines schema accepts the whole document")
                result = document.get("result", {})
                ends.add(result.get("kind", result.get("status")))
                want = 0 if result.get("status") == "complete" and result.get("damagedFields") == 0 else 2
                if run.returncode != want or lines_run.returncode != want:
                    problems.append("--check status %d (lines %d), the document's result wants %d"
                                    % (run.returncode, lines_run.returncode, want))
                if document.get("database", {}).get("size") != len(data):
                    problems.append("database size is not %d" % len(data))
            for number, line in enumerate(lines_run.stdout.decode("utf-8").splitlines()):
                parsed = json.loads(line)
                problems += ["line %d: %s" % (number, e.message) for e in lines_validator.iter_errors(parsed)][:3]
                if validator.is_valid(parsed):
                    problems.append("line %d: the document schema accepts a line" % number)
            if problems:
                failures += 1
                print("FAIL %s:\n  %s" % (label, "\n  ".join(problems)))
    # The damaged copies must have reached every way a walk can end but the size limit.
    for kind in ("complete", "bounds", "signature"):
        if kind not in ends:
            failures += 1
            print("FAIL no document ended with %s" % kind)
    rejected = 0
    for what, mutated in mutations(sample_document):
        if validator.is_valid(mutated):
            failures += 1
            print("FAIL the schema accepts a mutation: %s" % what)
        else:
            rejected += 1
    if rejected < 20:
        failures += 1
        print("FAIL only %d mutations rejected" % rejected)
    print("%d databases, %d mutations rejected, %d failed" % (len(cases), rejected, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

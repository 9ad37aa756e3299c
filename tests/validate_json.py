#!/usr/bin/python3
"""Validates symdeck's JSON documents, its JSON lines and the JSON lines of its diff against
the published schemas with a standard validator, and checks that the schemas reject wrong
documents and lines.

Usage: validate_json.py SYMDECK SCHEMA LINES_SCHEMA DIFF_SCHEMA TABLE_SCHEMA SAMPLE [CORPUS_DIR] [--damage MAKE_DAMAGE]

The databases are the sample, copies of it with fields changed in place (EDITS), damaged
copies (cut short at several places, a signature spoiled, an offset pointed past the end)
and every file in CORPUS_DIR (the fuzzer's first byte there chooses sections, so it is
dropped). Each is written by the real program to standard output, as --json and as
--json-lines; with --check its exit status must be 2 for a walk that ended at an error or
met damaged fields, else 0. Each is also compared with the sample by --diff --json-lines,
both ways: exit status 0 when the result says the same, 1 when it says different, 2 with
no output when either file is no database (its report has no block); the result's counts
are those of the change lines, and its walk statuses those of the two reports. With
--damage, one in SWEEP_STRIDE of the damage sweep's databases (MAKE_DAMAGE writes them) is
compared with the sample in the same way, both ways, with the section flags it was made for.
Each is also written as the table's JSON rows (--table --json-lines), every row valid with
every column in the schema's order, the exit status of --check the same as the document's.
Deliberate mutations of the sample's document and lines, of real diff lines and of the
sample's table rows, must each be rejected.
"""
import copy
import json
import os
import subprocess
import sys
import tempfile

from jsonschema import Draft202012Validator


def rejections(validator, mutated_documents, schema):
    """How many of the (what, document) mutations `validator` rejects, and how many it accepts
    (each said)."""
    rejected = accepted = 0
    for what, mutated in mutated_documents:
        if validator.is_valid(mutated):
            accepted += 1
            print("FAIL %s accepts a mutation: %s" % (schema, what))
        else:
            rejected += 1
    return rejected, accepted


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


# Fields of the sample changed in place: (what, block word, field name, new value from old).
EDITS = [
    ("a procedure's end moved", "SEGDATA_PROCEDURE", "offEndProc", lambda v: v + 256),
    ("a variable named otherwise", "SEGDATA_VLPTABLE", "iName", lambda v: v ^ 1),
    ("a type table entry of another type", "TYPETABLE", "type", lambda v: v + 1),
    ("the file length negative (read signed)", "NM32_HEADER", "fileLength", lambda v: v | 0x80000000),
    ("a segment with a procedure fewer", "SEGMENTDATA", "nProcedures", lambda v: v - 1),
    ("a directory with an entry fewer", "NMDR_HEADER", "nNMDE", lambda v: v - 1),
    ("the string table's signature spoiled", "STTB_HEADER", "STTB", lambda v: v ^ 0x20),
]


def edited(sample, document, edits):
    """The sample with each of `edits` made to the bytes of its field."""
    data = bytearray(sample)
    for _, word, name, edit in edits:
        _, field = first_field(document, word, name)
        at, size = field["offset"], field["size"]
        value = int.from_bytes(data[at:at + size], "little")
        data[at:at + size] = (edit(value) % 2**(8 * size)).to_bytes(size, "little")
    return bytes(data)


def edited_copies(sample, document):
    """(what, data): the sample with each of EDITS made, with all of them, and with a letter of
    a name changed."""
    for edit in EDITS:
        yield edit[0], edited(sample, document, [edit])
    yield "all those fields changed at once", edited(sample, document, EDITS)
    text = list_field(document, "STTB_HEADER", "strings")["elements"][0][0]["target"]
    named = bytearray(sample)
    named[text + 1] ^= 0x20  # a letter of the first name in the other case
    yield "a name's text changed", bytes(named)


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


def list_field(document, word, name):
    """The list `name` of the first block `word` (a block of the top level)."""
    for block in document["blocks"]:
        if block["block"] == word:
            return next(f for f in block["fields"] if f.get("list") == name)
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


def diff_mutations(lines):
    """(what, mutated line) pairs from real diff lines (`lines`: one of each kind, by the
    keys below), each one a line the diff schema must reject."""
    def change(what, kind, edit):
        mutated = copy.deepcopy(lines[kind])
        edit(mutated)
        return what, mutated

    def without(*names):
        return lambda line: [line.pop(name) for name in names]

    def field(**members):
        return lambda line: line["fields"][0].update(members)

    def walk(status):
        return lambda line: line["new"].update(walk=status)

    return [
        change("a wrong change word", "changed", lambda c: c.update(change="modified")),
        change("a change without its identity", "removed", without("identity")),
        change("a change without its block word", "added", without("block")),
        change("fields on an added block", "added", lambda c: c.update(fields=lines["changed"]["fields"])),
        change("fields on a removed block", "removed", lambda c: c.update(fields=lines["changed"]["fields"])),
        change("a changed block without fields", "changed", without("fields")),
        change("an added block without what it holds", "added", without("inner")),
        change("what a changed block holds", "changed", lambda c: c.update(inner=lines["added"]["inner"])),
        change("what a removed block holds, without its elements", "removed", lambda c: c["inner"].pop("elements")),
        change("a negative count of inner blocks", "removed", lambda c: c["inner"].update(blocks=-1)),
        change("inner blocks as one number", "added", lambda c: c.update(inner=3)),
        change("a changed block with no field that differs", "changed", lambda c: c.update(fields=[])),
        change("an added block with an old offset", "added", lambda c: c.update(old={"offset": 0})),
        change("a removed block with a new offset", "removed", lambda c: c.update(new={"offset": 0})),
        change("a changed block without its new offset", "changed", lambda c: c.update(new=None)),
        change("an offset written as a string", "changed", lambda c: c["old"].update(offset="580")),
        change("a place with more than its offset", "changed", lambda c: c["old"].update(size=4)),
        change("a misspelled block word", "changed", lambda c: c.update(block=c["block"] + "S")),
        change("a list named as the text report titles it", "added", lambda c: c.update(block="Strings")),
        change("an identity ending in another block", "changed", lambda c: c.update(identity=c["identity"] + "/SEGDATA_REGISTER[0]")),
        change("an identity step without its index", "changed", lambda c: c.update(identity=c["identity"].rsplit("[", 1)[0])),
        change("an identity step of an unknown word", "changed", lambda c: c.update(identity="NOSUCH_HEADER[0]/" + c["identity"])),
        change("an identity with a leading zero", "changed", lambda c: c.update(identity="[0".join(c["identity"].rsplit("[", 1)))),
        change("an identity with an empty step", "changed", lambda c: c.update(identity="/" + c["identity"])),
        change("an unknown member in a change", "changed", lambda c: c.update(colour="red")),
        change("an unknown member in a changed field", "changed", field(text="main")),
        change("a field name that is no identifier", "changed", field(name="off End")),
        change("a field missing on both sides", "changed", field(old=None, new=None)),
        change("a field without its old value", "changed", lambda c: c["fields"][0].pop("old")),
        change("a fractional value", "changed", field(new=1.5)),
        change("a value below a signed 32-bit number", "changed", field(new=-2**31 - 1)),
        change("a value past 32 bits", "changed", field(new=2**32)),
        change("a value as an object", "changed", field(new={"value": 1})),
        change("an unknown line kind", "result", lambda c: c.update(line="summary")),
        change("a count written as a string", "result", lambda c: c.update(added=str(c["added"]))),
        change("a negative count", "result", lambda c: c.update(moved=-1)),
        change("a result without its moves", "result", without("moved")),
        change("same, with changes", "result", lambda c: c.update(same=True)),
        change("different, without changes", "same result", lambda c: c.update(same=False)),
        change("an unknown member in a result", "result", lambda c: c.update(colour="red")),
        change("a walk status with the report's counts", "result", walk({"status": "complete", "damagedFields": 0})),
        change("a complete walk with an error's kind", "result", walk({"status": "complete", "kind": "bounds"})),
        change("an error without its header", "result", walk({"status": "error", "kind": "bounds", "offset": 1, "fileSize": 2})),
        change("a bounds error without the file's size", "result", walk({"status": "error", "kind": "bounds", "header": "NMDR_HEADER", "offset": 1})),
        change("a walk status outside its walk", "result", lambda c: c.update(old=c["old"]["walk"])),
        change("the diff's version 2", "header", lambda c: c.update(version=2)),
        change("the report's format word", "header", lambda c: c.update(format="symdeck-report-lines")),
        change("a header without the new database", "header", without("new")),
        change("an unknown member in a header", "header", lambda c: c.update(colour="red")),
    ]


def check_reports(symdeck, validator, lines_validator, database, data):
    """Problems with the --json document and the --json lines of `database`, and the
    document (None when it is not JSON)."""
    run = subprocess.run([symdeck, database, "--json", "--check", "-o", "-"], capture_output=True)
    lines_run = subprocess.run([symdeck, database, "--json-lines", "--check", "-o", "-"],
                               capture_output=True)
    problems = []
    try:
        document = json.loads(run.stdout.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as e:
        problems.append("not JSON: %s" % e)
        document = None
    if document is not None:
        problems += [e.message for e in validator.iter_errors(document)][:5]
        if lines_validator.is_valid(document):
            problems.append("the lines schema accepts the whole document")
        result = document.get("result", {})
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
    return problems, document


def check_table(symdeck, validator, database, want):
    """Problems with the table's JSON rows of `database`; `want`: the --check status."""
    run = subprocess.run([symdeck, database, "--table", "--json-lines", "--check", "-o", "-"],
                         capture_output=True)
    problems = []
    if want is not None and run.returncode != want:
        problems.append("table: --check status %d, the document's result wants %d" % (run.returncode, want))
    columns = list(validator.schema["properties"])
    for number, line in enumerate(run.stdout.decode("utf-8").splitlines()):
        row = json.loads(line)
        problems += ["table row %d: %s" % (number, e.message) for e in validator.iter_errors(row)][:3]
        if list(row) != columns:
            problems.append("table row %d: the columns are not in the schema's order" % number)
    return problems


def table_mutations(rows):
    """(what, mutated row) pairs from the sample's table rows, each one the schema must reject."""
    def first(test):
        return next(row for row in rows if test(row))
    own = first(lambda r: r["field_role"] == "offset" and r["target"] is not None and r["list_name"] is None)
    text = first(lambda r: r["field_role"] == "signature")
    listed = first(lambda r: r["list_name"] is not None)
    nested = first(lambda r: r["block_path"] is not None)

    def change(what, row, **members):
        mutated = copy.deepcopy(row)
        mutated.update(members)
        return what, mutated

    def without(what, row, name):
        mutated = copy.deepcopy(row)
        del mutated[name]
        return what, mutated
    return [
        without("no problem column", own, "problem"),
        without("no database", own, "database"),
        change("a column more", own, extra=1),
        change("a block word unknown", own, block="NOT_A_BLOCK"),
        change("a negative offset", own, block_offset=-1),
        change("a size as text", own, block_size="52"),
        change("a path without offsets", nested, block_path="NMDR_HEADER"),
        change("an identity without steps", own, identity="NM32_HEADER"),
        change("an identity step as a word", own, identity="NM32_HEADER[x]"),
        change("a list unknown", listed, list_name="names"),
        change("a list without its element", listed, list_element=None),
        change("an element without its list", own, list_element=0),
        change("a storage word unknown", own, field_type="LONG"),
        change("a field size of 0", own, field_size=0),
        change("a role unknown", own, field_role="pointer"),
        change("a number past 32 bits", own, value_number=2**32),
        change("a signature with a number", text, value_number=1),
        change("a signature without its text", text, value_text=None),
        change("a target outside without a target", text, target_outside=True),
        change("a target without its outside", own, target_outside=None),
        change("an outside as text", own, target_outside="false"),
        change("a problem unknown", own, problem="broken"),
        change("a field row without its name", own, field_name=None),
        change("a row without fields with a type", own, field_name=None, field_offset=None,
               field_size=None, field_role=None, value_number=None, value_text=None, target=None, target_outside=None),
        change("a row without fields with a number", own, field_name=None, field_type=None, field_offset=None,
               field_size=None, field_role=None, value_text=None, target=None, target_outside=None),
        change("an UNKNOWN row with an offset", own, block="UNKNOWN", block_path=None, identity=None,
               field_name=None, field_type=None, field_offset=None, field_size=None, field_role=None,
               value_text=None, target=None, target_outside=None),
    ]


def what_it_shows(lines, lists):
    """What a diff's lines show, in the words of the check that the diffs showed everything:
    its exit status, the kinds of change, how the walks ended, a list's change, and the
    kinds of field value."""
    if not lines:
        return {"status 2"}
    shown = {"status 0" if lines[-1].get("same") else "status 1"}
    for line in lines:
        if line.get("line") == "result":
            shown.update(line[side]["walk"].get("kind", "complete") for side in ("old", "new"))
        shown.add(line.get("change"))
        if line.get("block") in lists:
            shown.add("a list's change")
        for f in line.get("fields", []):
            for value in (f["old"], f["new"]):
                shown.add("a missing field" if value is None else "a text value" if isinstance(value, str)
                          else "a negative value" if value < 0 else "a number")
    return shown


def check_diff(symdeck, validator, old, new, reports, flags=()):
    """Problems with `symdeck --diff OLD NEW --json-lines FLAGS`, and its lines (none when
    either is no database); `old`, `new`: (path, data); `reports`: each path's --json
    document with the same section flags."""
    run = subprocess.run([symdeck, "--diff", old[0], new[0], "--json-lines", *flags], capture_output=True)
    if not all(reports[path]["blocks"] for path, _ in (old, new)):
        if run.returncode != 2 or run.stdout:
            return ["with no database: status %d and %d bytes written, not 2 and none"
                    % (run.returncode, len(run.stdout))], []
        return [], []
    problems = []
    lines = [json.loads(line) for line in run.stdout.decode("utf-8").splitlines()]
    for number, line in enumerate(lines):
        problems += ["line %d: %s" % (number, e.message) for e in validator.iter_errors(line)][:3]
    kinds = [line.get("line") for line in lines]
    if problems or len(lines) < 2 or kinds[0] != "header" or kinds[-1] != "result" or set(kinds[1:-1]) - {"change"}:
        return problems + ["lines of kinds %s, not a header, changes and a result" % kinds], lines
    header, result = lines[0], lines[-1]
    for side, (path, data) in (("old", old), ("new", new)):
        if header[side] != {"name": path, "size": len(data)}:
            problems.append("header: %s is %s, not %s of %d bytes" % (side, header[side], path, len(data)))
        status = {k: v for k, v in reports[path]["result"].items() if k not in ("damagedFields", "unknownValues")}
        if result[side]["walk"] != status:
            problems.append("result: the %s walk %s, its report's %s" % (side, result[side]["walk"], status))
    for kind in ("added", "removed", "changed"):
        listed = sum(1 for line in lines if line.get("change") == kind)
        if result[kind] != listed:
            problems.append("result: %s %d, %d lines" % (kind, result[kind], listed))
    # An identity names one block of its side: NEW's for added and changed ones, OLD's for
    # removed ones.
    for side, kinds in (("old", ("removed",)), ("new", ("added", "changed"))):
        named = [line["identity"] for line in lines if line.get("change") in kinds]
        if len(set(named)) != len(named):
            problems.append("an identity given to two blocks of %s" % side)
    for line in lines:
        for f in line.get("fields", []):
            if f["old"] == f["new"] and f.get("oldNames") == f.get("newNames"):
                problems.append("%s: field %s listed with the same value %r" % (line["identity"], f["name"], f["old"]))
    if run.returncode != (0 if result["same"] else 1):
        problems.append("status %d for same %s" % (run.returncode, result["same"]))
    if old[1] == new[1] and len(lines) != 2:
        problems.append("%d changes between equal files" % (len(lines) - 2))
    return problems, lines


# The section flags of the kinds that make_damage's list leaves out, by bit (1 << the kind's
# directory entryIndex).
KIND_FLAGS = {1: "-gtyp", 2: "-sttb", 3: "-nmtp", 4: "-tytb", 5: "-hsht", 6: "-symd", 7: "-srcp", 8: "-fpod"}
# One in this many of the damage sweep's databases is compared with the sample.
SWEEP_STRIDE = 25


def damage_sweep(make_damage, work):
    """A sample of the damage sweep (make_damage's truncations and corruptions): (name, path,
    data, section flags) for every SWEEP_STRIDE-th database."""
    folder = os.path.join(work, "damage")
    os.mkdir(folder)
    subprocess.run([make_damage, folder], check=True, capture_output=True)
    with open(os.path.join(folder, "list.txt")) as f:
        listing = [line.split() for line in f if line.strip()]
    for left_out, name in listing[::SWEEP_STRIDE]:
        bits = int(left_out)
        flags = tuple(flag for bit, flag in KIND_FLAGS.items() if bits >> bit & 1)
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            yield name, path, f.read(), flags


def check_sweep(symdeck, validator, make_damage, work, original, sample, seen, reached, lists):
    """Each database of a sample of the damage sweep compared with the sample both ways, with
    its section flags: the problems, by database, and how many were compared."""
    documents = {}

    def document(path, flags):
        key = (path, flags)
        if key not in documents:
            run = subprocess.run([symdeck, path, "--json", "-o", "-", *flags], capture_output=True)
            documents[key] = json.loads(run.stdout)
        return documents[key]

    failed, compared = [], 0
    for name, path, data, flags in damage_sweep(make_damage, work):
        reports = {original: document(original, flags), path: document(path, flags)}
        problems = []
        for pair in (((original, sample), (path, data)), ((path, data), (original, sample))):
            found, lines = check_diff(symdeck, validator, *pair, reports, flags)
            problems += found
            reached.update(what_it_shows(lines, lists))
            for line in lines:
                kind = line.get("change") or ("same result" if line.get("same") else line.get("line"))
                seen.setdefault(kind, line)
        compared += 1
        if problems:
            failed.append((name, flags, problems))
    return failed, compared


def main():
    arguments = sys.argv[1:]
    make_damage = None
    if "--damage" in arguments:
        at = arguments.index("--damage")
        make_damage = arguments[at + 1]
        del arguments[at:at + 2]
    symdeck, schema_path, lines_schema_path, diff_schema_path, table_schema_path, sample_path = arguments[0:6]
    corpus = arguments[6] if len(arguments) > 6 else None
    validators = []
    for path in (schema_path, lines_schema_path, diff_schema_path, table_schema_path):
        with open(path) as f:
            schema = json.load(f)
        Draft202012Validator.check_schema(schema)
        validators.append(Draft202012Validator(schema))
    validator, lines_validator, diff_validator, table_validator = validators
    # The lists' names: in a diff, the word of a list and of each of its elements.
    lists = set(diff_validator.schema["$defs"]["word"]["anyOf"][1]["enum"])
    with open(sample_path, "rb") as f:
        sample = f.read()
    sample_document = json.loads(subprocess.run([symdeck, sample_path, "--json", "-o", "-"],
                                                capture_output=True, check=True).stdout)
    cases = list(variants(sample))
    if corpus:
        for name in sorted(os.listdir(corpus)):
            with open(os.path.join(corpus, name), "rb") as f:
                cases.append(("corpus " + name, f.read()[1:]))
    # The edited copies are only compared: validating their reports too would double the
    # time for little (they differ from the sample's in a few values).
    edits = list(edited_copies(sample, sample_document))

    failures = 0
    ends = set()
    reports = {}
    seen = {}  # the diff's lines met, one of each kind, for diff_mutations
    reached = set()  # what the diffs showed, for the check that they showed everything
    with tempfile.TemporaryDirectory() as work:
        original = os.path.join(work, "sample.nms")
        with open(original, "wb") as f:
            f.write(sample)
        reports[original] = sample_document
        for number, (label, data) in enumerate(cases + edits):
            database = os.path.join(work, "db%d.nms" % number)
            with open(database, "wb") as f:
                f.write(data)
            if number < len(cases):
                problems, document = check_reports(symdeck, validator, lines_validator, database, data)
                want = None
                if document is not None:
                    result = document.get("result", {})
                    ends.add(result.get("kind", result.get("status")))
                    want = 0 if result.get("status") == "complete" and result.get("damagedFields") == 0 else 2
                problems += check_table(symdeck, table_validator, database, want)
            else:
                problems = []
                document = json.loads(subprocess.run([symdeck, database, "--json", "-o", "-"],
                                                     capture_output=True).stdout)
            if document is not None:
                reports[database] = document
                for pair in (((original, sample), (database, data)), ((database, data), (original, sample))):
                    found, diff_lines = check_diff(symdeck, diff_validator, *pair, reports)
                    problems += ["diff %s: %s" % ("from" if pair[0][0] == original else "to", p) for p in found]
                    reached.update(what_it_shows(diff_lines, lists))
                    for line in diff_lines:
                        kind = line.get("change") or ("same result" if line.get("same") else line.get("line"))
                        seen.setdefault(kind, line)
            if problems:
                failures += 1
                print("FAIL %s:\n  %s" % (label, "\n  ".join(problems)))
        swept = 0
        if make_damage:
            failed, swept = check_sweep(symdeck, diff_validator, make_damage, work, original, sample,
                                        seen, reached, lists)
            for name, flags, problems in failed:
                failures += 1
                print("FAIL damage sweep %s %s:\n  %s" % (name, " ".join(flags), "\n  ".join(problems)))
    # The damaged copies must have reached every way a walk can end but the size limit, and
    # the diffs every kind of change, status and value.
    for kind in ("complete", "bounds", "signature"):
        if kind not in ends:
            failures += 1
            print("FAIL no document ended with %s" % kind)
    for what in ("status 0", "status 1", "status 2", "added", "removed", "changed", "complete", "bounds", "signature", "a list's change", "a missing field",
                 "a text value", "a negative value"):
        if what not in reached:
            failures += 1
            print("FAIL no diff showed %s" % what)
    rejected, missed = rejections(validator, mutations(sample_document), "the schema")
    failures += missed
    if rejected < 20:
        failures += 1
        print("FAIL only %d mutations rejected" % rejected)
    table_rows = [json.loads(line) for line in subprocess.run(
        [symdeck, sample_path, "--table", "--json-lines", "-o", "-"], capture_output=True, check=True).stdout.splitlines()]
    table_rejected, missed = rejections(table_validator, table_mutations(table_rows), "the table schema")
    failures += missed
    if table_rejected < 20:
        failures += 1
        print("FAIL only %d table mutations rejected" % table_rejected)
    diff_rejected = 0
    if all(kind in seen for kind in ("header", "added", "removed", "changed", "result", "same result")):
        diff_rejected, missed = rejections(diff_validator, diff_mutations(seen), "the diff schema")
        failures += missed
    if diff_rejected < 30:
        failures += 1
        print("FAIL only %d diff mutations rejected" % diff_rejected)
    print("%d databases, %d edited copies and %d of the damage sweep, each compared with the "
          "sample both ways; %d mutations, %d diff mutations and %d table mutations rejected, %d failed"
          % (len(cases), len(edits), swept, rejected, diff_rejected, table_rejected, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

"""The package against the program: every block and field of the sample, damaged copies, the
fuzzer's corpus and a database of many chunks against --json-lines; the reports byte for
byte; what holds a byte against --explain; and the errors. run.sh sets the environment."""

import json
import os
import shutil
import subprocess

import pytest

import symdeck

SYMDECK = os.environ["SYMDECK"]
SAMPLE = os.environ["SAMPLE"]
CORPUS = os.environ["CORPUS"]
DAMAGE = os.environ["DAMAGE"]
WORK = os.environ["WORK"]

# The section words of the command line, and the kinds' bits in make_damage's list.
KIND_BITS = {"gtyp": 1, "sttb": 2, "nmtp": 3, "tytb": 4, "hsht": 5, "symd": 6, "srcp": 7, "fpod": 8}
SELECTIONS = ["", "+nm32", "+symd", "+nmtp +tytb", "-nmtp -gtyp", "-STTB", "+nm32 +srcp", "-symd +hsht"]


def program(path, *args):
    return subprocess.run([SYMDECK, path, *args, "-o", "-"], check=True, capture_output=True).stdout


def json_lines(path, sections=""):
    """The block lines of --json-lines, each list line's elements joined to its block's
    list, and the result."""
    blocks, result = [], None
    for line in program(path, "--json-lines", *sections.split()).splitlines():
        line = json.loads(line)
        if line["line"] == "block":
            blocks.append(line)
        elif line["line"] == "list":
            lists = [entry for entry in blocks[-1]["fields"] if "list" in entry]
            lists[-1]["elements"].extend(line["elements"])
        elif line["line"] == "result":
            result = line["result"]
    return blocks, result


def field_as_line(field):
    """A field with the members its line has."""
    line = {"name": field.name, "type": field.type, "offset": field.offset, "size": field.size,
            "value": field.value, "role": field.role}
    if field.word is not None:
        line["text"] = field.word
    if field.problem is not None:
        line["error"] = field.problem
    if field.target is not None:
        line["target"] = field.target
        line["leads"] = field.leads
    return line


def line_field(line):
    return {key: line[key] for key in ("name", "type", "offset", "size", "value", "role", "text", "error",
                                       "target", "leads") if key in line}


def check_against_lines(db, path, sections=""):
    """Every block and every member of it, and the result, as --json-lines has them."""
    lines, result = json_lines(path, sections)
    assert db.result == result
    assert db.block_count == len(lines)
    # Each block let go before the next: the chunks read to their end are filled again.
    seen = 0
    for number, (block, line) in enumerate(zip(db.blocks(), lines)):
        seen += 1
        where = f"{path} {sections!r} block {number}"
        assert block.index == number, where
        assert block.title == line["block"], where
        assert block.offset == line.get("offset", block.offset), where
        assert block.path == line["path"], where
        assert block.values == line["values"], where
        assert len(block.path) == block.depth, where
        got = [field_as_line(f) for f in block.fields]
        want = [line_field(f) for f in line["fields"] if "list" not in f]
        assert got == want, where
        # A text's bytes as stored: the line's "bytes" where they are no UTF-8.
        for field, raw in zip(block.fields, (f for f in line["fields"] if "list" not in f)):
            if field.role in ("signature", "text"):
                assert field.bytes == (bytes.fromhex(raw["bytes"]) if "bytes" in raw else field.value.encode()), where
            else:
                assert field.bytes is None, where
        # A list without elements has no rows, and the library none of it to give.
        got = [(lst.name, lst.offset, [[field_as_line(f) for f in element] for element in lst.elements])
               for lst in block.lists]
        want = [(entry["list"], entry["offset"], [[line_field(f) for f in element] for element in entry["elements"]])
                for entry in line["fields"] if "list" in entry and entry["elements"]]
        assert got == want, where
        if block.depth:
            parent = block.parent
            assert (parent.title, parent.offset) == (line["path"][-1]["block"], line["path"][-1]["offset"]), where
    assert seen == len(lines)
    return lines


@pytest.mark.parametrize("sections", SELECTIONS)
def test_sample_against_json_lines(sections):
    check_against_lines(symdeck.open(SAMPLE, sections=sections), SAMPLE, sections)


def test_corpus_against_json_lines():
    names = sorted(os.listdir(CORPUS))
    assert names
    for name in names:
        # The program takes a database by the name it ends in.
        path = os.path.join(WORK, name + ".nms")
        shutil.copyfile(os.path.join(CORPUS, name), path)
        check_against_lines(symdeck.open(path), path)


def damaged_inputs(step=23):
    """Every step-th of make_damage's cut and corrupted samples, with its section words."""
    with open(os.path.join(DAMAGE, "list.txt")) as listing:
        entries = [line.split() for line in listing if line.strip()]
    for bits, name in entries[::step]:
        words = " ".join("-" + kind for kind, bit in KIND_BITS.items() if int(bits) >> bit & 1)
        yield os.path.join(DAMAGE, name), words


def test_damaged_copies_against_json_lines():
    inputs = list(damaged_inputs())
    assert len(inputs) > 100
    stopped = 0
    for path, words in inputs:
        db = symdeck.open(path, sections=words)
        check_against_lines(db, path, words)
        stopped += db.result["status"] == "error"
    assert stopped > 0


def test_many_chunks_against_json_lines():
    # Some tens of thousands of blocks: more than one chunk of the walk.
    path = os.path.join(WORK, "large.nms")
    subprocess.run([os.environ["MAKE_LARGE"], path, "1"], check=True)
    db = symdeck.open(path)
    assert db.block_count > 10000
    lines = check_against_lines(db, path)
    # Blocks kept keep their chunks: read after the whole iteration, they hold what they held.
    kept = list(db.blocks())
    for block, line in list(zip(kept, lines))[::97]:
        assert (block.title, block.values) == (line["block"], line["values"])
        assert [field_as_line(f) for f in block.fields] == [line_field(f) for f in line["fields"] if "list" not in f]


@pytest.mark.parametrize("form,args", [("text", []), ("json", ["--json"]), ("json-lines", ["--json-lines"])])
@pytest.mark.parametrize("sections", SELECTIONS[:5])
def test_reports_are_the_programs(form, args, sections):
    assert symdeck.open(SAMPLE, sections=sections).report(form) == program(SAMPLE, *args, *sections.split())


def test_reports_of_damaged_copies_are_the_programs():
    for path, words in list(damaged_inputs(211)):
        db = symdeck.open(path, sections=words)
        assert db.report("text") == program(path, *words.split()), path
        assert db.report("json") == program(path, "--json", *words.split()), path


def test_bytes_open_as_the_file_does():
    with open(SAMPLE, "rb") as file:
        data = file.read()
    by_path = symdeck.open(SAMPLE)
    for source in (data, bytearray(data), memoryview(data)):
        db = symdeck.open(source, name=SAMPLE)
        assert (db.name, db.size, db.result) == (SAMPLE, len(data), by_path.result)
        assert db.report("json-lines") == by_path.report("json-lines")
    assert symdeck.open(data).name == ""
    # Anything opens: the walk says where it stopped.
    for junk in (b"", b"not a database", data[:100]):
        db = symdeck.open(junk)
        assert db.size == len(junk) and db.result["status"] == "error"


def test_block_at_and_explain_against_the_program():
    db = symdeck.open(SAMPLE)
    offsets = list(range(0, db.size + 8, 7))
    answers = json.loads(program(SAMPLE, "--json", *(f"--explain={o}" for o in offsets)))
    for offset, answer in zip(offsets, answers):
        assert db.explain(offset) == answer
        block = db.block_at(offset)
        # The hits whose field holds the byte itself (not a name it reads) and is shown.
        holding = [hit for hit in answer["hits"] if hit["field"].get("shown", True)
                   and hit["field"]["offset"] <= offset < hit["field"]["offset"] + hit["field"]["size"]]
        innermost = [hit["blocks"][-1] for hit in holding]
        if block is None:
            assert innermost == [], offset
            continue
        assert {"block": block.title, "offset": block.offset} in [
            {"block": b["block"], "offset": b["offset"]} for b in innermost], offset
        # The field that holds the byte, spelled as the report spells it.
        holders = [f for f in list(block.fields) + [f for lst in block.lists for e in lst.elements for f in e]
                   if f.offset <= offset < f.offset + f.size]
        spelled = [hit["field"]["spelled"] for hit in holding]
        assert holders and any(f.text in spelled for f in holders), offset


def test_path_errors():
    missing = os.path.join(WORK, "missing.nms")
    for path, reason in ((missing, "No such file or directory"), (WORK, "Is a directory")):
        with pytest.raises(symdeck.Error) as caught:
            symdeck.open(path)
        assert isinstance(caught.value, OSError)
        assert str(caught.value) == f"Can't open nms file ({path}). {reason}"
        assert (caught.value.filename, caught.value.strerror) == (path, reason)


@pytest.mark.parametrize("call", [
    lambda: symdeck.open(17),
    lambda: symdeck.open(None),
    lambda: symdeck.open(SAMPLE, sections=["+symd"]),
    lambda: symdeck.open(SAMPLE, name=b"x"),
    lambda: symdeck.open(SAMPLE).report(1),
    lambda: symdeck.open(SAMPLE).explain("0x10"),
    lambda: symdeck.open(SAMPLE).block_at(1.5),
])
def test_wrong_types(call):
    with pytest.raises(TypeError):
        call()


@pytest.mark.parametrize("call", [
    lambda: symdeck.open(SAMPLE, sections="+symbols"),
    lambda: symdeck.open(SAMPLE, sections="symd"),
    lambda: symdeck.open(SAMPLE).report("html"),
    lambda: symdeck.open(SAMPLE).explain(-1),
])
def test_wrong_values(call):
    with pytest.raises(ValueError):
        call()

#!/usr/bin/python3
"""Writes the JSON schemas of symdeck's JSON forms into docs/: symdeck-report.schema.json
(--json) and symdeck-report-lines.schema.json (--json-lines), both version 2, and
symdeck-diff-lines.schema.json (--diff OLD NEW --json-lines, version 1), and
symdeck-table-lines.schema.json (--table --json-lines: one row per field).

They share their definitions of blocks, fields and how a walk ended; they are generated from
this one place so that they cannot drift apart. The field lists of the structures the
program describes in tables come from those tables, as tools/make_structures prints them:
    make_structures STRUCTURES.json && tools/make_schemas.py DOCS_DIR STRUCTURES.json
(`cmake --build BUILD --target schemas` does both for docs/).
"""
import json
import os
import sys

# Each block word and the names of its fields, in report order: every name is required in
# a block of that word (its `fields` and its `values`). DESCRIBED: the structure's table
# gives them (read_described fills them in).
DESCRIBED = None
BLOCK_FIELDS = {
    "NM32_HEADER": DESCRIBED,
    "NMDR_HEADER": DESCRIBED,
    "NMDE_S": DESCRIBED,
    "GTYP_HEADER": DESCRIBED,
    "STTB_HEADER": DESCRIBED,
    "NMTP_HEADER": DESCRIBED,
    "DATAS_LF_PROCEDURE": DESCRIBED,
    "DATAS_LF_ARGLIST": DESCRIBED,
    "DATAS_LF_ARRAY": DESCRIBED,
    "DATAS_LF_STRUCT": DESCRIBED,
    "DATAS_LF_MEMBER": DESCRIBED,
    "TYPE_LF_UNION": DESCRIBED,
    "DATAS_LF_DERIVED": DESCRIBED,
    "DATAS_LF_LABEL": DESCRIBED,
    "unknown type": DESCRIBED,
    "TYTB_HEADER": DESCRIBED,
    "TYPETABLE": DESCRIBED,
    "HSHT_HEADER": DESCRIBED,
    "HSHT_TYPETABLE": DESCRIBED,
    "SYMD_HEADER": DESCRIBED,
    "SEGMENTDATA_HEADER": DESCRIBED,
    "SEGMENTDATA": DESCRIBED,
    "SEGDATA_PROCEDURE": DESCRIBED,
    "SEGDATA_VLPTABLE": DESCRIBED,
    "SEGDATA_REGISTER": DESCRIBED,
    "SEGDATA_SOURCELINES": [],
    "SEGDATA_SOURCESECTION": DESCRIBED,
    "SEGDATA_SOURCEFILE": DESCRIBED,
    "SRCP_HEADER": DESCRIBED,
    "FPOD_HEADER": DESCRIBED,
}

ROLES = ["offset", "count", "size", "nameIndex", "typeIndex", "enum", "signature", "text", "number"]
LEADS = ["block", "elements", "area", "array", "text", "record", "leftOut"]
ERRORS = {
    "nameIndexOutOfRange": "damage: a name index at or beyond the string table's count",
    "namePastEndOfFile": "damage: a name whose offset lies past the end of the file",
    "wrongTableType": "damage: a variable entry's tableType is not one its place allows",
    "unknownRegister": "a register number the program has no name for",
    "unknownPrimitiveType": "a type index below 0x1000 that names no primitive type the program knows",
    "unknownEnum": "an enumeration's value the program has no word for",
    "unknownSectionKind": "a directory entry of a kind the program does not know",
}
# Fields that some format versions lack, so that a block need not have them: a procedure is
# 28 bytes, without its trailing N1, in format minor version 1.
NOT_IN_EVERY_VERSION = {"SEGDATA_PROCEDURE": ["N1"]}
LISTS = ["strings", "types", "typeTableOffsets", "lineRows"]
STORAGE = {"ULONG": 4, "USHORT": 2, "CHAR[0x104]": 260, "CHAR[0x100]": 256}
IDENTIFIER = "^[A-Za-z_][A-Za-z0-9_]*$"
U32 = 4294967295


def read_described(path):
    """Fills in BLOCK_FIELDS for the described structures from make_structures' JSON: the
    names of the fields a form reports, in order, each of a storage word STORAGE knows."""
    with open(path) as f:
        described = json.load(f)
    for word, structure in described.items():
        if word not in BLOCK_FIELDS or BLOCK_FIELDS[word] is not DESCRIBED:
            sys.exit("make_schemas: %s is described but has no DESCRIBED place here" % word)
        for field in structure["fields"]:
            if STORAGE.get(field["type"]) != field["size"]:
                sys.exit("make_schemas: %s.%s: storage %s of %d bytes is not one the schema knows"
                         % (word, field["name"], field["type"], field["size"]))
        optional = NOT_IN_EVERY_VERSION.get(word, [])
        BLOCK_FIELDS[word] = [f["name"] for f in structure["fields"]
                              if f.get("reported", True) and f["name"] not in optional]
    missing = [word for word, names in BLOCK_FIELDS.items() if names is DESCRIBED]
    if missing:
        sys.exit("make_schemas: no description of " + ", ".join(missing))


def walk_status(description, counts=()):
    """How a walk ended, as the JSON forms write it: {"status": "complete"}, or "error" with
    the kind of error, the header the walk was in and that kind's numbers; `counts` names
    more members, numbers that every status has."""
    properties = {
        "status": {"enum": ["complete", "error"]},
        "kind": {"enum": ["bounds", "signature", "limit"]},
        "header": {"type": "string"},
        "offset": {"$ref": "#/$defs/count"},
        "fileSize": {"$ref": "#/$defs/count"},
        "limit": {"$ref": "#/$defs/count"},
    }
    properties.update((name, {"$ref": "#/$defs/count"}) for name in counts)
    return {
        "type": "object",
        "description": description,
        "required": ["status"] + list(counts),
        "additionalProperties": False,
        "properties": properties,
        "allOf": [
            {"if": {"properties": {"status": {"const": "complete"}}},
             "then": {"not": {"anyOf": [{"required": [k]} for k in ("kind", "header", "offset", "fileSize", "limit")]}},
             "else": {"required": ["kind", "header"]}},
            {"if": {"properties": {"kind": {"const": "bounds"}}, "required": ["kind"]}, "then": {"required": ["offset", "fileSize"]}},
            {"if": {"properties": {"kind": {"const": "signature"}}, "required": ["kind"]}, "then": {"required": ["offset"]}},
            {"if": {"properties": {"kind": {"const": "limit"}}, "required": ["kind"]}, "then": {"required": ["limit"]}},
        ],
    }


def report_result():
    """The result of the report's JSON forms: how the walk ended, its counts, and with
    --keep-going how many damages the walk went on past."""
    result = walk_status(
        "How the walk ended (complete, or at the error the text report's last line names), and how many fields are damaged (damagedFields: a rule the format states is broken; --check then exits with 2) or hold a value the program has no word for (unknownValues). With --keep-going, the error is the first damage the walk went on past, `damages` counts them, and `limit` says where the size limit ended the walk after them.",
        ("damagedFields", "unknownValues"))
    result["properties"]["kind"] = {"enum": ["bounds", "signature", "limit", "overlap"]}
    result["properties"]["overlaps"] = {"$ref": "#/$defs/count", "description": "An overlap: the offset of the section the one at `offset` runs into."}
    result["allOf"].append({"if": {"properties": {"kind": {"const": "overlap"}}, "required": ["kind"]}, "then": {"required": ["offset", "overlaps"]}, "else": {"not": {"required": ["overlaps"]}}})
    result["properties"]["damages"] = {"type": "integer", "minimum": 1, "description": "--keep-going: the damages the walk went on past (docs/keep-going.md); absent when there were none."}
    result["allOf"].append({"if": {"required": ["damages"]}, "then": {"properties": {"status": {"const": "error"}}}})
    return result


def damage(extra):
    """A damage the walk went on past (--keep-going), where it happened: its code, the header
    of the part of the file being walked, where the structure begins, and for a bounds damage
    the file's size: the members of the error the walk without the flag ends with."""
    props = {"damage": {"enum": ["bounds", "signature", "overlap"]}, "header": {"type": "string"},
             "offset": {"$ref": "#/$defs/count"}, "fileSize": {"$ref": "#/$defs/count"},
             "overlaps": {"$ref": "#/$defs/count"}}
    props.update(extra)
    return {"type": "object", "required": ["damage", "header", "offset"] + list(extra),
            "additionalProperties": False, "properties": props,
            "description": "--keep-going: a damage the walk went on past, where it happened (docs/keep-going.md).",
            "allOf": [{"if": {"properties": {"damage": {"const": "bounds"}}}, "then": {"required": ["fileSize"]},
                       "else": {"not": {"required": ["fileSize"]}}},
                      {"if": {"properties": {"damage": {"const": "overlap"}}}, "then": {"required": ["overlaps"]},
                       "else": {"not": {"required": ["overlaps"]}}}]}


def definitions():
    count = {"type": "integer", "minimum": 0, "maximum": 2**64 - 1}
    field_if = []
    for word, size in STORAGE.items():
        then = {"properties": {"size": {"const": size}}}
        if word == "ULONG":
            then["properties"]["value"] = {"if": {"type": "integer"}, "then": {"maximum": U32}}
        if word == "USHORT":
            then["properties"]["value"] = {"if": {"type": "integer"}, "then": {"maximum": 65535}}
        field_if.append({"if": {"properties": {"type": {"const": word}}}, "then": then})
    field_if.append({
        "if": {"properties": {"role": {"enum": ["signature", "text"]}}},
        "then": {"properties": {"value": {"type": "string"}}},
        "else": {"properties": {"value": {"type": "integer"}}}})
    defs = {
        "count": count,
        "field": {
            "type": "object",
            "description": "One field: where it lies, what it holds and what it is.",
            "required": ["name", "type", "offset", "size", "value", "role"],
            "additionalProperties": False,
            "properties": {
                "name": {"type": "string", "pattern": IDENTIFIER},
                "type": {"enum": list(STORAGE), "description": "The storage word of the bytes the field occupies: ULONG for 4 bytes, USHORT for 2, CHAR[N] for a text of N bytes."},
                "offset": {"$ref": "#/$defs/count", "description": "The field's first byte, from the start of the file."},
                "size": {"type": "integer", "minimum": 1, "maximum": 260},
                "value": {"description": "The stored value without sign, or a string for a signature or a text (the text as the `text` rule for texts says).",
                          "oneOf": [{"type": "integer", "minimum": 0, "maximum": U32}, {"type": "string"}]},
                "signed": {"type": "integer", "minimum": -2**31, "maximum": -1, "description": "Where the format reads the field as a signed number and that differs from `value`: the signed value."},
                "text": {"type": "string", "description": "The interpretation: a name from the string table, an enumeration's word, a type or register name. A text read from the file (here, a signature's or text's value) that is valid UTF-8 is that text; one that is not has one U+FFFD for each maximal invalid subsequence, as the WHATWG decoder and Python's errors=\"replace\" read it, and its exact bytes in `bytes`."},
                "error": {"enum": list(ERRORS), "description": "What is wrong with the value: " + "; ".join("%s: %s" % item for item in ERRORS.items()) + "."},
                "bytes": {"type": "string", "pattern": "^([0-9a-f]{2})+$", "description": "The exact bytes of a text of the file that is not valid UTF-8, in lower-case hexadecimal."},
                "role": {"enum": ROLES, "description": "What the field is: offset, count, size (in bytes), nameIndex (into the string table), typeIndex (a primitive type below 0x1000 or a type record), enum, signature, text (from the file), number (anything else)."},
                "target": {"type": "integer", "minimum": 0, "maximum": 2**34, "description": "The absolute offset the field leads to: where a followed offset points, or the type record a type index names."},
                "leads": {"enum": LEADS, "description": "What begins at the target: a block, the first element of a run or list (when not empty), an area, an array the walk reads, a name's text, a type record, or a section the selection leaves out."},
                "targetOutsideFile": {"const": True, "description": "The target lies outside the file."},
                "counts": {"type": "string", "minLength": 1, "description": "A count: the block word of the blocks it counts, or the list it counts, or what it counts that is not reported."},
                "counting": {"enum": ["run", "share", "unreported"], "description": "run: the number of those blocks or elements; share: this field's share of them; unreported: what it counts is not reported."},
                "entries": {"type": "integer", "minimum": 0, "maximum": U32, "description": "sizeRegVariables: how many register entries the size holds."},
            },
            "allOf": field_if + [
                {"not": {"required": ["text", "error"]}},
                {"dependentRequired": {"target": ["leads"], "leads": ["target"],
                                       "targetOutsideFile": ["target"], "counting": ["counts"],
                                       "counts": ["counting"]}},
            ],
        },
        "values": {
            "type": "object",
            "description": "Each of the block's own fields by name: its value.",
            "propertyNames": {"pattern": IDENTIFIER},
            "additionalProperties": {"oneOf": [{"type": "integer", "minimum": 0, "maximum": U32}, {"type": "string"}]},
        },
        "list": {
            "type": "object",
            "required": ["list", "offset", "elements"],
            "additionalProperties": False,
            "properties": {
                "list": {"enum": LISTS},
                "offset": {"$ref": "#/$defs/count", "description": "The first element's offset from the start of the file."},
                "elements": {"type": "array", "items": {"type": "array", "minItems": 1, "items": {"$ref": "#/$defs/field"}}},
            },
        },
        "result": report_result(),
        "database": {
            "type": "object",
            "required": ["name", "size"],
            "additionalProperties": False,
            "properties": {
                "name": {"type": "string", "description": "The database's name as given on the command line: the system's UTF-8 text (on Windows converted from UTF-16), written as it is; a byte of no valid UTF-8 sequence (possible on POSIX systems) reads as U+FFFD, one for each maximal invalid subsequence."},
                "size": {"$ref": "#/$defs/count"},
            },
        },
        "blockWord": {"enum": list(BLOCK_FIELDS)},
        "fieldsOfWord": {"allOf": [
            {"if": {"properties": {"block": {"const": word}}},
             "then": {"properties": {
                 "fields": {"allOf": [{"contains": {"type": "object", "properties": {"name": {"const": name}}, "required": ["name"]}} for name in names]},
                 "values": {"required": names}}}}
            for word, names in BLOCK_FIELDS.items() if names]},
    }
    return defs


def block_properties():
    return {
        "block": {"$ref": "#/$defs/blockWord"},
        "offset": {"$ref": "#/$defs/count"},
        "sectionEnd": {"type": "integer", "minimum": 0, "maximum": U32, "description": "Section titles: the section's offset plus its sectionLength, as a 32-bit sum."},
        "index": {"type": "integer", "minimum": 0, "maximum": U32, "description": "Directory entries: the entry's number."},
        "typeIndex": {"type": "integer", "minimum": 4096, "maximum": U32 + 4096, "description": "Type records: the type index the record defines (0x1000 + its number)."},
        "fields": {"type": "array", "items": {"oneOf": [{"$ref": "#/$defs/field"}, {"$ref": "#/$defs/list"}]}},
        "values": {"$ref": "#/$defs/values"},
    }


def unknown_block(extra):
    props = {"block": {"const": "UNKNOWN"}, "kind": {"type": "integer", "minimum": -2**31, "maximum": 2**31 - 1},
             "fields": {"type": "array", "maxItems": 0}, "values": {"type": "object", "maxProperties": 0}}
    props.update(extra)
    return {"type": "object", "required": ["block", "kind", "fields", "values"] + list(extra),
            "additionalProperties": False, "properties": props}


def document_schema():
    defs = definitions()
    props = block_properties()
    props["blocks"] = {"type": "array", "minItems": 1, "items": {"$ref": "#/$defs/block"}}
    defs["knownBlock"] = {"type": "object", "required": ["block", "offset", "fields", "values"],
                          "additionalProperties": False, "properties": props,
                          "allOf": [{"$ref": "#/$defs/fieldsOfWord"}]}
    defs["block"] = {"oneOf": [{"$ref": "#/$defs/knownBlock"}, unknown_block({}), damage({})]}
    return {
        "$schema": "https://json-schema.org/draft/2020-12/schema",
        "title": "symdeck report, JSON form, version 2",
        "description": "symdeck DATABASE.nms --json: the same blocks, in the same order, as the text report; each block with its fields (name, storage word, offset, size, value, role, and where it leads) and a map of its own fields' values. docs/json-version-2.md says what changed from version 1.",
        "type": "object",
        "required": ["format", "version", "database", "blocks", "result"],
        "additionalProperties": False,
        "properties": {
            "format": {"const": "symdeck-report"},
            "version": {"const": 2},
            "database": {"$ref": "#/$defs/database"},
            "blocks": {"type": "array", "items": {"$ref": "#/$defs/block"}},
            "result": {"$ref": "#/$defs/result"},
        },
        "$defs": defs,
    }


def lines_schema():
    defs = definitions()
    step = {"type": "object", "required": ["block", "offset"], "additionalProperties": False,
            "properties": {"block": {"$ref": "#/$defs/blockWord"}, "offset": {"$ref": "#/$defs/count"}}}
    path = {"type": "array", "items": step, "description": "The blocks this one nests in, outermost first."}
    props = block_properties()
    props["line"] = {"const": "block"}
    props["path"] = path
    block_line = {"type": "object", "required": ["line", "block", "offset", "path", "fields", "values"],
                  "additionalProperties": False, "properties": props,
                  "allOf": [{"$ref": "#/$defs/fieldsOfWord"}]}
    unknown = unknown_block({"line": {"const": "block"}, "path": {"type": "array", "maxItems": 0}})
    list_line = {"type": "object",
                 "required": ["line", "block", "offset", "list", "listOffset", "first", "elements"],
                 "additionalProperties": False,
                 "description": "More elements of the last list of the block line before: the block's word and offset, the list, and the index of its first element here.",
                 "properties": {"line": {"const": "list"}, "block": {"$ref": "#/$defs/blockWord"},
                                "offset": {"$ref": "#/$defs/count"}, "list": {"enum": LISTS},
                                "listOffset": {"$ref": "#/$defs/count"},
                                "first": {"type": "integer", "minimum": 1, "maximum": U32},
                                "elements": {"type": "array", "minItems": 1, "items": {"type": "array", "minItems": 1, "items": {"$ref": "#/$defs/field"}}}}}
    header = {"type": "object", "required": ["line", "format", "version", "database"],
              "additionalProperties": False,
              "properties": {"line": {"const": "header"}, "format": {"const": "symdeck-report-lines"},
                             "version": {"const": 2}, "database": {"$ref": "#/$defs/database"}}}
    result = {"type": "object", "required": ["line", "result"], "additionalProperties": False,
              "properties": {"line": {"const": "result"}, "result": {"$ref": "#/$defs/result"}}}
    return {
        "$schema": "https://json-schema.org/draft/2020-12/schema",
        "title": "symdeck report, JSON lines form, version 2",
        "description": "One line of symdeck DATABASE.nms --json-lines: a header line first, then one block line per block in the order of --json (parent before children), list lines that carry on the list of the block line before them, and a result line last. Every line is one JSON object with a `line` member naming its kind.",
        "oneOf": [header, block_line, unknown, list_line, damage({"line": {"const": "damage"}, "path": path}), result],
        "$defs": defs,
    }


# A step of a diff's identity, after its block word or list name: the type index a type
# record defines; a place in a run or list; or a key (a directory entry's kind, a segment's
# number) or a count among the siblings of that word, with the key's count after `#` where
# several share it.
IDENTITY_STEP = r"\[(0x[1-9A-F][0-9A-F]*|0|[1-9][0-9]*(#[1-9][0-9]*)?)\]"


def diff_lines_schema():
    shared = definitions()
    defs = {name: shared[name] for name in ("count", "database", "blockWord")}
    defs["walkStatus"] = walk_status("How the walk of that database ended: the result status of the report's JSON forms, without their counts.")
    defs["word"] = {"anyOf": [{"$ref": "#/$defs/blockWord"}, {"enum": LISTS}],
                    "description": "A block's word, or for a list and each of its elements the list's name."}
    defs["place"] = {"type": "object", "required": ["offset"], "additionalProperties": False,
                     "properties": {"offset": {"$ref": "#/$defs/count", "description": "Where the block, list or element begins in that database, from the start of the file."}}}
    value = {"oneOf": [{"type": "integer", "minimum": -2**31, "maximum": U32}, {"type": "string"}, {"type": "null"}],
             "description": "The field's value on that side: a number (negative where the format reads the field as a signed one), a string where the field reads as one (a name, a text, a signature), or null where that side has no such field."}
    words = list(BLOCK_FIELDS) + LISTS
    for word in words:
        if not all(c.isalnum() or c in "_ " for c in word):
            sys.exit("make_schemas: the word %r cannot stand in an identity's pattern as it is" % word)
    any_step = "(%s)%s" % ("|".join(words), IDENTITY_STEP)
    names = {"oneOf": [{"type": "string", "pattern": "^%s$" % any_step}, {"type": "null"}],
             "description": "For an offset that a top block only prints (the directory's offset of each kind's first section, a section's offsets of others): the top block it names on that side, or null where it names none the walk reports. Such offsets are compared by the blocks they name, so two of the same value differ where one names a block and the other none."}
    field = {"type": "object", "required": ["name", "old", "new"], "additionalProperties": False,
             "properties": {"name": {"type": "string", "pattern": IDENTIFIER}, "old": value, "new": value,
                            "oldNames": names, "newNames": names},
             "dependentRequired": {"oldNames": ["newNames"], "newNames": ["oldNames"]},
             "not": {"properties": {"old": {"type": "null"}, "new": {"type": "null"}}}}
    header = {"type": "object", "required": ["line", "format", "version", "old", "new"],
              "additionalProperties": False,
              "properties": {"line": {"const": "header"}, "format": {"const": "symdeck-diff-lines"},
                             "version": {"const": 1}, "old": {"$ref": "#/$defs/database"},
                             "new": {"$ref": "#/$defs/database"}}}
    sides = {"added": ({"type": "null"}, {"$ref": "#/$defs/place"}),
             "removed": ({"$ref": "#/$defs/place"}, {"type": "null"}),
             "changed": ({"$ref": "#/$defs/place"}, {"$ref": "#/$defs/place"})}
    change = {
        "type": "object",
        "description": "A block, list or list element added in NEW, removed from OLD, or changed: matched on both sides with fields that differ by meaning. An added or removed block is this one line: the blocks, lists and elements inside it are counted in its `inner`, not listed on lines of their own. A block that only moved (the same fields at another offset) has no line.",
        "required": ["line", "change", "block", "identity", "old", "new"],
        "additionalProperties": False,
        "properties": {
            "line": {"const": "change"},
            "change": {"enum": list(sides)},
            "block": {"$ref": "#/$defs/word"},
            "identity": {"type": "string", "pattern": "^(%s/)*%s$" % (any_step, any_step),
                         "description": "Where it stands, by what it is (in NEW, or in OLD for a removed one): the steps from the top to it, each a word and what tells it from its siblings (a type index, a place, a kind or number and its count among those), e.g. SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_PROCEDURE[3]. The last step's word is `block`."},
            "old": {"type": ["object", "null"], "description": "Where it is in OLD; null for an added one."},
            "new": {"type": ["object", "null"], "description": "Where it is in NEW; null for a removed one."},
            "inner": {"type": "object", "required": ["blocks", "elements"], "additionalProperties": False,
                      "properties": {"blocks": {"$ref": "#/$defs/count"}, "elements": {"$ref": "#/$defs/count"}},
                      "description": "An added or removed one's contents, at any depth: `blocks`, the blocks inside it; `elements`, the elements of every list in it (a list's own, for a list). Both 0 for a list's element."},
            "fields": {"type": "array", "minItems": 1, "items": field,
                       "description": "A changed one's fields that differ, matched by name: in OLD's order, then those only NEW has."},
        },
        "allOf": [{"if": {"properties": {"change": {"const": what}}},
                   "then": {"properties": {"old": old, "new": new}}}
                  for what, (old, new) in sides.items()] + [
            {"if": {"properties": {"change": {"const": "changed"}}},
             "then": {"required": ["fields"], "not": {"required": ["inner"]}},
             "else": {"required": ["inner"], "not": {"required": ["fields"]}}},
            {"allOf": [{"if": {"properties": {"block": {"const": word}}},
                        "then": {"properties": {"identity": {"pattern": "(^|/)%s%s$" % (word, IDENTITY_STEP)}}}}
                       for word in words]},
        ],
    }
    walked = {"type": "object", "required": ["walk"], "additionalProperties": False,
              "properties": {"walk": {"$ref": "#/$defs/walkStatus"}}}
    nothing = {"properties": {"added": {"const": 0}, "removed": {"const": 0}, "changed": {"const": 0}}}
    result = {
        "type": "object",
        "description": "The counts of the change lines by kind (an added or removed block counts once, with all it holds), how many matched blocks moved, and how each walk ended. `same`: nothing added, removed or changed (moves allowed); the exit status is then 0, else 1.",
        "required": ["line", "same", "added", "removed", "changed", "moved", "old", "new"],
        "additionalProperties": False,
        "properties": {"line": {"const": "result"}, "same": {"type": "boolean"},
                       "added": {"$ref": "#/$defs/count"}, "removed": {"$ref": "#/$defs/count"},
                       "changed": {"$ref": "#/$defs/count"}, "moved": {"$ref": "#/$defs/count"},
                       "old": walked, "new": walked},
        "if": {"properties": {"same": {"const": True}}}, "then": nothing, "else": {"not": nothing},
    }
    return {
        "$schema": "https://json-schema.org/draft/2020-12/schema",
        "title": "symdeck diff, JSON lines form, version 1",
        "description": "One line of symdeck --diff OLD.nms NEW.nms --json-lines: a header line first (the two databases), then one change line for each block, list or list element added, removed or changed from OLD to NEW, and a result line last. An added or removed block is one change line: what it holds is counted in its `inner`, not listed. Every line is one JSON object with a `line` member naming its kind.",
        "oneOf": [header, change, result],
        "$defs": defs,
    }


# A block's identity: its steps from the top, each a block word and what tells it from its
# siblings (IDENTITY_STEP), joined by '/'.
WORD_STEP = r"[A-Za-z_][A-Za-z0-9_ ]*"


def table_lines_schema():
    shared = definitions()
    defs = {name: shared[name] for name in ("count", "blockWord")}
    defs["rowWord"] = {"anyOf": [{"$ref": "#/$defs/blockWord"}, {"const": "UNKNOWN"}]}

    def nullable(schema):
        return {"anyOf": [schema, {"type": "null"}]}

    def nulls(*names):
        return {"properties": {name: {"type": "null"} for name in names}}

    field_columns = ["list_name", "list_element", "field_name", "field_type", "field_offset", "field_size",
                     "field_role", "value_number", "value_text", "target", "target_outside", "problem"]
    columns = {
        "database": {"type": "string", "description": "The database's name as given on the command line, as JSON's header gives it."},
        "block": {"$ref": "#/$defs/rowWord", "description": "The block's title word; UNKNOWN for a directory entry of a kind the program does not know."},
        "block_offset": nullable({"$ref": "#/$defs/count"}),
        "block_size": nullable({"$ref": "#/$defs/count"}),
        "block_path": nullable({"type": "string", "pattern": "^%s@[0-9]+(/%s@[0-9]+)*$" % (WORD_STEP, WORD_STEP),
                                "description": "The blocks this one nests in, outermost first, each its word and offset (WORD@OFFSET), joined by '/'; null for a top block."}),
        "identity": nullable({"type": "string", "pattern": "^%s%s(/%s%s)*$" % (WORD_STEP, IDENTITY_STEP, WORD_STEP, IDENTITY_STEP),
                              "description": "The block's identity, as --diff names it."}),
        "list_name": nullable({"enum": LISTS, "description": "A row of a list: the list's name."}),
        "list_element": nullable({"type": "integer", "minimum": 0, "maximum": U32, "description": "A row of a list: the element's number in its list."}),
        "field_name": nullable({"type": "string", "pattern": IDENTIFIER}),
        "field_type": nullable({"enum": list(STORAGE)}),
        "field_offset": nullable({"$ref": "#/$defs/count"}),
        "field_size": nullable({"type": "integer", "minimum": 1, "maximum": 260}),
        "field_role": nullable({"enum": ROLES}),
        "value_number": nullable({"type": "integer", "minimum": -2**31, "maximum": U32, "description": "The stored number without sign (null for a signature or a text); an UNKNOWN row: the entry's kind."}),
        "value_text": nullable({"type": "string", "description": "A signature's or text's value, or the interpretation (a name, an enumeration's word, a type or register name)."}),
        "target": nullable({"type": "integer", "minimum": 0, "maximum": 2**34}),
        "target_outside": nullable({"type": "boolean", "description": "Whether the target lies outside the file; null without a target."}),
        "problem": nullable({"enum": list(ERRORS)}),
    }
    return {
        "$schema": "https://json-schema.org/draft/2020-12/schema",
        "title": "symdeck table form, JSON rows",
        "description": "One line of symdeck DATABASE.nms --table --json-lines: one row per field, every row the same members in the same order (null where a column has no value); a block without fields has one row with its field columns null. docs/table.md describes the columns.",
        "type": "object",
        "required": list(columns),
        "additionalProperties": False,
        "properties": columns,
        "allOf": [
            {"if": nulls("field_name"),
             "then": nulls(*[c for c in field_columns if c not in ("value_number", "problem")]),
             "else": {"properties": {c: {"not": {"type": "null"}} for c in ("field_type", "field_offset", "field_size", "field_role")}}},
            {"if": {"properties": {"field_name": {"type": "null"}, "block": {"not": {"const": "UNKNOWN"}}}},
             "then": nulls("value_number", "problem")},
            {"if": nulls("list_name"), "then": nulls("list_element"), "else": {"properties": {"list_element": {"type": "integer"}}}},
            {"if": nulls("target"), "then": nulls("target_outside"), "else": {"properties": {"target_outside": {"type": "boolean"}}}},
            {"if": {"properties": {"field_role": {"enum": ["signature", "text"]}}, "required": ["field_role"]},
             "then": {"properties": {"value_number": {"type": "null"}, "value_text": {"type": "string"}}}},
            {"if": {"properties": {"block": {"const": "UNKNOWN"}}},
             "then": nulls(*["block_offset", "block_size", "block_path", "identity"] + [c for c in field_columns if c not in ("value_number", "problem")]),
             "else": {"properties": {c: {"not": {"type": "null"}} for c in ("block_offset", "block_size", "identity")}}},
        ],
        "$defs": defs,
    }


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: tools/make_schemas.py DOCS_DIR STRUCTURES.json (from make_structures)")
    docs = sys.argv[1]
    read_described(sys.argv[2])
    for name, schema in (("symdeck-report.schema.json", document_schema()),
                         ("symdeck-report-lines.schema.json", lines_schema()),
                         ("symdeck-diff-lines.schema.json", diff_lines_schema()),
                         ("symdeck-table-lines.schema.json", table_lines_schema())):
        with open(os.path.join(docs, name), "w") as f:
            json.dump(schema, f, indent=1)
            f.write("\n")


if __name__ == "__main__":
    main()

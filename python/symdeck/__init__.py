"""NMS symbol databases as symdeck reads them.

    import symdeck
    db = symdeck.open("app.nms")              # or bytes; sections="+symd", "-nmtp -gtyp"
    db.name, db.size, db.result               # result: JSON 2's result object
    for block in db.blocks():                 # the block lines of --json-lines, in order
        block.title, block.offset, block.size, block.path, block.identity, block.values
        for field in block.fields:
            field.name, field.type, field.offset, field.size, field.value, field.role
    db.block_at(0x64B)                        # the innermost block whose fields hold the byte
    db.explain(0x64B)                         # --explain --json's answer for the byte
    db.report("text")                         # the program's output, as bytes
"""

import builtins
import json
import os

from . import _native
from ._native import Block, Field, List

__all__ = ["open", "Database", "Block", "Field", "List", "Error", "left_out"]


class Error(OSError):
    """A database that cannot be read: the program's message and the system's reason
    (`filename` and `strerror` hold the path and the reason)."""

    def __str__(self):
        return self.args[0] if self.args else super().__str__()


# The kinds of section by their command-line word, each with its entry index in the
# directory: the library leaves out the kind whose bit 1 << index is set.
_SECTION_KINDS = {"gtyp": 1, "sttb": 2, "nmtp": 3, "tytb": 4, "hsht": 5, "symd": 6, "srcp": 7, "fpod": 8}

# The forms report() writes, with the library's numbers for them.
_FORMS = {"text": 0, "json": 1, "json-lines": 2}
_EXPLAIN_JSON = 4


def left_out(sections):
    """The library's left_out bits for the command line's section words, in any order and
    case: "+nm32" reports only the file header and the directory, "+kind" only the kinds
    named so, and "-kind" leaves a kind out where no word begins with "+"."""
    if sections is None:
        return 0
    if not isinstance(sections, str):
        raise TypeError("sections must be a str of words such as \"+symd\" or \"-nmtp -gtyp\"")
    plus, minus = set(), set()
    only_header = False
    for word in sections.lower().split():
        sign, kind = word[:1], word[1:]
        if word == "+nm32":
            only_header = True
        elif sign in "+-" and kind in _SECTION_KINDS:
            (plus if sign == "+" else minus).add(kind)
        else:
            raise ValueError(f"{word!r} is no section word (+nm32, or +KIND / -KIND for "
                             f"{', '.join(k.upper() for k in _SECTION_KINDS)})")
    if only_header or plus:
        kept = plus
    else:
        kept = set(_SECTION_KINDS) - minus
    return sum(1 << index for kind, index in _SECTION_KINDS.items() if kind not in kept)


class Database:
    """An open database: its blocks, their fields and its reports. Its bytes are read when
    it opens; the library's handle (one walk that maps the blocks) is made when blocks, the
    result or what holds a byte are first asked for, so that report() alone walks once."""

    __slots__ = ("_data", "_left_out", "_name", "_handle")

    def __init__(self, data, left_out, name):
        self._data = data
        self._left_out = left_out
        self._name = name
        self._handle = None

    @property
    def _db(self):
        if self._handle is None:
            self._handle = _native.open_bytes(self._data, self._left_out, self._name)
        return self._handle

    @property
    def name(self):
        """The database's name in the JSON forms."""
        return self._name

    @property
    def size(self):
        """Its size in bytes."""
        return len(self._data)

    @property
    def result(self):
        """How the walk ended: JSON 2's result object, as a dict."""
        return self._db.result

    @property
    def block_count(self):
        """How many blocks blocks() yields."""
        return self._db.block_count

    def blocks(self):
        """The blocks, exactly the block lines of --json-lines, in their order; each is
        made as the iteration reaches it."""
        return self._db.blocks()

    def block(self, index):
        """Block number `index` (from 0, in the order of blocks())."""
        return self._db.block(index)

    def block_at(self, offset):
        """The innermost block whose own fields (or its lists' rows) hold byte `offset`,
        or None."""
        return self._db.block_at(offset)

    def report(self, form="text"):
        """The program's output in `form` ("text", "json" or "json-lines"), as bytes."""
        if not isinstance(form, str):
            raise TypeError("form must be a str")
        if form not in _FORMS:
            raise ValueError(f"no form {form!r}: one of {', '.join(_FORMS)}")
        if self._handle is not None:
            return self._handle.render(_FORMS[form], ())
        return _native.render(self._data, _FORMS[form], self._left_out, self._name, ())

    def explain(self, offset):
        """What holds byte `offset`: the answer object of --explain --json for it."""
        if not isinstance(offset, int) or isinstance(offset, bool):
            raise TypeError("offset must be an int")
        if offset < 0 or offset >= 1 << 64:
            raise ValueError("offset must lie in 0 .. 2**64 - 1")
        return json.loads(self._db.render(_EXPLAIN_JSON, (offset,)))[0]

    def __repr__(self):
        return f"<symdeck.Database {self.name!r}, {self.size} bytes>"


def open(source, sections=None, *, name=None):
    """Opens a database: `source` a path (str or os.PathLike) or its bytes (bytes,
    bytearray, memoryview). `sections` as the command line's words ("+symd", "-nmtp
    -gtyp"). `name` is the database's name in the JSON forms: the path by default, "" for
    bytes. A path that cannot be read raises symdeck.Error; any bytes open, and the
    database's result says where the walk stopped."""
    bits = left_out(sections)
    if name is not None and not isinstance(name, str):
        raise TypeError("name must be a str")
    if isinstance(source, (bytes, bytearray, memoryview)):
        return Database(bytes(source), bits, "" if name is None else name)
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        shown = os.fsdecode(path)
        try:
            with builtins.open(path, "rb") as file:
                data = file.read()
        except OSError as failure:
            error = Error(f"Can't open nms file ({shown}). {failure.strerror}")
            error.filename = shown
            error.strerror = failure.strerror
            raise error from None
        return Database(data, bits, shown if name is None else name)
    raise TypeError(f"open takes a path or bytes, not {type(source).__name__}")

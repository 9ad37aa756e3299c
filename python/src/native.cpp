// symdeck._native: the open database of libsymdeck's handle interface (include/symdeck.h) as
// Python objects. The blocks come from symdeck_walk_blocks in chunks: a chunk keeps the native
// records of its blocks' fields (their strings copied, since the walk's pointers last only
// during its call), and a Block or Field object is made only when the caller asks for it, as
// a small object that reads its record. The words of the program's vocabulary (field names,
// storage words, roles, ...) are made into Python strings once per database.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "symdeck.h"

namespace {

// A chunk holds this many blocks at most, and no more blocks than keep its field rows within
// kChunkRows (one block has all its rows, however many): enough to keep the calls few,
// little enough to keep memory flat.
constexpr uint64_t kChunkBlocks = 4096;
constexpr size_t kChunkRows = 1 << 16;

// ---------------------------------------------------------------------------------------
// The database

// The program's words as Python strings, looked up by where the library keeps them and
// checked against their bytes (a pointer the library reuses for other bytes is looked up
// again). A small table by address answers most lookups before the map.
struct Vocabulary {
    static constexpr size_t kShortWord = 32;
    static constexpr size_t kSlots = 512;
    struct Slot {
        const void* at = nullptr;
        size_t size = 0;
        char bytes[kShortWord];
        PyObject* word = nullptr;
    };
    Slot slots[kSlots];
    std::unordered_map<std::string, PyObject*> byText;

    // The result is borrowed: the vocabulary holds it.
    PyObject* word(const char* data, size_t size) {
        Slot& slot = slots[(reinterpret_cast<uintptr_t>(data) >> 3) % kSlots];
        if (slot.at == data && slot.size == size && std::memcmp(slot.bytes, data, size) == 0) return slot.word;
        PyObject*& known = byText[std::string(data, size)];
        if (!known) {
            known = PyUnicode_DecodeUTF8(data, static_cast<Py_ssize_t>(size), "replace");
            if (!known) return nullptr;
            PyUnicode_InternInPlace(&known);
        }
        if (size <= kShortWord) {
            slot.at = data;
            slot.size = size;
            std::memcpy(slot.bytes, data, size);
            slot.word = known;
        }
        return known;
    }
    void clear() {
        for (auto& [text, word] : byText) Py_XDECREF(word);
        byText.clear();
    }
};

struct Database {
    PyObject_HEAD
    symdeck_db* db;
    PyObject* data;  // the bytes the handle reads, when the caller gave them
    PyObject* name;
    uint64_t size;
    uint64_t count;
    Vocabulary* vocabulary;
};

extern PyTypeObject DatabaseType;
extern PyTypeObject ChunkType;
extern PyTypeObject BlockType;
extern PyTypeObject FieldType;
extern PyTypeObject BlockIteratorType;
PyTypeObject* ListType;  // a struct sequence (name, offset, elements), made at import

// A negative result of the library as a Python exception.
PyObject* failure(int32_t code) {
    if (code == SYMDECK_NO_MEMORY) return PyErr_NoMemory();
    PyErr_SetString(PyExc_RuntimeError, symdeck_error_message(code));
    return nullptr;
}

PyObject* newDatabase(symdeck_db* handle, PyObject* data, PyObject* name, uint64_t size) {
    auto* self = PyObject_New(Database, &DatabaseType);
    if (!self) {
        symdeck_close(handle);
        return nullptr;
    }
    self->db = handle;
    Py_XINCREF(data);
    self->data = data;
    Py_INCREF(name);
    self->name = name;
    self->size = size;
    self->count = symdeck_block_count(handle);
    self->vocabulary = new (std::nothrow) Vocabulary;
    if (!self->vocabulary) {
        Py_DECREF(self);
        return PyErr_NoMemory();
    }
    return reinterpret_cast<PyObject*>(self);
}

void Database_dealloc(Database* self) {
    symdeck_close(self->db);
    if (self->vocabulary) {
        self->vocabulary->clear();
        delete self->vocabulary;
    }
    Py_XDECREF(self->data);
    Py_XDECREF(self->name);
    PyObject_Free(self);
}

// open_bytes(data: bytes, left_out: int, name: str) -> Database
PyObject* open_bytes(PyObject*, PyObject* args) {
    PyObject* data;
    unsigned int leftOut;
    PyObject* name;
    if (!PyArg_ParseTuple(args, "O!IU", &PyBytes_Type, &data, &leftOut, &name)) return nullptr;
    Py_ssize_t nameSize;
    const char* nameText = PyUnicode_AsUTF8AndSize(name, &nameSize);
    if (!nameText) return nullptr;
    const auto* bytes = reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(data));
    const auto size = static_cast<size_t>(PyBytes_GET_SIZE(data));
    symdeck_db* handle = nullptr;
    int32_t code;
    Py_BEGIN_ALLOW_THREADS
    code = symdeck_open(bytes, size, leftOut, nameText, static_cast<size_t>(nameSize), &handle);
    Py_END_ALLOW_THREADS
    if (code < 0) return failure(code);
    return newDatabase(handle, data, name, size);
}

PyObject* Database_name(Database* self, void*) {
    Py_INCREF(self->name);
    return self->name;
}

PyObject* Database_size(Database* self, void*) { return PyLong_FromUnsignedLongLong(self->size); }

PyObject* Database_count(Database* self, void*) { return PyLong_FromUnsignedLongLong(self->count); }

// The walk's end as JSON 2's "result" object, its members in the document's order.
PyObject* Database_result(Database* self, void*) {
    symdeck_result r{};
    symdeck_db_result(self->db, &r);
    PyObject* dict = PyDict_New();
    if (!dict) return nullptr;
    const auto put = [&](const char* key, PyObject* value) {
        if (!value) return false;
        const int status = PyDict_SetItemString(dict, key, value);
        Py_DECREF(value);
        return status == 0;
    };
    bool ok = true;
    if (r.end == SYMDECK_END_COMPLETE) {
        ok = put("status", PyUnicode_FromString("complete"));
    } else {
        const char* kind = r.end == SYMDECK_END_BOUNDS ? "bounds" : r.end == SYMDECK_END_SIGNATURE ? "signature" : "limit";
        ok = put("status", PyUnicode_FromString("error")) && put("kind", PyUnicode_FromString(kind)) &&
             put("header", PyUnicode_DecodeUTF8(r.header, static_cast<Py_ssize_t>(r.header_size), "replace"));
        if (ok && r.end == SYMDECK_END_BOUNDS)
            ok = put("offset", PyLong_FromUnsignedLongLong(r.offset)) &&
                 put("fileSize", PyLong_FromUnsignedLongLong(r.number));
        else if (ok && r.end == SYMDECK_END_SIGNATURE)
            ok = put("offset", PyLong_FromUnsignedLongLong(r.offset));
        else if (ok)
            ok = put("limit", PyLong_FromUnsignedLongLong(r.number));
    }
    ok = ok && put("damagedFields", PyLong_FromUnsignedLongLong(r.damaged_fields)) &&
         put("unknownValues", PyLong_FromUnsignedLongLong(r.unknown_values));
    if (!ok) {
        Py_DECREF(dict);
        return nullptr;
    }
    return dict;
}

// render(form: int, offsets: tuple of int) -> bytes: the output of one form, whole.
struct Output {
    PyObject* bytes = nullptr;
    size_t used = 0;
};

int collect(void* context, const uint8_t* data, size_t size) {
    auto* out = static_cast<Output*>(context);
    const auto capacity = static_cast<size_t>(PyBytes_GET_SIZE(out->bytes));
    if (capacity - out->used < size) {
        size_t grown = capacity * 2;
        while (grown - out->used < size) grown *= 2;
        // A large bytes object grows in place where the system can move its pages.
        if (_PyBytes_Resize(&out->bytes, static_cast<Py_ssize_t>(grown)) != 0) return 0;
    }
    std::memcpy(PyBytes_AS_STRING(out->bytes) + out->used, data, size);
    out->used += size;
    return 1;
}

// The offsets of a tuple of ints.
bool offsetsOf(PyObject* tuple, std::vector<uint64_t>& offsets) {
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(tuple); ++i) {
        const unsigned long long offset = PyLong_AsUnsignedLongLong(PyTuple_GET_ITEM(tuple, i));
        if (offset == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
        offsets.push_back(offset);
    }
    return true;
}

// The whole output of `render(write, context)` as bytes.
template <class Render>
PyObject* collected(Render&& render) {
    Output out;
    out.bytes = PyBytes_FromStringAndSize(nullptr, 1 << 16);
    if (!out.bytes) return nullptr;
    const int32_t code = render(collect, &out);
    if (code < 0) {
        Py_XDECREF(out.bytes);
        if (code == SYMDECK_STOPPED_BY_HOST && PyErr_Occurred()) return nullptr;
        return failure(code);
    }
    if (_PyBytes_Resize(&out.bytes, static_cast<Py_ssize_t>(out.used)) != 0) return nullptr;
    return out.bytes;
}

// Database.render(form: int, offsets: tuple of int) -> bytes, through the handle (the
// explain forms walk only what holds the offsets).
PyObject* Database_render(Database* self, PyObject* args) {
    unsigned int form;
    PyObject* offsetList;
    if (!PyArg_ParseTuple(args, "IO!", &form, &PyTuple_Type, &offsetList)) return nullptr;
    std::vector<uint64_t> offsets;
    if (!offsetsOf(offsetList, offsets)) return nullptr;
    return collected([&](symdeck_write_fn write, void* context) {
        return symdeck_db_render(self->db, form, offsets.data(), offsets.size(), write, context);
    });
}

// render(data: bytes, form: int, left_out: int, name: str, offsets: tuple of int) -> bytes:
// one walk of the bytes, with no handle opened.
PyObject* render(PyObject*, PyObject* args) {
    PyObject* data;
    unsigned int form;
    unsigned int leftOut;
    PyObject* name;
    PyObject* offsetList;
    if (!PyArg_ParseTuple(args, "O!IIUO!", &PyBytes_Type, &data, &form, &leftOut, &name, &PyTuple_Type, &offsetList))
        return nullptr;
    Py_ssize_t nameSize;
    const char* nameText = PyUnicode_AsUTF8AndSize(name, &nameSize);
    if (!nameText) return nullptr;
    std::vector<uint64_t> offsets;
    if (!offsetsOf(offsetList, offsets)) return nullptr;
    return collected([&](symdeck_write_fn write, void* context) {
        return symdeck_render_to(reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(data)),
                                 static_cast<size_t>(PyBytes_GET_SIZE(data)), form, leftOut, nameText,
                                 static_cast<size_t>(nameSize), offsets.data(), offsets.size(), write, context);
    });
}

// ---------------------------------------------------------------------------------------
// Chunks: the native records of a run of blocks

// A string the chunk copied: `size` bytes from `at` in its text, or none.
struct Span {
    uint32_t at = 0;
    uint32_t size = 0;
    bool has = false;
};

struct FieldRecord {
    PyObject* name;  // the vocabulary's words (borrowed: the database holds them)
    PyObject* type;
    PyObject* role;
    PyObject* leads;    // or null
    PyObject* problem;  // or null
    PyObject* list;     // a list's row: the list's name; else null
    uint64_t offset;
    uint64_t size;
    int64_t number;
    uint64_t target;
    Span text;  // a text's value
    Span bytes;
    Span word;
    Span spelling;
    uint32_t element;
    bool isText;
    bool hasTarget;
    bool outside;
};

struct BlockRecord {
    uint64_t index;
    symdeck_block block;  // its strings live as long as the handle
    size_t firstField;
    size_t ownFields;  // its own fields come first, then its lists' rows
    size_t fieldCount;
};

struct Chunk {
    PyObject_HEAD
    Database* owner;
    std::vector<BlockRecord>* blocks;
    std::vector<FieldRecord>* fields;
    std::string* text;
};

void Chunk_dealloc(Chunk* self) {
    delete self->blocks;
    delete self->fields;
    delete self->text;
    Py_XDECREF(self->owner);
    PyObject_Free(self);
}

struct Filling {
    Chunk* chunk;
    Vocabulary* vocabulary;
    bool failed = false;
};

Span keep(std::string& text, const void* data, size_t size, bool has = true) {
    Span span;
    span.has = has && (data != nullptr || size == 0);
    if (!span.has) return span;
    span.at = static_cast<uint32_t>(text.size());
    span.size = static_cast<uint32_t>(size);
    text.append(static_cast<const char*>(data), size);
    return span;
}

int fillRecords(Filling* filling, uint64_t index, const symdeck_block* block, const symdeck_field* fields, size_t count) {
    Chunk* chunk = filling->chunk;
    Vocabulary& words = *filling->vocabulary;
    BlockRecord record{index, *block, chunk->fields->size(), 0, count};
    const auto word = [&](const char* data, size_t size) -> PyObject* {
        if (!data) return nullptr;
        PyObject* w = words.word(data, size);
        if (!w) filling->failed = true;
        return w;
    };
    std::string& text = *chunk->text;
    for (size_t i = 0; i < count; ++i) {
        const symdeck_field& f = fields[i];
        FieldRecord r{};
        r.name = word(f.name, f.name_size);
        r.type = word(f.type, f.type_size);
        r.role = word(f.role, f.role_size);
        r.leads = word(f.leads, f.leads_size);
        r.problem = word(f.problem, f.problem_size);
        r.list = word(f.list, f.list_size);
        if (filling->failed) return 0;
        r.offset = f.offset;
        r.size = f.size;
        r.number = f.number;
        r.target = f.target;
        r.isText = f.is_text != 0;
        r.hasTarget = f.has_target != 0;
        r.outside = f.target_outside != 0;
        r.element = f.element;
        if (r.isText) {
            r.text = keep(text, f.text, f.text_size);
            r.bytes = keep(text, f.bytes, f.bytes_size);
        }
        r.word = keep(text, f.word, f.word_size, f.word != nullptr);
        r.spelling = keep(text, f.spelling, f.spelling_size);
        if (!f.list) ++record.ownFields;
        chunk->fields->push_back(r);
    }
    chunk->blocks->push_back(record);
    return 1;
}

// No exception goes back into the library: memory that cannot be had stops the walk.
int fill(void* context, uint64_t index, const symdeck_block* block, const symdeck_field* fields, size_t count) {
    auto* filling = static_cast<Filling*>(context);
    try {
        return fillRecords(filling, index, block, fields, count);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        filling->failed = true;
        return 0;
    }
}

// How many blocks from `first` on (at most `most`) a chunk takes: up to kChunkRows field
// rows, and at least one block. `rows` gets their rows.
uint64_t chunkBlocks(const Database* db, uint64_t first, uint64_t most, size_t& rows) {
    uint64_t n = 0;
    rows = 0;
    symdeck_block block;
    while (n < most && first + n < db->count && symdeck_block_get(db->db, first + n, &block) == 0) {
        if (n > 0 && rows + block.field_count > kChunkRows) break;
        rows += static_cast<size_t>(block.field_count);
        ++n;
    }
    return n;
}

// The blocks from `first` on, as many as a chunk takes (at least one where there is one),
// into `reuse` when it is given (a chunk nothing else holds: its memory is had already), or
// into a new chunk.
Chunk* fetchChunk(Database* db, uint64_t first, uint64_t most, Chunk* reuse = nullptr) {
    Chunk* chunk = reuse;
    if (chunk) {
        chunk->blocks->clear();
        chunk->fields->clear();
        chunk->text->clear();
    } else {
        chunk = PyObject_New(Chunk, &ChunkType);
        if (!chunk) return nullptr;
        Py_INCREF(db);
        chunk->owner = db;
        chunk->blocks = new (std::nothrow) std::vector<BlockRecord>;
        chunk->fields = new (std::nothrow) std::vector<FieldRecord>;
        chunk->text = new (std::nothrow) std::string;
        if (!chunk->blocks || !chunk->fields || !chunk->text) {
            Py_DECREF(chunk);
            PyErr_NoMemory();
            return nullptr;
        }
    }
    size_t rows = 0;
    const uint64_t count = chunkBlocks(db, first, most, rows);
    try {
        chunk->blocks->reserve(count);
        chunk->fields->reserve(rows);
        chunk->text->reserve(rows * 12);
    } catch (const std::bad_alloc&) {
        Py_DECREF(chunk);
        PyErr_NoMemory();
        return nullptr;
    }
    Filling filling{chunk, db->vocabulary};
    const int32_t code = symdeck_walk_blocks(db->db, first, count, fill, &filling);
    if (filling.failed || code < 0) {
        Py_DECREF(chunk);
        if (!filling.failed) failure(code);
        return nullptr;
    }
    return chunk;
}

// ---------------------------------------------------------------------------------------
// Fields

struct Field {
    PyObject_HEAD
    Chunk* chunk;
    const FieldRecord* record;
};

PyObject* newField(Chunk* chunk, const FieldRecord* record) {
    auto* field = PyObject_New(Field, &FieldType);
    if (!field) return nullptr;
    Py_INCREF(chunk);
    field->chunk = chunk;
    field->record = record;
    return reinterpret_cast<PyObject*>(field);
}

void Field_dealloc(Field* self) {
    Py_DECREF(self->chunk);
    PyObject_Free(self);
}

PyObject* word(PyObject* w) {
    if (!w) Py_RETURN_NONE;
    Py_INCREF(w);
    return w;
}

PyObject* textOf(const Chunk* chunk, const Span& span) {
    if (!span.has) Py_RETURN_NONE;
    return PyUnicode_DecodeUTF8(chunk->text->data() + span.at, span.size, "replace");
}

PyObject* Field_name(Field* self, void*) { return word(self->record->name); }
PyObject* Field_type(Field* self, void*) { return word(self->record->type); }
PyObject* Field_role(Field* self, void*) { return word(self->record->role); }
PyObject* Field_leads(Field* self, void*) { return word(self->record->leads); }
PyObject* Field_problem(Field* self, void*) { return word(self->record->problem); }
PyObject* Field_list(Field* self, void*) { return word(self->record->list); }
PyObject* Field_offset(Field* self, void*) { return PyLong_FromUnsignedLongLong(self->record->offset); }
PyObject* Field_size(Field* self, void*) { return PyLong_FromUnsignedLongLong(self->record->size); }

// A number as the line's "value" gives it: its bits without sign (the library gives the
// signed reading where the format reads the field signed).
uint64_t unsignedValue(const FieldRecord& f) {
    if (f.number >= 0 || f.size >= 8) return static_cast<uint64_t>(f.number);
    return static_cast<uint64_t>(f.number) & ((uint64_t{1} << (8 * f.size)) - 1);
}

PyObject* valueOf(const Chunk* chunk, const FieldRecord& f) {
    if (f.isText) return textOf(chunk, f.text);
    return PyLong_FromUnsignedLongLong(unsignedValue(f));
}

PyObject* Field_value(Field* self, void*) { return valueOf(self->chunk, *self->record); }

// The signed reading where the format reads the field signed and it is below 0 (the line's
// "signed"), else None.
PyObject* Field_signed(Field* self, void*) {
    if (self->record->isText || self->record->number >= 0) Py_RETURN_NONE;
    return PyLong_FromLongLong(self->record->number);
}

PyObject* Field_bytes(Field* self, void*) {
    const Span& span = self->record->bytes;
    if (!self->record->isText || !span.has) Py_RETURN_NONE;
    return PyBytes_FromStringAndSize(self->chunk->text->data() + span.at, span.size);
}

PyObject* Field_target(Field* self, void*) {
    if (!self->record->hasTarget) Py_RETURN_NONE;
    return PyLong_FromUnsignedLongLong(self->record->target);
}

PyObject* Field_target_outside(Field* self, void*) { return PyBool_FromLong(self->record->outside); }
PyObject* Field_word(Field* self, void*) { return textOf(self->chunk, self->record->word); }
PyObject* Field_text(Field* self, void*) { return textOf(self->chunk, self->record->spelling); }

PyObject* Field_element(Field* self, void*) {
    if (!self->record->list) Py_RETURN_NONE;
    return PyLong_FromUnsignedLong(self->record->element);
}

PyObject* Field_repr(Field* self) {
    PyObject* value = Field_value(self, nullptr);
    if (!value) return nullptr;
    char at[24];
    std::snprintf(at, sizeof at, "0x%llX", static_cast<unsigned long long>(self->record->offset));
    PyObject* repr = PyUnicode_FromFormat("<symdeck.Field %U %U at %s: %R>", self->record->type, self->record->name, at, value);
    Py_DECREF(value);
    return repr;
}

PyGetSetDef kFieldMembers[] = {
    {"name", reinterpret_cast<getter>(Field_name), nullptr, "the field's name", nullptr},
    {"type", reinterpret_cast<getter>(Field_type), nullptr, "the storage word: ULONG, USHORT, CHAR[0x104], ...", nullptr},
    {"offset", reinterpret_cast<getter>(Field_offset), nullptr, "its first byte, from the start of the file", nullptr},
    {"size", reinterpret_cast<getter>(Field_size), nullptr, "its size in bytes", nullptr},
    {"value", reinterpret_cast<getter>(Field_value), nullptr, "the number, or a signature's or text's string", nullptr},
    {"signed", reinterpret_cast<getter>(Field_signed), nullptr, "the signed reading where the format reads it signed and it is below 0, else None", nullptr},
    {"role", reinterpret_cast<getter>(Field_role), nullptr, "offset, count, size, nameIndex, typeIndex, enum, signature, text or number", nullptr},
    {"target", reinterpret_cast<getter>(Field_target), nullptr, "the offset it leads to, or None", nullptr},
    {"target_outside", reinterpret_cast<getter>(Field_target_outside), nullptr, "the target lies outside the file", nullptr},
    {"leads", reinterpret_cast<getter>(Field_leads), nullptr, "what the target is, or None", nullptr},
    {"text", reinterpret_cast<getter>(Field_text), nullptr, "the text report's spelling of the value", nullptr},
    {"word", reinterpret_cast<getter>(Field_word), nullptr, "what the value means (a name, a word), or None", nullptr},
    {"bytes", reinterpret_cast<getter>(Field_bytes), nullptr, "a text's bytes as stored in the file, else None", nullptr},
    {"problem", reinterpret_cast<getter>(Field_problem), nullptr, "the problem's code, or None", nullptr},
    {"list", reinterpret_cast<getter>(Field_list), nullptr, "a list's row: the list's name, else None", nullptr},
    {"element", reinterpret_cast<getter>(Field_element), nullptr, "a list's row: its element's index, else None", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr}};

// ---------------------------------------------------------------------------------------
// Blocks

struct Block {
    PyObject_HEAD
    Database* owner;
    uint64_t index;
    symdeck_block block;
    Chunk* chunk;  // the chunk that holds its fields, once asked for
    size_t slot;
};

PyObject* newBlock(Database* owner, uint64_t index, const symdeck_block& block, Chunk* chunk, size_t slot) {
    auto* self = PyObject_New(Block, &BlockType);
    if (!self) return nullptr;
    Py_INCREF(owner);
    self->owner = owner;
    self->index = index;
    self->block = block;
    Py_XINCREF(chunk);
    self->chunk = chunk;
    self->slot = slot;
    return reinterpret_cast<PyObject*>(self);
}

// Block `index` of the database, its fields fetched when asked for.
PyObject* blockAt(Database* owner, uint64_t index) {
    symdeck_block block;
    const int32_t code = symdeck_block_get(owner->db, index, &block);
    if (code < 0) return failure(code);
    return newBlock(owner, index, block, nullptr, 0);
}

void Block_dealloc(Block* self) {
    Py_XDECREF(self->chunk);
    Py_DECREF(self->owner);
    PyObject_Free(self);
}

const BlockRecord* recordOf(Block* self) {
    if (!self->chunk) {
        self->chunk = fetchChunk(self->owner, self->index, 1);
        if (!self->chunk) return nullptr;
        self->slot = 0;
        if (self->chunk->blocks->empty() || self->chunk->blocks->front().index != self->index) {
            Py_CLEAR(self->chunk);
            PyErr_SetString(PyExc_RuntimeError, "the block's fields could not be walked");
            return nullptr;
        }
    }
    return &(*self->chunk->blocks)[self->slot];
}

PyObject* Block_title(Block* self, void*) {
    PyObject* title = self->owner->vocabulary->word(self->block.title, self->block.title_size);
    return title ? word(title) : nullptr;
}
PyObject* Block_offset(Block* self, void*) { return PyLong_FromUnsignedLongLong(self->block.offset); }
PyObject* Block_size(Block* self, void*) { return PyLong_FromUnsignedLongLong(self->block.size); }
PyObject* Block_index(Block* self, void*) { return PyLong_FromUnsignedLongLong(self->index); }
PyObject* Block_depth(Block* self, void*) { return PyLong_FromUnsignedLong(self->block.depth); }

PyObject* Block_place(Block* self, void*) {
    if (self->block.place == SYMDECK_NO_PLACE) Py_RETURN_NONE;
    return PyLong_FromUnsignedLong(self->block.place);
}

PyObject* Block_identity(Block* self, void*) {
    return PyUnicode_DecodeUTF8(self->block.identity, static_cast<Py_ssize_t>(self->block.identity_size), "replace");
}

PyObject* Block_parent(Block* self, void*) {
    if (self->block.parent == SYMDECK_NO_BLOCK) Py_RETURN_NONE;
    return blockAt(self->owner, self->block.parent);
}

// The blocks it nests in, outermost first, as the line's "path": {"block", "offset"} each.
PyObject* Block_path(Block* self, void*) {
    PyObject* path = PyList_New(self->block.depth);
    if (!path) return nullptr;
    symdeck_block at = self->block;
    for (uint32_t i = self->block.depth; i > 0; --i) {
        symdeck_block parent;
        if (at.parent == SYMDECK_NO_BLOCK || symdeck_block_get(self->owner->db, at.parent, &parent) < 0) {
            Py_DECREF(path);
            PyErr_SetString(PyExc_RuntimeError, "a block's parent could not be had");
            return nullptr;
        }
        PyObject* title = self->owner->vocabulary->word(parent.title, parent.title_size);
        PyObject* entry = title ? Py_BuildValue("{sOsK}", "block", title, "offset",
                                                static_cast<unsigned long long>(parent.offset))
                                : nullptr;
        if (!entry) {
            Py_DECREF(path);
            return nullptr;
        }
        PyList_SET_ITEM(path, i - 1, entry);
        at = parent;
    }
    return path;
}

// A tuple of fields, or of such tuples, can hold no cycle (a field holds only its chunk, and
// the chunk its database): the collector need not look at it, and with a million of them
// (the rows of a long list) it would look often.
PyObject* untracked(PyObject* tuple) {
    if (tuple && PyObject_GC_IsTracked(tuple)) PyObject_GC_UnTrack(tuple);
    return tuple;
}

PyObject* Block_fields(Block* self, void*) {
    const BlockRecord* record = recordOf(self);
    if (!record) return nullptr;
    PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(record->ownFields));
    if (!tuple) return nullptr;
    for (size_t i = 0; i < record->ownFields; ++i) {
        PyObject* field = newField(self->chunk, &(*self->chunk->fields)[record->firstField + i]);
        if (!field) {
            Py_DECREF(tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), field);
    }
    return untracked(tuple);
}

// Each own field's name with its value, as the line's "values".
PyObject* Block_values(Block* self, void*) {
    const BlockRecord* record = recordOf(self);
    if (!record) return nullptr;
    PyObject* dict = PyDict_New();
    if (!dict) return nullptr;
    for (size_t i = 0; i < record->ownFields; ++i) {
        const FieldRecord& f = (*self->chunk->fields)[record->firstField + i];
        PyObject* value = valueOf(self->chunk, f);
        if (!value || PyDict_SetItem(dict, f.name, value) != 0) {
            Py_XDECREF(value);
            Py_DECREF(dict);
            return nullptr;
        }
        Py_DECREF(value);
    }
    return dict;
}

// Its lists: (name, offset, elements) each, an element a tuple of its fields, from the rows
// in their order (a row of another list, or of a lower element index, begins a new one).
PyObject* Block_lists(Block* self, void*) {
    const BlockRecord* record = recordOf(self);
    if (!record) return nullptr;
    PyObject* lists = PyList_New(0);
    if (!lists) return nullptr;
    PyObject* elements = nullptr;  // the open list's
    PyObject* element = nullptr;   // the open element's fields
    const FieldRecord* listStart = nullptr;
    uint32_t elementIndex = 0;
    const auto closeElement = [&]() {
        if (!element) return true;
        PyObject* fields = untracked(PyList_AsTuple(element));
        Py_CLEAR(element);
        const bool ok = fields && PyList_Append(elements, fields) == 0;
        Py_XDECREF(fields);
        return ok;
    };
    const auto closeList = [&]() {
        if (!elements) return true;
        if (!closeElement()) return false;
        PyObject* list = PyStructSequence_New(ListType);
        if (!list) return false;
        PyObject* tuple = untracked(PyList_AsTuple(elements));
        Py_CLEAR(elements);
        if (!tuple) {
            Py_DECREF(list);
            return false;
        }
        PyStructSequence_SET_ITEM(list, 0, word(listStart->list));
        PyStructSequence_SET_ITEM(list, 1, PyLong_FromUnsignedLongLong(listStart->offset));
        PyStructSequence_SET_ITEM(list, 2, tuple);
        const bool ok = PyList_Append(lists, list) == 0;
        Py_DECREF(list);
        return ok;
    };
    bool ok = true;
    for (size_t i = record->ownFields; ok && i < record->fieldCount; ++i) {
        const FieldRecord* f = &(*self->chunk->fields)[record->firstField + i];
        const bool newList = !listStart || f->list != listStart->list || f->element < elementIndex;
        if (newList) {
            ok = closeList();
            if (!ok) break;
            elements = PyList_New(0);
            listStart = f;
            elementIndex = f->element;
            ok = elements != nullptr;
        } else if (f->element != elementIndex) {
            ok = closeElement();
            elementIndex = f->element;
        }
        if (ok && !element) {
            element = PyList_New(0);
            ok = element != nullptr;
        }
        PyObject* field = ok ? newField(self->chunk, f) : nullptr;
        ok = field && PyList_Append(element, field) == 0;
        Py_XDECREF(field);
    }
    ok = ok && closeList();
    Py_XDECREF(element);
    Py_XDECREF(elements);
    if (!ok) {
        Py_DECREF(lists);
        return nullptr;
    }
    PyObject* tuple = PyList_AsTuple(lists);
    Py_DECREF(lists);
    return tuple;
}

PyObject* Block_repr(Block* self) {
    PyObject* title = Block_title(self, nullptr);
    if (!title) return nullptr;
    char at[24];
    std::snprintf(at, sizeof at, "0x%llX", static_cast<unsigned long long>(self->block.offset));
    PyObject* repr = PyUnicode_FromFormat("<symdeck.Block %U at %s>", title, at);
    Py_DECREF(title);
    return repr;
}

PyGetSetDef kBlockMembers[] = {
    {"title", reinterpret_cast<getter>(Block_title), nullptr, "the block's word (the line's \"block\")", nullptr},
    {"offset", reinterpret_cast<getter>(Block_offset), nullptr, "where it begins", nullptr},
    {"size", reinterpret_cast<getter>(Block_size), nullptr, "its extent in bytes, lists and inner blocks included", nullptr},
    {"path", reinterpret_cast<getter>(Block_path), nullptr, "the blocks it nests in, outermost first", nullptr},
    {"identity", reinterpret_cast<getter>(Block_identity), nullptr, "what it is, as the table form names it", nullptr},
    {"values", reinterpret_cast<getter>(Block_values), nullptr, "its own fields' values by name", nullptr},
    {"fields", reinterpret_cast<getter>(Block_fields), nullptr, "its own fields", nullptr},
    {"lists", reinterpret_cast<getter>(Block_lists), nullptr, "its lists: (name, offset, elements)", nullptr},
    {"index", reinterpret_cast<getter>(Block_index), nullptr, "its number among the blocks", nullptr},
    {"depth", reinterpret_cast<getter>(Block_depth), nullptr, "how many blocks it nests in", nullptr},
    {"place", reinterpret_cast<getter>(Block_place), nullptr, "its place in its run, or None", nullptr},
    {"parent", reinterpret_cast<getter>(Block_parent), nullptr, "the block it nests in, or None", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr}};

// ---------------------------------------------------------------------------------------
// Iterating the blocks

struct BlockIterator {
    PyObject_HEAD
    Database* owner;
    uint64_t next;
    Chunk* chunk;
    size_t slot;
};

void BlockIterator_dealloc(BlockIterator* self) {
    Py_XDECREF(self->chunk);
    Py_DECREF(self->owner);
    PyObject_Free(self);
}

PyObject* BlockIterator_next(BlockIterator* self) {
    if (self->next >= self->owner->count) return nullptr;
    if (!self->chunk || self->slot >= self->chunk->blocks->size()) {
        // The chunk read to its end is filled again where no block or field holds it.
        Chunk* reuse = nullptr;
        if (self->chunk && Py_REFCNT(self->chunk) == 1) reuse = self->chunk;
        else Py_CLEAR(self->chunk);
        self->chunk = fetchChunk(self->owner, self->next, kChunkBlocks, reuse);
        if (!self->chunk) return nullptr;
        self->slot = 0;
        if (self->chunk->blocks->empty()) {
            PyErr_SetString(PyExc_RuntimeError, "the blocks could not be walked");
            return nullptr;
        }
    }
    const BlockRecord& record = (*self->chunk->blocks)[self->slot];
    PyObject* block = newBlock(self->owner, record.index, record.block, self->chunk, self->slot);
    ++self->slot;
    self->next = record.index + 1;
    return block;
}

PyObject* Database_blocks(Database* self, PyObject*) {
    auto* it = PyObject_New(BlockIterator, &BlockIteratorType);
    if (!it) return nullptr;
    Py_INCREF(self);
    it->owner = self;
    it->next = 0;
    it->chunk = nullptr;
    it->slot = 0;
    return reinterpret_cast<PyObject*>(it);
}

PyObject* Database_block(Database* self, PyObject* arg) {
    const unsigned long long index = PyLong_AsUnsignedLongLong(arg);
    if (index == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
    if (index >= self->count) {
        PyErr_SetString(PyExc_IndexError, "no block of that number");
        return nullptr;
    }
    return blockAt(self, index);
}

PyObject* Database_block_at(Database* self, PyObject* arg) {
    if (!PyLong_Check(arg)) {
        PyErr_SetString(PyExc_TypeError, "block_at takes an offset, an int");
        return nullptr;
    }
    const unsigned long long offset = PyLong_AsUnsignedLongLong(arg);
    if (offset == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return nullptr;
        PyErr_Clear();  // below 0 or past 64 bits: no byte of the file
        Py_RETURN_NONE;
    }
    const uint64_t index = symdeck_block_at(self->db, offset);
    if (index == SYMDECK_NO_BLOCK) Py_RETURN_NONE;
    return blockAt(self, index);
}

PyMethodDef kDatabaseMethods[] = {
    {"blocks", reinterpret_cast<PyCFunction>(Database_blocks), METH_NOARGS, "the blocks, in the report's order"},
    {"block", reinterpret_cast<PyCFunction>(Database_block), METH_O, "block number N"},
    {"block_at", reinterpret_cast<PyCFunction>(Database_block_at), METH_O,
     "the innermost block whose own fields hold the byte, or None"},
    {"render", reinterpret_cast<PyCFunction>(Database_render), METH_VARARGS, "one form's bytes"},
    {nullptr, nullptr, 0, nullptr}};

PyGetSetDef kDatabaseMembers[] = {
    {"name", reinterpret_cast<getter>(Database_name), nullptr, "the database's name in the JSON forms", nullptr},
    {"size", reinterpret_cast<getter>(Database_size), nullptr, "its size in bytes", nullptr},
    {"result", reinterpret_cast<getter>(Database_result), nullptr, "how the walk ended: JSON 2's result object", nullptr},
    {"block_count", reinterpret_cast<getter>(Database_count), nullptr, "how many blocks it has", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr}};

// ---------------------------------------------------------------------------------------
// The types and the module

PyTypeObject DatabaseType = [] {
    PyTypeObject t{};
    t.ob_base.ob_base.ob_refcnt = 1;
    t.tp_name = "symdeck._native.Database";
    t.tp_basicsize = sizeof(Database);
    t.tp_dealloc = reinterpret_cast<destructor>(Database_dealloc);
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    t.tp_doc = "An open NMS symbol database (symdeck.open makes one)";
    t.tp_methods = kDatabaseMethods;
    t.tp_getset = kDatabaseMembers;
    return t;
}();

PyTypeObject ChunkType = [] {
    PyTypeObject t{};
    t.ob_base.ob_base.ob_refcnt = 1;
    t.tp_name = "symdeck._native.Chunk";
    t.tp_basicsize = sizeof(Chunk);
    t.tp_dealloc = reinterpret_cast<destructor>(Chunk_dealloc);
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    return t;
}();

PyTypeObject FieldType = [] {
    PyTypeObject t{};
    t.ob_base.ob_base.ob_refcnt = 1;
    t.tp_name = "symdeck.Field";
    t.tp_basicsize = sizeof(Field);
    t.tp_dealloc = reinterpret_cast<destructor>(Field_dealloc);
    t.tp_repr = reinterpret_cast<reprfunc>(Field_repr);
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    t.tp_doc = "One field of a block, as its --json-lines line has it";
    t.tp_getset = kFieldMembers;
    return t;
}();

PyTypeObject BlockType = [] {
    PyTypeObject t{};
    t.ob_base.ob_base.ob_refcnt = 1;
    t.tp_name = "symdeck.Block";
    t.tp_basicsize = sizeof(Block);
    t.tp_dealloc = reinterpret_cast<destructor>(Block_dealloc);
    t.tp_repr = reinterpret_cast<reprfunc>(Block_repr);
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    t.tp_doc = "One block of the report, as its --json-lines block line has it";
    t.tp_getset = kBlockMembers;
    return t;
}();

PyTypeObject BlockIteratorType = [] {
    PyTypeObject t{};
    t.ob_base.ob_base.ob_refcnt = 1;
    t.tp_name = "symdeck._native.BlockIterator";
    t.tp_basicsize = sizeof(BlockIterator);
    t.tp_dealloc = reinterpret_cast<destructor>(BlockIterator_dealloc);
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    t.tp_iter = PyObject_SelfIter;
    t.tp_iternext = reinterpret_cast<iternextfunc>(BlockIterator_next);
    return t;
}();

PyStructSequence_Field kListFields[] = {{"name", "the list's name (\"strings\", ...)"},
                                        {"offset", "its first element's offset"},
                                        {"elements", "its elements, each a tuple of fields"},
                                        {nullptr, nullptr}};
PyStructSequence_Desc kListDesc = {"symdeck.List", "A list of a block", kListFields, 3};

PyMethodDef kModuleMethods[] = {
    {"open_bytes", open_bytes, METH_VARARGS, "open_bytes(data, left_out, name) -> Database"},
    {"render", render, METH_VARARGS, "render(data, form, left_out, name, offsets) -> bytes"},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "symdeck._native", "libsymdeck's open database", -1, kModuleMethods,
                       nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__native(void) {
    for (PyTypeObject* type : {&DatabaseType, &ChunkType, &FieldType, &BlockType, &BlockIteratorType})
        if (PyType_Ready(type) < 0) return nullptr;
    ListType = PyStructSequence_NewType(&kListDesc);
    if (!ListType) return nullptr;
    PyObject* module = PyModule_Create(&kModule);
    if (!module) return nullptr;
    const auto add = [&](const char* name, PyTypeObject* type) {
        Py_INCREF(type);
        return PyModule_AddObject(module, name, reinterpret_cast<PyObject*>(type)) == 0;
    };
    if (!add("Database", &DatabaseType) || !add("Block", &BlockType) || !add("Field", &FieldType) ||
        !add("List", ListType) || PyModule_AddIntConstant(module, "API_VERSION", SYMDECK_API_VERSION) != 0 ||
        symdeck_api_version() != SYMDECK_API_VERSION) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "libsymdeck's interface is not the one built against");
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}

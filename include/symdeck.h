/* symdeck's C interface: a database's bytes in, a report out, block by block through a
 * function the caller gives. The core behind it makes no system call and writes nothing of
 * its own: the same interface is libsymdeck (static and shared) for native programs and the
 * exports of the WebAssembly reactor symdeck-core.wasm.
 *
 * Version 7 of the interface: version 1, the view form (2), the view form's choice of
 * fields with its field records of 24 bytes (3), the map (4), a map kept between renders
 * (5), the native render through a write function with the error messages and the
 * table forms (6), and an open database's handle with its blocks, fields and diff (7). A
 * caller checks symdeck_api_version() first; a later version keeps these functions and
 * their meaning and only adds to them. The shared library's major version (its SONAME,
 * libsymdeck.so.7) is this version: it changes only where a function's shape changes.
 *
 * Native use (every platform):
 *   end = symdeck_render_to(data, size, form, left_out, name, name_size, offsets,
 *                           offset_count, write, context);
 *   the library calls write(context, block, block_size) once per block of output, in
 *   order; the block is valid only during that call. write returns 1 to go on, 0 to stop
 *   (the render then returns SYMDECK_STOPPED_BY_HOST). The database stays the caller's:
 *   the library reads data[0, size) during the call and keeps nothing of it.
 *   symdeck_error_message(end) says what a result means.
 *
 * WebAssembly use (symdeck-core.wasm, where the host's write is imported):
 *   1. call the module's _initialize() once;
 *   2. p = symdeck_alloc(size), copy the database into the memory at p (likewise the
 *      database's name for the JSON form, and the offsets to explain, as 64-bit
 *      little-endian integers);
 *   3. end = symdeck_render(...): during the call the module calls the imported function
 *      symdeck_host.write(context, data, size) once per block of output, in order; the
 *      block lies in the module's memory at data and is valid only during that call. The
 *      host returns 1 to go on, 0 to stop (the render then returns
 *      SYMDECK_STOPPED_BY_HOST);
 *   4. symdeck_free(p) and the rest.
 * The module's memory is its alone (at most 4 GiB, and the database must fit in it with the
 * report's blocks); the report itself never needs to: it leaves block by block.
 */
#ifndef SYMDECK_H
#define SYMDECK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SYMDECK_API_VERSION 7

/* The functions a shared build of the library exports; every other symbol stays inside. */
#if defined(__GNUC__) && !defined(__wasm__) && !defined(_WIN32)
#define SYMDECK_API __attribute__((visibility("default")))
#else
#define SYMDECK_API
#endif

/* Forms of output. */
enum {
    SYMDECK_FORM_TEXT = 0,         /* the text report */
    SYMDECK_FORM_JSON = 1,         /* the JSON document */
    SYMDECK_FORM_JSON_LINES = 2,   /* the same document as JSON lines (--json-lines) */
    SYMDECK_FORM_EXPLAIN_TEXT = 3, /* the answers of --explain for the offsets, as lines */
    SYMDECK_FORM_EXPLAIN_JSON = 4, /* the same answers as a JSON array */
    SYMDECK_FORM_VIEW = 5,         /* the view form: the walk as a viewer's tables (version 2;
                                      src/forms/view_printer.h) */
    SYMDECK_FORM_MAP = 6,          /* the map: the database's units (header, directory, sections,
                                      segments), one JSON line each (version 4;
                                      src/forms/database_map.h) */
    SYMDECK_FORM_TABLE = 7,        /* the table form: one row per field, CSV (--table; version 6) */
    SYMDECK_FORM_TABLE_LINES = 8,  /* the same rows as JSON lines (--table --json-lines) */
};

/* What a render returns: the walk's end when it ran (the report is then whole up to its
 * last block), a negative failure otherwise. symdeck_error_message names each. */
enum {
    SYMDECK_END_COMPLETE = 0,  /* the whole database was walked */
    SYMDECK_END_BOUNDS = 1,    /* a structure ran past the end of the file (an error line ends the report) */
    SYMDECK_END_SIGNATURE = 2, /* a structure's signature was wrong (likewise) */
    SYMDECK_END_LIMIT = 3,     /* the report reached its size limit (likewise) */
    SYMDECK_NO_MEMORY = -1,    /* memory could not be had: for the output blocks, and nothing was
                                  written; natively also memory the walk needed on its way, and
                                  the report stops where it was */
    SYMDECK_BAD_FORM = -2,     /* an unknown form, or spans out of order: nothing was written */
    SYMDECK_STOPPED_BY_HOST = -3, /* the write function returned 0: the report stops there */
    SYMDECK_BAD_ARGUMENT = -4,  /* no write function, or a null pointer with a size (version 6) */
    SYMDECK_FAILED = -5,        /* the library failed inside (version 6): the report is not whole */
    SYMDECK_CANNOT_READ = -6,   /* symdeck_open_path: the file could not be read (version 7) */
    SYMDECK_NOT_A_DATABASE = -7, /* symdeck_diff_render: a database whose walk does not get past
                                    its file header (version 7): nothing was written */
};

SYMDECK_API uint32_t symdeck_api_version(void);

/* What a render's result means, as a static string of English ("complete", "no memory",
 * ...); "unknown result" for a number that is none of them (version 6). */
SYMDECK_API const char* symdeck_error_message(int code);

/* Takes one block of output: `size` bytes at `data`, valid during the call only. Returns 1
 * to go on, 0 to stop the render. */
typedef int (*symdeck_write_fn)(void* context, const uint8_t* data, size_t size);

/* Renders `form` of the database at data[0, size) through `write` (version 6), block by
 * block: the bytes of the program's output for the same form. Memory that cannot be had is
 * SYMDECK_NO_MEMORY (blocks written before it stay written); nothing escapes the call but
 * its result.
 * left_out: the kinds of section left out, bit (1 << k) for the kind whose directory
 *   entryIndex is k (as the -GTYP, -STTB, ... flags do: GTYP 1, STTB 2, NMTP 3, TYTB 4,
 *   HSHT 5, SYMD 6, SRCP 7, FPOD 8); 0 reports every kind.
 * name, name_size: the database's name in the JSON forms (UTF-8, not NUL-terminated);
 *   the view form's search text.
 * offsets, offset_count: the offsets to explain (explain forms only). The view form reads
 *   them, when offset_count is 3 or more, as which fields it records (the rest are walked,
 *   counted and not written; with offset_count 0 it records every field and the tree):
 *     [0] bit 0: leave out the tree's tables (blocks, lists, reads); bit 1: do not count
 *         the text report (for a walk again of a database whose first walk did not stop
 *         at the report's size limit: it ends in the same place, faster)
 *     [1] at most this many name and text fields whose value contains `name`, ASCII
 *         letters matched without case (a search)
 *     [2] R, then R pairs from, to: fields that touch the file's bytes [from, to)
 *     then pairs from, to to the end: fields [from, to) by their number in the walk (a
 *         block's own fields are a range of them: the view's blocks say which)
 *   Both lists of pairs in increasing order, none empty or overlapping, else
 *   SYMDECK_BAD_FORM.
 * write, context: the write function, called with `context` unchanged. */
SYMDECK_API int32_t symdeck_render_to(const uint8_t* data, size_t size, uint32_t form, uint32_t left_out,
                                      const char* name, size_t name_size, const uint64_t* offsets,
                                      size_t offset_count, symdeck_write_fn write, void* context);


/* An open database (version 7): one walk of its bytes keeps the map of its blocks, and
 * the functions below read them, their fields, explain, render and diff without walking
 * the whole database again. Every function returns its result only: no exception, no
 * abort, no output of its own; failures are the negative codes above. A handle is
 * read-only after open: several threads may call the read functions on one handle at once.
 */
typedef struct symdeck_db symdeck_db;
#define SYMDECK_NO_BLOCK UINT64_MAX
#define SYMDECK_NO_PLACE UINT32_MAX

/* Walks data[0, size) once (as the JSON lines form does: the same selection, the same
 * size limit) and keeps the map of its blocks. The bytes stay the caller's and must not
 * change or go while the handle is open. left_out as symdeck_render_to's; name,
 * name_size: the database's name in the JSON forms. Returns 0 and *db, or a negative
 * code (SYMDECK_BAD_ARGUMENT for a null db or a null pointer with a size,
 * SYMDECK_NO_MEMORY); *db is null then. */
SYMDECK_API int32_t symdeck_open(const uint8_t* data, size_t size, uint32_t left_out, const char* name,
                                 size_t name_size, symdeck_db** db);

/* Reads the file at `path` (NUL-ended) into memory the handle owns (its name is the path),
 * then as symdeck_open. SYMDECK_CANNOT_READ when it cannot be read: `reason` (if not null)
 * gets the system's words, NUL-ended and cut to reason_size (strerror's, e.g. "No such
 * file or directory"). Not in the WebAssembly build. */
SYMDECK_API int32_t symdeck_open_path(const char* path, uint32_t left_out, symdeck_db** db, char* reason,
                                      size_t reason_size);

/* Frees the handle and what it owns; null is ignored. */
SYMDECK_API void symdeck_close(symdeck_db* db);

/* How the open's walk ended: the JSON document's "result" object. */
typedef struct symdeck_result {
    int32_t end;                       /* SYMDECK_END_* */
    const char* header;                /* where it stopped: the part's header ("" when complete) */
    size_t header_size;
    uint64_t offset;                   /* bounds, signature: where the structure begins */
    uint64_t number;                   /* bounds: the file's size; limit: the limit */
    uint64_t damaged_fields;           /* fields with a problem */
    uint64_t unknown_values;           /* values with no name where one was expected */
} symdeck_result;
/* Fills *result (a null db or result is ignored); the strings live as long as the handle. */
SYMDECK_API void symdeck_db_result(const symdeck_db* db, symdeck_result* result);

/* The blocks: exactly the block lines of --json-lines, in their order, numbered from 0.
 * 0 for a null db. */
SYMDECK_API uint64_t symdeck_block_count(const symdeck_db* db);

typedef struct symdeck_block {
    const char* title; size_t title_size;        /* the line's "block" */
    uint64_t offset;                             /* the line's "offset" */
    uint64_t size;                               /* its extent in bytes, lists and inner blocks
                                                    included (the table form's block_size) */
    uint64_t parent;                             /* the parent block's number; SYMDECK_NO_BLOCK at the top */
    uint32_t depth;                              /* 0 at the top (the length of the line's "path") */
    uint32_t place;                              /* the line's "index" (its place in its run), else
                                                    SYMDECK_NO_PLACE */
    const char* identity; size_t identity_size;  /* the table form's identity */
    uint64_t field_count;                        /* its own fields and its lists' rows */
} symdeck_block;

/* Fills *block with block `index`: 0, or SYMDECK_BAD_ARGUMENT (null pointers, an index
 * past the count). Its strings live as long as the handle. */
SYMDECK_API int32_t symdeck_block_get(const symdeck_db* db, uint64_t index, symdeck_block* block);

/* The innermost block whose own fields (or its lists' rows) hold byte `offset`;
 * SYMDECK_NO_BLOCK if none (or a null db). */
SYMDECK_API uint64_t symdeck_block_at(const symdeck_db* db, uint64_t offset);

/* One field row of a block, as its --json-lines field line says it. */
typedef struct symdeck_field {
    const char* name; size_t name_size;          /* "name" */
    const char* type; size_t type_size;          /* "type": the storage word, "ULONG", "CHAR[0x104]" */
    uint64_t offset; uint64_t size;              /* "offset", "size" */
    const char* role; size_t role_size;          /* "role" */
    int32_t is_text;                             /* 1: "value" is a string (text; number unused); 0: a number */
    int64_t number;                              /* "value" as a number, as the line gives it (signed where it is) */
    const char* text; size_t text_size;          /* "value" as the line's string (UTF-8) */
    const uint8_t* bytes; size_t bytes_size;     /* a text's raw bytes as stored in the file */
    const char* word; size_t word_size;          /* the line's "text" member (the value's meaning);
                                                    null and 0 if none */
    int32_t has_target; uint64_t target;         /* "target", when the line has one */
    int32_t target_outside;                      /* the target lies outside the file */
    const char* leads; size_t leads_size;        /* "leads", when the line has one, else null */
    const char* problem; size_t problem_size;    /* the problem's code, else null */
    const char* spelling; size_t spelling_size;  /* the text report's spelling of the value (its value column) */
    const char* list; size_t list_size;          /* a list's row: the list's name ("strings"), else null */
    uint32_t element;                            /* a list's row: its element's index */
} symdeck_field;

/* Called once per block by symdeck_walk_blocks with the block and its fields (its own,
 * then its lists' rows in their order); the pointers are valid during the call only.
 * Returns 1 to go on, 0 to stop. */
typedef int (*symdeck_block_fn)(void* context, uint64_t index, const symdeck_block* block,
                                const symdeck_field* fields, size_t field_count);

/* Calls fn once per block from `first` on, `count` blocks (clipped to the count), in order.
 * Walks only the parts of the database (the units of its map) that hold those blocks:
 * asking for every block in chunks costs about one walk of the database in all. The
 * fields of one block are held at once (a list of a million rows: some 230 MB). Returns 0,
 * SYMDECK_STOPPED_BY_HOST when fn returned 0, SYMDECK_BAD_ARGUMENT (null db or fn),
 * SYMDECK_NO_MEMORY. */
SYMDECK_API int32_t symdeck_walk_blocks(const symdeck_db* db, uint64_t first, uint64_t count, symdeck_block_fn fn,
                                        void* context);

/* Renders a form of the open database through write, as symdeck_render_to does with the
 * handle's bytes, selection and name (the same bytes out; the same result): the explain
 * forms take the offsets and walk only the parts that hold them. */
SYMDECK_API int32_t symdeck_db_render(const symdeck_db* db, uint32_t form, const uint64_t* offsets,
                                      size_t offset_count, symdeck_write_fn write, void* context);

/* What symdeck_diff_render returns when it ran. */
enum {
    SYMDECK_DIFF_SAME = 0,     /* the two databases' reports are the same */
    SYMDECK_DIFF_CHANGED = 1,  /* they differ: the output says where */
};

/* The difference of two open databases, through write: form SYMDECK_FORM_TEXT (the
 * --diff report) or SYMDECK_FORM_JSON_LINES (its JSON lines), byte for byte what
 * `symdeck --diff OLD NEW -o -` writes with the handles' names and the old handle's
 * selection (both handles must have the same left_out). Returns SYMDECK_DIFF_SAME,
 * SYMDECK_DIFF_CHANGED, or a negative code: SYMDECK_BAD_FORM for another form,
 * SYMDECK_BAD_ARGUMENT for a null handle or write or two selections,
 * SYMDECK_NOT_A_DATABASE (where the program says "... is no nms database"). */
SYMDECK_API int32_t symdeck_diff_render(const symdeck_db* old_db, const symdeck_db* new_db, uint32_t form,
                                        symdeck_write_fn write, void* context);

#ifdef __wasm__
/* The WebAssembly module's own functions: its memory for the host's input, the render
 * through the imported symdeck_host.write, and the kept map. */

/* Memory in the module for the host's input; null when it cannot be had. */
void* symdeck_alloc(uint32_t size);
void symdeck_free(void* memory);

/* Renders `form` of the database at data[0, size) through symdeck_host.write: the
 * arguments as symdeck_render_to's, `context` passed to symdeck_host.write unchanged. */
int32_t symdeck_render(const uint8_t* data, uint32_t size, uint32_t form, uint32_t left_out,
                       const char* name, uint32_t name_size, const uint64_t* offsets,
                       uint32_t offset_count, uint32_t context);

/* A map of the database kept between renders (version 5): made once by one walk, it lets
 * the renders below walk only the parts of the database they need.
 * symdeck_map_make: the map of data[0, size) with the kinds left_out leaves out; null when
 *   its memory could not be had. It stays valid while the host keeps the same bytes at data.
 * symdeck_map_free: frees it (null is ignored). */
typedef struct symdeck_map symdeck_map;
symdeck_map* symdeck_map_make(const uint8_t* data, uint32_t size, uint32_t left_out);
void symdeck_map_free(symdeck_map* map);

/* symdeck_render with a kept map of the same bytes and the same left_out (else
 * SYMDECK_BAD_FORM): the same output, byte for byte. The explain forms, and the view form's
 * choice of fields without the tree and without a search, walk only the parts of the
 * database that hold what they ask for; the other forms walk all of it as symdeck_render
 * does. */
int32_t symdeck_render_mapped(const symdeck_map* map, const uint8_t* data, uint32_t size, uint32_t form,
                              uint32_t left_out, const char* name, uint32_t name_size,
                              const uint64_t* offsets, uint32_t offset_count, uint32_t context);
#endif /* __wasm__ */

#ifdef __cplusplus
}
#endif

#endif

/* symdeck's C interface: a database's bytes in, a report out, block by block through a
 * function the caller gives. The core behind it makes no system call and writes nothing of
 * its own: the same interface is libsymdeck (static and shared) for native programs and the
 * exports of the WebAssembly reactor symdeck-core.wasm.
 *
 * Version 6 of the interface: version 1, the view form (2), the view form's choice of
 * fields with its field records of 24 bytes (3), the map (4), a map kept between renders
 * (5), and the native render through a write function with the error messages and the
 * table forms (6). A
 * caller checks symdeck_api_version() first; a later version keeps these functions and
 * their meaning and only adds to them. The shared library's major version (its SONAME,
 * libsymdeck.so.6) is this version: it changes only where a function's shape changes.
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

#define SYMDECK_API_VERSION 6

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

// The open database's functions of symdeck.h (version 7): the handle, its blocks and fields,
// render and diff.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "entry/c_interface.h"
#include "entry/database_handle.h"
#include "forms/diff.h"
#include "forms/json_printer.h"
#include "symdeck.h"

struct symdeck_db {
    symdeck::Database db;
};

namespace {

using symdeck::Database;

int32_t openInto(std::unique_ptr<symdeck_db>& handle, uint32_t leftOut, symdeck_db** out) {
    Database& db = handle->db;
    db.leftOut = leftOut;
    db.selection = symdeck::selectionOf(leftOut);
    symdeck::openDatabase(db);
    *out = handle.release();
    return 0;
}

symdeck_block blockOf(const Database& db, uint64_t index) {
    const symdeck::BlockRecord& b = db.blocks[index];
    const std::string_view word = db.words[b.word];
    const std::string_view identity = symdeck::blockIdentity(db, index);
    return symdeck_block{word.data(),
                         word.size(),
                         b.offset,
                         b.size,
                         b.parent == symdeck::kNoBlock ? SYMDECK_NO_BLOCK : b.parent,
                         b.depth,
                         b.place == symdeck::kNoPlace ? SYMDECK_NO_PLACE : b.place,
                         identity.data(),
                         identity.size(),
                         b.fieldCount};
}

struct WalkCall {
    const Database& db;
    symdeck_block_fn fn;
    void* context;
};

bool toBlockFn(void* context, uint64_t index, std::span<const symdeck_field> fields) {
    const auto& call = *static_cast<const WalkCall*>(context);
    const symdeck_block block = blockOf(call.db, index);
    return call.fn(call.context, index, &block, fields.data(), fields.size()) != 0;
}

}  // namespace

extern "C" {

int32_t symdeck_open(const uint8_t* data, size_t size, uint32_t left_out, const char* name, size_t name_size,
                     symdeck_db** db) {
    if (!db) return SYMDECK_BAD_ARGUMENT;
    *db = nullptr;
    if ((!data && size) || (!name && name_size)) return SYMDECK_BAD_ARGUMENT;
    return symdeck::guarded([&] {
        auto handle = std::make_unique<symdeck_db>();
        handle->db.image = symdeck::NmsImage{data, size};
        if (name_size) handle->db.name.assign(name, name_size);
        return openInto(handle, left_out, db);
    });
}

#ifndef __wasm__
int32_t symdeck_open_path(const char* path, uint32_t left_out, symdeck_db** db, char* reason, size_t reason_size) {
    if (!db) return SYMDECK_BAD_ARGUMENT;
    *db = nullptr;
    if (!path || (!reason && reason_size)) return SYMDECK_BAD_ARGUMENT;
    if (reason_size) reason[0] = '\0';
    return symdeck::guarded([&] {
        auto handle = std::make_unique<symdeck_db>();
        Database& d = handle->db;
        d.name = path;
        // The C library's own reading, so that the library makes no call of any one system.
        const auto cannot = [&](int error) {
            if (reason_size) {
                std::strncpy(reason, std::strerror(error), reason_size - 1);
                reason[reason_size - 1] = '\0';
            }
            return int32_t{SYMDECK_CANNOT_READ};
        };
        errno = 0;
        std::FILE* file = std::fopen(path, "rb");
        if (!file) return cannot(errno);
        // The file's size, when the stream can tell it, saves growing the memory step by step.
        if (std::fseek(file, 0, SEEK_END) == 0) {
            const long end = std::ftell(file);
            if (end > 0) d.owned.reserve(static_cast<size_t>(end));
            std::rewind(file);
        }
        int error = 0;
        char buffer[64 * 1024];
        for (;;) {
            const size_t got = std::fread(buffer, 1, sizeof buffer, file);
            d.owned.insert(d.owned.end(), buffer, buffer + got);
            if (got < sizeof buffer) {
                if (std::ferror(file)) error = errno != 0 ? errno : EIO;
                break;
            }
        }
        std::fclose(file);
        if (error) return int32_t{cannot(error)};
        d.image = symdeck::NmsImage{d.owned.data(), d.owned.size()};
        return openInto(handle, left_out, db);
    });
}
#endif

void symdeck_close(symdeck_db* db) { delete db; }

void symdeck_db_result(const symdeck_db* db, symdeck_result* result) {
    if (!db || !result) return;
    const Database& d = db->db;
    *result = symdeck_result{static_cast<int32_t>(d.stop.end), d.stop.header.data(), d.stop.header.size(),
                             d.stop.offset, d.stop.number, d.problems.damaged, d.problems.unknown};
}

uint64_t symdeck_block_count(const symdeck_db* db) { return db ? db->db.blocks.size() : 0; }

int32_t symdeck_block_get(const symdeck_db* db, uint64_t index, symdeck_block* block) {
    if (!db || !block || index >= db->db.blocks.size()) return SYMDECK_BAD_ARGUMENT;
    *block = blockOf(db->db, index);
    return 0;
}

uint64_t symdeck_block_at(const symdeck_db* db, uint64_t offset) {
    if (!db) return SYMDECK_NO_BLOCK;
    uint32_t found = symdeck::kNoBlock;
    const int32_t how = symdeck::guarded([&] {
        found = symdeck::blockAt(db->db, offset);
        return 0;
    });
    return how != 0 || found == symdeck::kNoBlock ? SYMDECK_NO_BLOCK : found;
}

int32_t symdeck_walk_blocks(const symdeck_db* db, uint64_t first, uint64_t count, symdeck_block_fn fn,
                            void* context) {
    if (!db || !fn) return SYMDECK_BAD_ARGUMENT;
    return symdeck::guarded([&] {
        WalkCall call{db->db, fn, context};
        const uint64_t end = count > UINT64_MAX - first ? UINT64_MAX : first + count;
        return symdeck::visitBlocks(db->db, first, end, &toBlockFn, &call) ? int32_t{0}
                                                                           : int32_t{SYMDECK_STOPPED_BY_HOST};
    });
}

int32_t symdeck_db_render(const symdeck_db* db, uint32_t form, const uint64_t* offsets, size_t offset_count,
                          symdeck_write_fn write, void* context) {
    if (!db || !write || (!offsets && offset_count)) return SYMDECK_BAD_ARGUMENT;
    const Database& d = db->db;
    symdeck::CallerWrite caller{write, context};
    const symdeck::ReportSink sink{&symdeck::toCaller, &caller};
    // The kept map serves the forms that plan by one (explain); the others walk it all.
    const bool mapped = form == SYMDECK_FORM_EXPLAIN_TEXT || form == SYMDECK_FORM_EXPLAIN_JSON;
    return symdeck::guarded([&] {
        return symdeck::renderForm(mapped ? &d.map : nullptr, d.image.data, d.image.size, form, d.leftOut,
                                   d.name.data(), d.name.size(), offsets, offset_count, sink);
    });
}

int32_t symdeck_diff_render(const symdeck_db* old_db, const symdeck_db* new_db, uint32_t form,
                            symdeck_write_fn write, void* context) {
    if (!old_db || !new_db || !write || old_db->db.leftOut != new_db->db.leftOut) return SYMDECK_BAD_ARGUMENT;
    if (form != SYMDECK_FORM_TEXT && form != SYMDECK_FORM_JSON_LINES) return SYMDECK_BAD_FORM;
    const Database& before = old_db->db;
    const Database& after = new_db->db;
    if (!symdeck::isNmsDatabase(before.image) || !symdeck::isNmsDatabase(after.image))
        return SYMDECK_NOT_A_DATABASE;
    symdeck::CallerWrite caller{write, context};
    return symdeck::guarded([&] {
        symdeck::ReportWriter out(symdeck::ReportSink{&symdeck::toCaller, &caller}, 256 * 1024);
        if (!out.ok()) return int32_t{SYMDECK_NO_MEMORY};
        const symdeck::DiffResult result = symdeck::writeDiff(
            symdeck::DiffInput{before.name, &before.image}, symdeck::DiffInput{after.name, &after.image},
            before.selection,
            form == SYMDECK_FORM_TEXT ? symdeck::DiffForm::Text : symdeck::DiffForm::JsonLines, false, out);
        if (!out.flush()) return int32_t{SYMDECK_STOPPED_BY_HOST};
        return int32_t{result.same() ? SYMDECK_DIFF_SAME : SYMDECK_DIFF_CHANGED};
    });
}

}  // extern "C"

// The report writer: appends text into a fixed block and hands every full block to a sink.
//
// This is the converter's hot path. Text is copied with memcpy, integers are formatted by
// small routines (no printf, no iostreams), and nothing allocates after construction, so
// memory stays at one block whatever the report's size. The writer counts every byte it has
// taken, which is what the report size limit is compared with.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "format/memory.h"
#include "forms/digits.h"

namespace symdeck {

// Where filled blocks go. `write` returns false when the bytes could not be stored; the
// writer then drops everything after that and reports the failure through ok().
//
// The writer fills kBlocks blocks in turn, so a sink may go on reading a block after
// write() has returned (to write it out on another thread): it may hold up to kBlocks - 1
// blocks at once. A block stays untouched until kBlocks - 1 later write() calls have
// returned, or until the writer is destroyed.
struct ReportSink {
    bool (*write)(void* context, const char* data, size_t size) = nullptr;
    void* context = nullptr;
};

// A sink that appends to a std::string (tests, the fuzzer, the benchmark).
ReportSink stringSink(std::string& text);

class ReportWriter {
public:
    static constexpr size_t kDefaultBlock = size_t{1} << 20;
    // Blocks filled in turn: with a sink that writes on another thread, the renderer can
    // run ahead by this many blocks while the file system stalls.
    static constexpr size_t kBlocks = 8;
    // The most that one reserve() may ask for; every fixed line of the report is shorter.
    static constexpr size_t kMaxReserve = 256;

    // The blocks come from `allocator`. When they cannot be had, ok() is false from the
    // start: the writer then takes text into a small spare buffer and drops it, counting
    // every byte as ever, so a caller that goes on anyway stays safe (and the size limit
    // holds), but nothing reaches the sink.
    explicit ReportWriter(ReportSink sink, size_t blockSize = kDefaultBlock,
                          BlockAllocator allocator = heapAllocator());
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Bytes of report taken so far, flushed or not.
    uint64_t length() const { return flushed_ + static_cast<uint64_t>(cur_ - begin_); }
    // False once the sink has refused a block, or when the blocks could not be had.
    bool ok() const { return ok_; }
    // Hands the buffered text to the sink. Returns ok().
    bool flush();

    // Room for `n` (<= kMaxReserve) bytes at the end; the caller fills them and calls commit().
    char* reserve(size_t n) {
        if (static_cast<size_t>(end_ - cur_) < n) makeRoom();
        return cur_;
    }
    void commit(char* newEnd) { cur_ = newEnd; }
    // Counts `bytes` of report as taken without taking them (a writer that only counts,
    // passing over text whose length is known).
    void advance(uint64_t bytes) { flushed_ += bytes; }

    // Any text, of any length.
    void text(std::string_view s) {
        if (s.size() <= static_cast<size_t>(end_ - cur_)) {
            std::memcpy(cur_, s.data(), s.size());
            cur_ += s.size();
        } else {
            textSlow(s);
        }
    }
    // A text from the database for a terminal: the bytes a terminal would act on are
    // written as "\xNN" (forms/terminal_text.h). Never used for a file or a pipe.
    void terminalText(std::string_view s);
    void ch(char c) { *reserve(1) = c; ++cur_; }
    void newline() { ch('\n'); }

    // The start of a field line: `indent` spaces, `type` in a 13-character column and
    // `name` in a 17-character column (names are at most 16 characters long).
    void field(unsigned indent, std::string_view type, std::string_view name) {
        // Blanks are laid down for 48 columns: the type and the name must end inside their
        // columns, and the value must begin inside the blanks, or stale bytes would show.
        assert(type.size() <= 13 && name.size() <= 16 && indent + 30 <= 48);
        char* p = reserve(64);
        std::memset(p, ' ', 48);
        std::memcpy(p + indent, type.data(), type.size());
        std::memcpy(p + indent + 13, name.data(), name.size());
        cur_ = p + indent + 30;
    }

    // "%d" of a 32-bit value: the signed view, so 0xFFFFFFFF prints -1.
    void dec(uint32_t value);
    // An unsigned decimal number.
    void decimal(uint64_t value) { cur_ = putDecimal(reserve(20), value); }
    // "%X": upper-case hexadecimal without leading zeros (64-bit, so offsets past 4 GiB
    // print in full). Digits are written straight into place, last first.
    void hex(uint64_t value) {
        const int n = value == 0 ? 1 : (std::bit_width(value) + 3) / 4;
        char* p = reserve(16) + n;
        cur_ = p;
        do {
            *--p = kHexDigits[value & 0xF];
            value >>= 4;
        } while (value != 0);
    }
    // "0x%X".
    [[gnu::always_inline]] void hex0x(uint64_t value) {
        char* p = reserve(2);
        p[0] = '0';
        p[1] = 'x';
        cur_ = p + 2;
        hex(value);
    }
    // "0x%06X": at least six digits, zero-padded.
    void hex06(uint64_t value);
    // "%d(0x%X) bytes".
    void decHexBytes(uint32_t value);

private:
    void makeRoom();
    void textSlow(std::string_view s);

    ReportSink sink_;
    size_t blockSize_;
    Block blocks_;      // kBlocks blocks of blockSize_ bytes, filled in turn
    size_t current_ = 0;  // the block being filled
    char* begin_;
    char* cur_;
    char* end_;
    uint64_t flushed_ = 0;
    bool ok_ = true;
    char spare_[kMaxReserve * 2];  // the only buffer when the blocks could not be had
};

}  // namespace symdeck

#include "forms/writer.h"

#include <algorithm>
#include <charconv>

#include "forms/terminal_text.h"

namespace symdeck {

namespace {

bool appendToString(void* context, const char* data, size_t size) {
    static_cast<std::string*>(context)->append(data, size);
    return true;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

ReportSink stringSink(std::string& text) { return ReportSink{&appendToString, &text}; }

ReportWriter::ReportWriter(ReportSink sink, size_t blockSize, BlockAllocator allocator)
    : sink_(sink),
      blockSize_(std::max(blockSize, kMaxReserve * 2)),
      blocks_(kBlocks * blockSize_, allocator),
      begin_(reinterpret_cast<char*>(blocks_.data())),
      cur_(begin_),
      end_(begin_ + blockSize_) {
    if (blocks_.data() == nullptr) {
        ok_ = false;
        begin_ = cur_ = spare_;
        end_ = spare_ + sizeof spare_;
    }
}

bool ReportWriter::flush() {
    const size_t used = static_cast<size_t>(cur_ - begin_);
    if (used == 0) return ok_;
    if (ok_) ok_ = sink_.write(sink_.context, begin_, used);
    flushed_ += used;
    if (blocks_.data() == nullptr) {  // no blocks: the spare buffer again
        cur_ = begin_;
        return ok_;
    }
    // Go on in the next block: the sink may still be reading this one.
    current_ = (current_ + 1) % kBlocks;
    begin_ = reinterpret_cast<char*>(blocks_.data()) + current_ * blockSize_;
    cur_ = begin_;
    end_ = begin_ + blockSize_;
    return ok_;
}

void ReportWriter::makeRoom() { flush(); }

void ReportWriter::textSlow(std::string_view s) {
    while (!s.empty()) {
        if (cur_ == end_) flush();
        const size_t n = std::min(s.size(), static_cast<size_t>(end_ - cur_));
        std::memcpy(cur_, s.data(), n);
        cur_ += n;
        s.remove_prefix(n);
    }
}

void ReportWriter::terminalText(std::string_view s) {
    size_t shown = 0;  // bytes at the start of `s` that go out as they are
    while (shown < s.size()) {
        const size_t safe = terminalSafePrefix(s.substr(shown));
        if (safe != 0) {
            shown += safe;
            continue;
        }
        text(s.substr(0, shown));
        char* p = reserve(4);
        terminalEscape(static_cast<unsigned char>(s[shown]), p);
        cur_ = p + 4;
        s.remove_prefix(shown + 1);
        shown = 0;
    }
    text(s);
}

void ReportWriter::dec(uint32_t value) {
    char* p = reserve(12);
    cur_ = std::to_chars(p, p + 12, static_cast<int32_t>(value)).ptr;
}

void ReportWriter::hex06(uint64_t value) {
    char* p = reserve(2 + 16);
    p[0] = '0';
    p[1] = 'x';
    cur_ = p + 2;
    if (value < 0x100000) {
        for (int i = 5; i >= 0; --i) {
            cur_[i] = kHexDigits[value & 0xF];
            value >>= 4;
        }
        cur_ += 6;
    } else {
        hex(value);
    }
}

void ReportWriter::decHexBytes(uint32_t value) {
    dec(value);
    char* p = reserve(3);
    std::memcpy(p, "(0x", 3);
    cur_ = p + 3;
    hex(value);
    text(") bytes");
}

}  // namespace symdeck

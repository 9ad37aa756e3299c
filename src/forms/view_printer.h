// The view form: what a viewer needs to draw the walk, recorded in one pass as compact
// binary tables, so that a page can keep them in typed arrays instead of parsing a document
// ten times the database's size.
//
// The output is a sequence of frames, each [u32 tag][u32 length][length bytes, then zero
// bytes up to a multiple of 4], all numbers little-endian. Frames of one tag, joined in the
// order they come, make that tag's table; the tables of different tags interleave. Every
// frame of a table of fixed-size records holds whole records, and every frame but the last
// of its table holds kFrameRecords of them (a reader may index frames directly).
//
//   Header  (first)  u32 version, u32 image size low, high, u32 kFrameRecords
//   Fields           24 bytes a recorded field, in walk order (kField*)
//   Text             the value texts of the recorded fields, one after another: a field's
//                    is the bytes from the textEnd of the field recorded before it (0 for
//                    the first) to its own textEnd; exactly what the text report shows
//                    after the field's name
//   Blocks           64 bytes a block (kBlock*), written when the block closes (or at the
//                    end of the walk for those still open): a block's slot is its index in
//                    the order blocks open, the text report's order
//   Lists            32 bytes a list (kList*), in the order lists close
//   Reads            8 bytes: offset, size of bytes the walk reads that no form shows
//   Words            (at the end) the interned words: per word u32 length, its bytes, zero
//                    bytes up to a multiple of 4; word i is the i-th
//   Kinds            (at the end) 8 bytes a kind of field: u16 name word, u16 type word,
//                    u8 role, u8 leads, u16 zero
//   End      (last)  how the walk ended (kEnd*), then the "ERROR in" line's text
//
// A walk records every field unless its ViewOptions say otherwise: a viewer of a large
// database keeps the tree (the blocks) whole and asks again for the fields of the part it
// shows, so that its memory follows what is on screen, not the database's size. Each field
// names its index among all the walk's fields; blocks count fields by that index.
//
// forms/view_layout.h names each tag and the place of every part of a record.
//
// Offsets are 32-bit: the form is made for databases below 4 GiB (a wasm32 module holds no
// larger one); renderImageView refuses larger ones. A target is 40 bits (base plus value).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/events.h"
#include "forms/text_measure.h"
#include "forms/text_printer.h"
#include "forms/view_layout.h"
#include "forms/view_vocabulary.h"
#include "forms/writer.h"

namespace symdeck {

// A range [from, to) of the file's bytes, or of the walk's fields by their number.
struct ViewSpan {
    uint64_t from = 0, to = 0;
};

// Which of the walk's fields a view records. The rest are walked all the same (their
// indices, the blocks and the kinds stay those of the whole walk) but neither spelled nor
// written.
struct ViewOptions {
    // The tables that draw the tree: blocks, lists and reads (words, kinds and the end are
    // always written). A walk again for more fields leaves them out.
    bool skeleton = true;
    // The text report counted: each block's range of it, and the size limit. A walk again
    // of a database whose first walk did not reach the limit can leave it out: it then
    // walks exactly as far, faster.
    bool countText = true;
    // False: every field. True: the fields that touch a span of `bytes`, those whose number
    // lies in a span of `fields` (a block's own fields are a range of them), and, up to
    // maxMatches of them, the name and text fields whose value contains `query`, ASCII
    // letters matched without case. Both lists of spans are in increasing order and do not
    // overlap.
    bool chosen = false;
    std::span<const ViewSpan> bytes{};
    std::span<const ViewSpan> fields{};
    std::string_view query{};
    uint32_t maxMatches = 0;
    // The vocabulary of the whole walk (the map's), for a walk that passes over units: its
    // words and kinds are then numbered as the whole walk numbers them.
    const ViewVocabulary* vocabulary = nullptr;
};

class ViewPrinter {
public:
    // `out` takes the frames; `text` measures the text report (the walk pairs the two):
    // each block's place in the text is its range there.
    ViewPrinter(ReportWriter& out, const TextMeasure& text, uint64_t imageSize, const ViewOptions& options = {});
    ViewPrinter(const ViewPrinter&) = delete;
    ViewPrinter& operator=(const ViewPrinter&) = delete;

    void begin();
    void open(const Title& title);
    void close();
    SYMDECK_INLINE void field(const Field& f) {
        const uint16_t kind = vocabulary_.kindOf(f);
        const bool element = inElement_, start = elementStart_;
        elementStart_ = false;
        const uint32_t index = fieldCount_++;
        if (!recorded(f, index)) return;
        const uint64_t at = f.target.has() ? f.target.at : 0;
        uint8_t flags = static_cast<uint8_t>(static_cast<unsigned>(f.target.why) << view::kUnresolvedShift);
        if (f.target.inFile) flags |= view::kInFile;
        if (element) flags |= view::kInElement;
        if (start) flags |= view::kElementStart;
        if (f.problem != Problem::None) flags |= view::kProblem;
        spellValue(values_, f);
        char* p = fields_.add();
        put32(p + view::kFieldOffset, static_cast<uint32_t>(f.offset));
        put32(p + view::kFieldSize, f.size);
        put32(p + view::kFieldTargetLow, static_cast<uint32_t>(at));
        put32(p + view::kFieldTextEnd, static_cast<uint32_t>(values_.length()));
        std::memcpy(p + view::kFieldKind, &kind, 2);
        p[view::kFieldFlags] = static_cast<char>(flags);
        p[view::kFieldTargetHigh] = static_cast<char>(at >> 32);
        put32(p + view::kFieldIndex, index);
        fields_.commit(out_);
    }
    void openList(const List& list);
    void element(const List&, uint32_t, uint64_t) {
        inElement_ = true;
        elementStart_ = true;
    }
    void endElement() {
        inElement_ = false;
        elementStart_ = false;
    }
    void closeList(const List& list);
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field& f, uint32_t) {
        if (!options_.skeleton) return;
        char* p = reads_.add();
        put32(p, static_cast<uint32_t>(f.offset));
        put32(p + 4, f.size);
        reads_.commit(out_);
        ++readCount_;
    }
    void unknownSection(int32_t kind);
    void end(const Stop& stop);
    // A unit of the map was passed over: the fields and blocks it holds are counted as if
    // walked, so that the fields after it keep their numbers. (Only a walk without the tree's
    // tables passes over units.)
    void passOver(uint64_t fields, uint64_t blocks) {
        fieldCount_ += static_cast<uint32_t>(fields);
        blockCount_ += static_cast<uint32_t>(blocks);
    }

    const FieldProblems& problems() const { return text_.problems(); }
    // False when the value texts' buffers could not be had: the view lacks its texts.
    bool ok() const { return values_.ok(); }

private:
    // A table of fixed-size records, written out a full frame at a time.
    class Table {
    public:
        Table(uint32_t tag, size_t recordBytes);
        char* add() { return data_.data() + used_; }
        void commit(ReportWriter& out) {
            used_ += record_;
            if (used_ == data_.size()) flush(out);
        }
        void flush(ReportWriter& out);

    private:
        uint32_t tag_;
        size_t record_;
        std::vector<char> data_;
        size_t used_ = 0;
    };

    struct Open {
        uint32_t index;
        uint32_t parent;
        uint32_t firstField;
        uint32_t fieldEnd;  // set when the first child opens (or at the close)
        uint32_t children;
        bool hasChild;
        uint64_t textStart;
        Title title;
    };

    static void put32(char* p, uint32_t v) { std::memcpy(p, &v, 4); }
    // Whether field `f`, the walk's field number `index`, is one the options ask for.
    SYMDECK_INLINE bool recorded(const Field& f, uint32_t index) {
        if (!options_.chosen) return true;
        // Field numbers only grow: the span that may hold this one moves on with them.
        const auto& fields = options_.fields;
        while (fieldSpan_ < fields.size() && fields[fieldSpan_].to <= index) ++fieldSpan_;
        if (fieldSpan_ < fields.size() && fields[fieldSpan_].from <= index) return true;
        // The first span that ends after the field's offset is the one it may touch.
        const auto& bytes = options_.bytes;
        const auto span = std::upper_bound(bytes.begin(), bytes.end(), f.offset,
                                           [](uint64_t at, const ViewSpan& s) { return at < s.to; });
        if (span != bytes.end() && span->from < f.offset + f.size) return true;
        return matches(f);
    }
    bool matches(const Field& f);
    // The value texts go out as Text frames (the sink of values_).
    static bool toFrames(void* context, const char* data, size_t size);
    void writeBlock(const Open& block, uint32_t subtreeEnd, uint64_t textEnd, uint8_t mark);
    void frame(uint32_t tag, const void* data, size_t size);

    ReportWriter& out_;
    ViewOptions options_;
    size_t fieldSpan_ = 0;
    uint32_t matched_ = 0;
    std::string spelled_;
    ReportWriter spelling_;
    const TextMeasure& text_;
    ReportWriter values_;
    uint64_t imageSize_;
    Table fields_{view::kFields, view::kFieldBytes};
    Table blocks_{view::kBlocks, view::kBlockWords * 4};
    Table lists_{view::kLists, view::kListWords * 4};
    Table reads_{view::kReads, view::kReadBytes};
    std::vector<Open> open_;
    uint32_t blockCount_ = 0;
    uint32_t fieldCount_ = 0;
    uint32_t listCount_ = 0;
    uint32_t readCount_ = 0;
    bool inElement_ = false;
    bool elementStart_ = false;
    List list_{};
    uint32_t listFirstField_ = 0;
    uint32_t listBlock_ = view::kNoBlock;

    ViewVocabulary vocabulary_;
};

}  // namespace symdeck

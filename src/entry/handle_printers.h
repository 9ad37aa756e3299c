// The printers of an open database's walks (entry/database_handle.h): BlockRecorder, the
// first walk, which writes the JSON lines form only to count it (so that the walk ends where
// that form ends, with its result) and records each block line; and RowPrinter, the later
// walks of some units, which gives back the rows of the blocks asked for, or finds the
// innermost block that holds a byte.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "entry/database_handle.h"
#include "format/events.h"
#include "forms/identity.h"
#include "forms/json_printer.h"
#include "forms/text_printer.h"
#include "forms/utf8.h"
#include "forms/writer.h"

namespace symdeck {

class BlockRecorder {
public:
    BlockRecorder(Database& db, JsonPrinter& json) : db_(db), json_(json) {}

    uint64_t length() const { return json_.length(); }
    void begin() { json_.begin(); }
    void open(const Title& title) {
        json_.open(title);
        if (depth_ > 0 && !opens_[depth_ - 1].settled) settle();
        assert(depth_ < kMaxDepth);
        const uint32_t index = static_cast<uint32_t>(db_.blocks.size());
        db_.blocks.push_back(BlockRecord{title.offset, 0, db_.identities.size(), 0,
                                         depth_ == 0 ? kNoBlock : opens_[depth_ - 1].index,
                                         title.mark == Mark::EntryIndex ? static_cast<uint32_t>(title.number) : kNoPlace,
                                         wordIndex(title.word), static_cast<uint8_t>(depth_)});
        Open& block = opens_[depth_];
        block = Open{IdentityStep{title.word, title.mark, 0, title.position, 0}, index, title.offset + title.size,
                     false};
        if (title.mark == Mark::TypeIndex) block.step.key = static_cast<uint32_t>(title.number);
        ++depth_;
        siblings_[depth_].clear();
        inList_ = false;
    }
    void close() {
        json_.close();
        if (!opens_[depth_ - 1].settled) settle();
        --depth_;
        inList_ = false;
    }
    SYMDECK_INLINE void field(const Field& f) {
        json_.field(f);
        Open& block = opens_[depth_ - 1];
        ++db_.blocks[block.index].fieldCount;
        const uint64_t end = f.offset + f.size;
        if (end > block.end && !block.settled) block.end = end;
        if (keysItsBlock(f) && !inList_) block.step.key = f.value;
    }
    void openList(const List& list) {
        json_.openList(list);
        Open& block = opens_[depth_ - 1];
        const uint64_t end = list.offset + uint64_t{list.count} * list.stride;
        if (end > block.end) block.end = end;
        if (!block.settled) settle();
        inList_ = true;
    }
    void element(const List& list, uint32_t index, uint64_t offset) { json_.element(list, index, offset); }
    void endElement() { json_.endElement(); }
    void closeList(const List& list) {
        json_.closeList(list);
        inList_ = false;
    }
    void openRun(const Run& run) { json_.openRun(run); }
    void closeRun(const Run& run) { json_.closeRun(run); }
    void reads(const Field& f, uint32_t index) { json_.reads(f, index); }
    // A directory entry of a kind the walk does not know: a block line with no fields, at no
    // offset and with no identity (the table form's row for it has none either).
    void unknownSection(int32_t kind) {
        json_.unknownSection(kind);
        db_.blocks.push_back(
            BlockRecord{0, 0, db_.identities.size(), 0, kNoBlock, kNoPlace, wordIndex("UNKNOWN"), 0});
    }
    void end(const Stop& stop) {
        json_.end(stop);
        if (depth_ > 0 && !opens_[depth_ - 1].settled) settle();
        depth_ = 0;
    }

private:
    static constexpr size_t kMaxDepth = 16;
    struct Open {
        IdentityStep step;
        uint32_t index;
        uint64_t end;  // the end of the last byte its fields hold so far
        bool settled;  // its extent and identity are known
    };

    uint16_t wordIndex(std::string_view word) {
        for (size_t i = 0; i < db_.words.size(); ++i)
            if (db_.words[i].data() == word.data() || db_.words[i] == word) return static_cast<uint16_t>(i);
        db_.words.push_back(word);
        return static_cast<uint16_t>(db_.words.size() - 1);
    }
    // The innermost block's extent is known (its list has begun, a block nests in it, or it
    // ends) and so is its key: its size and identity are made as the table form makes them.
    void settle() {
        Open& block = opens_[depth_ - 1];
        block.settled = true;
        BlockRecord& record = db_.blocks[block.index];
        record.size = block.end >= record.offset ? block.end - record.offset : 0;
        IdentityStep& step = block.step;
        if (countsAmongSiblings(step.word, step.mark)) step.among = siblings_[depth_ - 1].next(step.word, step.key);
        std::string& all = db_.identities;
        if (depth_ > 1) {
            const uint32_t parent = opens_[depth_ - 2].index;
            const uint64_t from = identityStart(db_, parent);
            const uint64_t size = db_.blocks[parent].identityEnd - from;
            all.reserve(all.size() + size + 1);
            all.append(all.data() + from, size);
            all += '/';
        }
        char text[256 + kMostStepTail];
        all.append(text, putIdentityStep(text, step));
        record.identityEnd = all.size();
    }

    Database& db_;
    JsonPrinter& json_;
    Open opens_[kMaxDepth] = {};
    SiblingCounts siblings_[kMaxDepth + 1];
    size_t depth_ = 0;
    bool inList_ = false;
};

// The later walks: the rows of blocks [first, end), handed to `visit` block by block in
// order, or (with `holding` set) the innermost block whose rows hold that byte. Blocks are
// numbered as the first walk numbered them, the units passed over counted (passOver); a
// block's rows stop at the count the first walk kept, and once the last block asked for is
// done the printer says its length is past any limit, which stops the walk at its next
// check point.
class RowPrinter {
public:
    RowPrinter(const Database& db, uint64_t first, uint64_t end, BlockVisit visit, void* context)
        : db_(db), first_(first), end_(std::min<uint64_t>(end, db.blocks.size())), visit_(visit),
          context_(context), spell_(stringSink(arena_), 0) {}
    RowPrinter(const Database& db, uint64_t holding)
        : db_(db), first_(0), end_(db.blocks.size()), holding_(holding), finding_(true),
          spell_(stringSink(arena_), 0) {}
    RowPrinter(const RowPrinter&) = delete;  // the writer points into it
    RowPrinter& operator=(const RowPrinter&) = delete;

    uint64_t length() const { return done_ ? ~uint64_t{0} : 0; }
    bool stoppedByVisit() const { return stoppedByVisit_; }
    uint32_t holder() const { return holder_; }

    void begin() {}
    void passOver(uint64_t, uint64_t blocks) { next_ += blocks; }
    void open(const Title&) { openBlock(); }
    void close() {
        deliver();
        --depth_;
        current_ = depth_ == 0 ? kNoBlock : stack_[depth_ - 1];
        rowsLeft_ = 0;
    }
    SYMDECK_INLINE void field(const Field& f) {
        if (rowsLeft_ == 0) return;
        --rowsLeft_;
        if (finding_) {
            if (f.offset <= holding_ && holding_ - f.offset < f.size && (holder_ == kNoBlock || depth_ > holderDepth_)) {
                holder_ = current_;
                holderDepth_ = depth_;
            }
            return;
        }
        if (!collecting_) return;
        rows_.push_back(fieldOf(f));
    }
    void openList(const List& list) {
        inList_ = true;
        list_ = list.subject.key;
    }
    void element(const List&, uint32_t index, uint64_t) { element_ = index; }
    void endElement() {}
    void closeList(const List&) { inList_ = false; }
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t) {
        openBlock();
        deliver();
        --depth_;
        current_ = depth_ == 0 ? kNoBlock : stack_[depth_ - 1];
    }
    void end(const Stop&) {
        deliver();
        depth_ = 0;
    }

private:
    static constexpr size_t kMaxDepth = 16;

    void openBlock() {
        deliver();
        const uint64_t index = next_++;
        if (index >= end_) done_ = true;
        stack_[depth_++] = static_cast<uint32_t>(index);
        current_ = static_cast<uint32_t>(index);
        inList_ = false;
        rowsLeft_ = index < db_.blocks.size() ? db_.blocks[index].fieldCount : 0;
        collecting_ = !finding_ && !done_ && index >= first_;
        if (collecting_) {
            rows_.clear();
            rows_.reserve(rowsLeft_);
            arena_.clear();
        }
    }
    // The rows of the block being collected, when it has them all: a block's rows come
    // together, before any block it holds opens and before it closes.
    void deliver() {
        if (!collecting_) return;
        collecting_ = false;
        if (!visit_(context_, current_, rows_)) {
            stoppedByVisit_ = true;
            done_ = true;
        } else if (current_ + 1 >= end_) {
            done_ = true;
        }
    }
    // The record of field `f`: the program's own words point where they stand; the texts
    // (which the walk's next events may overwrite) are copied into the arena.
    symdeck_field fieldOf(const Field& f) {
        symdeck_field out{};
        out.name = f.name.data();
        out.name_size = f.name.size();
        const std::string_view type = storageWord(f);
        out.type = type.data();
        out.type_size = type.size();
        out.offset = f.offset;
        out.size = f.size;
        const std::string_view role = roleName(f.role);
        out.role = role.data();
        out.role_size = role.size();
        out.is_text = f.role == Role::Signature || f.role == Role::Text;
        // The number as the line gives it: a signed ULONG from 0x80000000 on is negative.
        out.number = f.isSigned && f.size == 4 && f.value >= 0x80000000u ? int64_t{static_cast<int32_t>(f.value)}
                                                                         : int64_t{f.value};
        // The texts' places in the arena, made pointers once the arena has them all.
        size_t text = 0, bytes = 0, word = 0;
        const bool hasWord = !out.is_text && f.meaning == Meaning::Word && f.problem == Problem::None;
        if (out.is_text) {
            text = readable(f.text, out.text_size);
            bytes = arena_.size();
            arena_.append(f.text);
            out.bytes_size = f.text.size();
        } else if (hasWord) {
            word = readable(f.text, out.word_size);
        }
        if (f.target.has()) {
            out.has_target = 1;
            out.target = f.target.at;
            out.target_outside = !f.target.inFile;
            const std::string_view leads = leadsWord(f.target.leads);
            out.leads = leads.data();
            out.leads_size = leads.size();
        }
        if (f.problem != Problem::None) {
            const std::string_view problem = problemCode(f.problem);
            out.problem = problem.data();
            out.problem_size = problem.size();
        }
        const size_t spelling = arena_.size();
        spellValue(spell_, f);
        spell_.flush();
        out.spelling_size = arena_.size() - spelling;
        const char* base = placed();
        out.spelling = base + spelling;
        if (out.is_text) {
            out.text = base + text;
            out.bytes = reinterpret_cast<const uint8_t*>(base + bytes);
        } else if (hasWord) {
            out.word = base + word;
        }
        if (inList_) {
            out.list = list_.data();
            out.list_size = list_.size();
            out.element = element_;
        }
        return out;
    }
    // Where the arena begins, the texts of the rows so far moved along when it has moved.
    const char* placed() {
        if (arena_.data() != base_) {
            const auto moved = [&](auto*& p) {
                if (p) p = reinterpret_cast<std::remove_reference_t<decltype(p)>>(
                           arena_.data() + (reinterpret_cast<const char*>(p) - base_));
            };
            for (symdeck_field& r : rows_) {
                moved(r.text);
                moved(r.bytes);
                moved(r.word);
                moved(r.spelling);
            }
            base_ = arena_.data();
        }
        return base_;
    }
    // `text` as a JSON reader reads the form's string, into the arena (each maximal
    // subsequence that is no UTF-8 becomes one U+FFFD): returns where it begins.
    size_t readable(std::string_view text, size_t& size) {
        const size_t from = arena_.size();
        size_t i = 0;
        while (i < text.size()) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x80) {
                arena_ += text[i++];
                continue;
            }
            const Utf8Sequence sequence = utf8SequenceAt(text.substr(i));
            if (sequence.valid) arena_.append(text.substr(i, sequence.length));
            else arena_ += "\xEF\xBF\xBD";
            i += sequence.length;
        }
        size = arena_.size() - from;
        return from;
    }

    const Database& db_;
    uint64_t first_;
    uint64_t end_;
    BlockVisit visit_ = nullptr;
    void* context_ = nullptr;
    uint64_t holding_ = 0;
    bool finding_ = false;
    uint32_t holder_ = kNoBlock;
    size_t holderDepth_ = 0;

    uint64_t next_ = 0;  // blocks opened so far
    uint32_t stack_[kMaxDepth] = {};
    size_t depth_ = 0;
    uint32_t current_ = kNoBlock;
    uint64_t rowsLeft_ = 0;
    bool collecting_ = false;
    bool done_ = false;
    bool stoppedByVisit_ = false;
    bool inList_ = false;
    std::string_view list_ = "";
    uint32_t element_ = 0;
    std::vector<symdeck_field> rows_;
    std::string arena_;
    const char* base_ = nullptr;  // where the rows' texts point into the arena
    ReportWriter spell_;  // the text report's spelling of each value, into arena_
};

}  // namespace symdeck

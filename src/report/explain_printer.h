// Explain: which blocks and fields of the walk hold given bytes of the database.
//
// The explain printer rides along the text form: every event also goes to a text printer
// whose output is only counted, so the walk checks the same size limit and ends exactly
// where the text report would end. Each field event (and the text of each name a field
// reads) is looked up among the asked offsets, sorted once; a byte inside it is a hit,
// recorded with the chain of open blocks. For a byte that no field holds, the nearest
// fields before and after it are kept, through one slot per asked offset.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "report/events.h"
#include "report/text_printer.h"
#include "report/writer.h"

namespace symdeck {

// The readIndex of a field that the report shows.
inline constexpr uint32_t kShown = kNoIndex - 1;

// One place that holds an asked byte.
struct ExplainHit {
    std::vector<Title> chain;  // the open blocks, outermost first
    Field field;
    bool inList = false;  // the field is (part of) element `element` of list `list`
    List list{};
    uint32_t element = 0;
    bool inText = false;  // the byte is in the text the field names, not in the field
    // A field the walk reads but no form shows: kShown for a shown one, else its index in
    // the array the field's name names (kNoIndex: no array).
    uint32_t readIndex = kShown;
    std::string value;    // the field's value as the text report shows it
};

// The field nearest to a byte that no field holds, on one side of it.
struct Neighbour {
    bool found = false;
    Title block{};  // the innermost block the field is in (word empty: none)
    std::string_view field;
    bool inText = false;
    uint64_t start = 0;
    uint64_t end = 0;  // one past its last byte
};

// A directory entry, as the walk saw it: where each section lies and of which kind.
struct SectionExtent {
    uint32_t kind = 0;
    std::string_view name;  // the kind's name, empty for an unknown kind
    uint64_t offset = 0;
    uint64_t length = 0;
};

class ExplainPrinter {
public:
    // `sorted`: the asked offsets, sorted and without duplicates; `counting` takes the
    // text that the text printer writes and only counts it.
    ExplainPrinter(std::span<const uint64_t> sorted, uint64_t imageSize, ReportWriter& counting);

    uint64_t length() const { return text_.length(); }
    void begin() { text_.begin(); }
    void open(const Title& title) {
        text_.open(title);
        settle();
        stack_.push_back(title);
    }
    void close() {
        text_.close();
        settle();
        if (!stack_.empty()) stack_.pop_back();
    }
    SYMDECK_INLINE void field(const Field& f) {
        text_.field(f);
        look(f, f.offset, f.size, false);
        if (f.textOffset != kNotInFile && f.textOffset != f.offset) lookText(f);
        if (!stack_.empty() && stack_.back().mark == Mark::EntryIndex) noteEntry(f);
    }
    void openList(const List& list) {
        text_.openList(list);
        list_ = list;
    }
    void element(const List& list, uint32_t index, uint64_t offset) {
        text_.element(list, index, offset);
        inElement_ = true;
        element_ = index;
    }
    void endElement() {
        text_.endElement();
        inElement_ = false;
    }
    void closeList(const List& list) {
        text_.closeList(list);
        inElement_ = false;
    }
    void openRun(const Run& run) { text_.openRun(run); }
    void closeRun(const Run& run) { text_.closeRun(run); }
    SYMDECK_INLINE void reads(const Field& f, uint32_t index) {
        readIndex_ = index;
        look(f, f.offset, f.size, false);
        readIndex_ = kShown;
    }
    void unknownSection(int32_t kind) { text_.unknownSection(kind); }
    void end(const Stop& stop) {
        text_.end(stop);
        settle();
        stop_ = stop;
    }

    // After the walk.
    const std::vector<ExplainHit>& hits(size_t i) const { return hits_[i]; }
    // Places beyond the first kMaxHits that hold sorted offset i: a damaged database can
    // point a million fields at one name, and each answer holds a copy of its chain.
    static constexpr size_t kMaxHits = 100;
    uint64_t moreHits(size_t i) const { return moreHits_[i]; }
    // The nearest fields before and after sorted offset i (meaningful when it has no hit).
    Neighbour before(size_t i) const;
    Neighbour after(size_t i) const;
    const Stop& stop() const { return stop_; }
    const std::vector<SectionExtent>& sections() const { return sections_; }

private:
    // The index of the first asked offset at or after `offset`. The walk mostly moves
    // forward through the file, so the last answer is tried first.
    // Fields and the names they read have a hint each: names jump about the string data.
    SYMDECK_INLINE size_t lowerBound(uint64_t offset, size_t& hint) const {
        const size_t n = sorted_.size();
        if ((hint == n || sorted_[hint] >= offset) && (hint == 0 || sorted_[hint - 1] < offset))
            return hint;
        return hint = slowLowerBound(offset);
    }
    size_t slowLowerBound(uint64_t offset) const;

    SYMDECK_INLINE void look(const Field& f, uint64_t start, uint64_t width, bool inText) {
        if (sorted_.empty() || width == 0) return;
        const size_t first = lowerBound(start, inText ? textHint_ : hint_);
        const uint64_t end = start + width;
        size_t i = first;
        if (i < sorted_.size() && sorted_[i] < end) i = record(f, i, end, inText);
        // Every asked offset from i on lies at or after the field's end: the field is a
        // candidate for the nearest one before them. Those before `first` lie before it.
        // Most fields are such candidates, so the best of a block's candidates waits in
        // `pending_` and takes the block's title only once, when the block changes.
        if (i < sorted_.size()) {
            if (pending_.found && pending_.slot != i) settle();
            if (!pending_.found || pending_.end < end) pending_ = {true, i, f.name, inText, start, end};
        }
        if (first > 0 && (!after_[first - 1].found || after_[first - 1].start > start))
            after_[first - 1] = neighbour(f, start, end, inText);
    }
    void lookText(const Field& f);
    // Records the hits of asked offsets from `i` on that lie before `end`; returns the
    // first index past them.
    size_t record(const Field& f, size_t i, uint64_t end, bool inText);
    Neighbour neighbour(const Field& f, uint64_t start, uint64_t end, bool inText) const {
        return Neighbour{true, stack_.empty() ? Title{} : stack_.back(), f.name, inText, start, end};
    }
    void noteEntry(const Field& f);
    // Gives the pending candidate the innermost block's title and keeps it if it is the best
    // for its slot.
    void settle() {
        if (!pending_.found) return;
        Neighbour& best = before_[pending_.slot];
        if (!best.found || best.end < pending_.end)
            best = Neighbour{true, stack_.empty() ? Title{} : stack_.back(), pending_.field,
                             pending_.inText, pending_.start, pending_.end};
        pending_.found = false;
    }
    struct Candidate {
        bool found = false;
        size_t slot = 0;
        std::string_view field;
        bool inText = false;
        uint64_t start = 0;
        uint64_t end = 0;
    };
    Candidate pending_;

    std::span<const uint64_t> sorted_;
    uint64_t imageSize_;
    TextPrinter text_;
    std::vector<Title> stack_;
    List list_{};
    bool inElement_ = false;
    uint32_t element_ = 0;
    uint32_t readIndex_ = kShown;
    size_t hint_ = 0;
    size_t textHint_ = 0;
    std::vector<std::vector<ExplainHit>> hits_;
    std::vector<uint64_t> moreHits_;
    // Slot i of before_: of the fields that end after sorted_[i - 1] and by sorted_[i], the
    // one that ends last; the nearest field before sorted_[i] is the best of slots 0 to i.
    // Slot i of after_: of the fields that begin after sorted_[i] and by sorted_[i + 1], the
    // one that begins first; the nearest after sorted_[i] is the best of slots i to the end.
    std::vector<Neighbour> before_;
    std::vector<Neighbour> after_;
    std::vector<SectionExtent> sections_;
    Stop stop_{};
};

// The explanation of every offset in `offsets` (in the order given) after the walk, as
// lines of text, or as a JSON array when `json` is set. `sorted` is what the printer was
// made with; `leftOut` are the sections that the selection kept the walk out of.
struct Explanation {
    std::string text;
    WalkEnd end = WalkEnd::Complete;
};
Explanation explainOffsets(const ExplainPrinter& printer, std::span<const uint64_t> sorted,
                           std::span<const uint64_t> offsets, uint64_t imageSize,
                           std::span<const SectionExtent> leftOut, bool json);

}  // namespace symdeck

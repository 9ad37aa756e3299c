// Explain: which blocks and fields of the walk hold given bytes of the database.
//
// The explain printer rides along the text form (paired with a TextMeasure, so the walk
// checks the same size limit and ends exactly where the text report would end). Each field event (and the text of each name a field
// reads) is looked up among the asked offsets, sorted once; a byte inside it is a hit,
// recorded with the chain of open blocks. For a byte that no field holds, the nearest
// fields before and after it are kept, through one slot per asked offset.
//
// The cost stays linear in the offsets and the walk, whatever the walk finds: a field is
// found among the offsets by a short search from where the last one was, a place that
// holds many offsets is stored once and named by each, an offset that already has its
// kMaxHits places is passed over (the places beyond are only counted, through one
// difference array), and the nearest fields are settled for every offset in one pass after
// the walk.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/events.h"
#include "forms/writer.h"

namespace symdeck {

// The readIndex of a field that the report shows.
inline constexpr uint32_t kShown = kNoIndex - 1;

// One place that holds asked bytes: a field, or the text it names, with the blocks open
// around it. Stored once however many asked offsets lie in it.
struct ExplainPlace {
    Field field;
    size_t chain = 0;  // its open blocks, outermost first: chainDepth titles from here on
    uint32_t chainDepth = 0;
    bool inList = false;  // the field is (part of) element `element` of list `list`
    bool inText = false;  // the bytes are in the text the field names, not in the field
    uint32_t element = 0;
    List list{};
    // A field the walk reads but no form shows: kShown for a shown one, else its index in
    // the array the field's name names (kNoIndex: no array).
    uint32_t readIndex = kShown;
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

// A directory entry of a known kind, as the walk saw it: where its section lies (offEntry
// and entryLength), of which kind, and whether the selection leaves it out.
struct SectionExtent {
    uint32_t kind = 0;
    std::string_view name;  // the kind's name
    uint64_t offset = 0;
    uint64_t length = 0;
    bool leftOut = false;
};

class ExplainPrinter {
public:
    // `sorted`: the asked offsets, sorted and without duplicates.
    ExplainPrinter(std::span<const uint64_t> sorted, uint64_t imageSize);

    void begin() {}
    void open(const Title& title) {
        settle();
        stack_.push_back(title);
        chainStale_ = true;
    }
    void close() {
        settle();
        if (!stack_.empty()) stack_.pop_back();
        chainStale_ = true;
    }
    SYMDECK_INLINE void field(const Field& f) {
        look(f, f.offset, f.size, false);
        if (f.textOffset != kNotInFile && f.textOffset != f.offset) lookText(f);
        if (!stack_.empty() && stack_.back().mark == Mark::EntryIndex) noteEntry(f);
    }
    void openList(const List& list) { list_ = list; }
    void element(const List&, uint32_t index, uint64_t) {
        inElement_ = true;
        element_ = index;
    }
    void endElement() { inElement_ = false; }
    void closeList(const List&) { inElement_ = false; }
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    SYMDECK_INLINE void reads(const Field& f, uint32_t index) {
        readIndex_ = index;
        look(f, f.offset, f.size, false);
        readIndex_ = kShown;
    }
    void unknownSection(int32_t) {}
    // The walk's last event: settles what the walk left pending for every offset.
    void end(const Stop& stop);

    // After the walk. Slot i is the i-th of the sorted offsets.
    std::span<const uint64_t> sorted() const { return sorted_; }
    uint64_t imageSize() const { return imageSize_; }
    // The places that hold sorted offset i, in walk order, as indices for place().
    std::span<const size_t> hits(size_t i) const {
        return std::span<const size_t>(bySlot_).subspan(firstHit_[i], firstHit_[i + 1] - firstHit_[i]);
    }
    const ExplainPlace& place(size_t index) const { return places_[index]; }
    std::span<const Title> chain(const ExplainPlace& place) const {
        return std::span<const Title>(chains_).subspan(place.chain, place.chainDepth);
    }
    // Places beyond the first kMaxHits that hold sorted offset i: a damaged database can
    // point a million fields at one name.
    static constexpr size_t kMaxHits = 100;
    uint64_t moreHits(size_t i) const { return more_[i]; }
    // The nearest fields before and after sorted offset i (meaningful when it has no hit).
    const Neighbour& before(size_t i) const { return before_[i]; }
    const Neighbour& after(size_t i) const { return after_[i]; }
    const Stop& stop() const { return stop_; }
    // The directory entries of known kinds, in directory order.
    const std::deque<SectionExtent>& sections() const { return sections_; }

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
    // The first index from `first` on whose offset is at or after `end`, found by doubling
    // steps from `first`: the cost grows with the log of the offsets a field holds.
    size_t endOfRange(size_t first, uint64_t end) const;

    SYMDECK_INLINE void look(const Field& f, uint64_t start, uint64_t width, bool inText) {
        if (sorted_.empty() || width == 0) return;
        size_t& hint = inText ? textHint_ : hint_;
        const size_t first = lowerBound(start, hint);
        const uint64_t end = start + width;
        size_t i = first;
        if (i < sorted_.size() && sorted_[i] < end) {
            i = endOfRange(first, end);
            record(f, first, i, inText);
            hint = i;  // the next field most likely begins where this one ends
        }
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
    // Records the field as a place of the asked offsets [first, last): each that has fewer
    // than kMaxHits places gets it; the others only count it.
    void record(const Field& f, size_t first, size_t last, bool inText);
    // The first slot from i on that has room for another place (the slot count when none).
    size_t nextOpen(size_t i);
    Neighbour neighbour(const Field& f, uint64_t start, uint64_t end, bool inText) const {
        return Neighbour{true, stack_.empty() ? Title{} : stack_.back(), f.name, inText, start, end};
    }
    // A field of a directory entry (a block marked EntryIndex): its kind is the Enum field,
    // the section's start the Offset field, whose target says whether the selection leaves
    // the section out, and its length the Size field.
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
    std::vector<Title> stack_;
    List list_{};
    bool inElement_ = false;
    uint32_t element_ = 0;
    uint32_t readIndex_ = kShown;
    size_t hint_ = 0;
    size_t textHint_ = 0;

    // The places found, and the open blocks of each: a copy of the stack is made only when
    // it has changed since the last place.
    std::vector<ExplainPlace> places_;
    std::vector<Title> chains_;
    bool chainStale_ = true;
    size_t chain_ = 0;
    // During the walk: (slot, place) for every place kept, in walk order; per slot, how
    // many it has; the skip links past full slots; +1 at a place's first slot and -1 past
    // its last, whose running sum is how many places hold each slot.
    struct Found {
        size_t slot;
        size_t place;
    };
    std::vector<Found> found_;
    std::vector<uint8_t> kept_;
    static_assert(kMaxHits < 256, "a slot's count of kept places is one byte");
    std::vector<size_t> open_;
    std::vector<uint64_t> more_;
    // After the walk: the places of slot i are bySlot_[firstHit_[i] .. firstHit_[i + 1]).
    std::vector<size_t> firstHit_;
    std::vector<size_t> bySlot_;

    // Slot i of before_: during the walk, of the fields that end after sorted_[i - 1] and
    // by sorted_[i], the one that ends last; after it, the nearest field before sorted_[i].
    // Slot i of after_: during the walk, of the fields that begin after sorted_[i] and by
    // sorted_[i + 1], the one that begins first; after it, the nearest after sorted_[i].
    std::vector<Neighbour> before_;
    std::vector<Neighbour> after_;
    // The kind of the current directory entry, from its Enum field: its number, and its
    // name when the kind is known.
    uint32_t entryKind_ = 0;
    std::string_view entryName_;
    bool noting_ = false;  // the current directory entry is one of sections_
    // A deque: a directory of a million entries grows it without copies.
    std::deque<SectionExtent> sections_;
    Stop stop_{};
};

}  // namespace symdeck

// The map of a database: its units, the blocks a walk can pass over whole or start at. The
// units are the NM32 header, the NMDR directory, every section, and every block of a run
// that the format marks as units (the segments of the symbol data). Each unit is mapped with its title
// (what it is and where: word, offset, fixed size, mark and number, its place among its
// run), its parent unit, the units inside it, its range in the text report, and the bytes
// its own fields hold and the names they read (its subtree's, less its inner units').
//
// The map is one walk with MapPrinter (paired with a TextMeasure, so that every unit's text
// range is exact and the walk ends where the report ends), or two walks that share out the
// units inside the top-level units, their maps joined into the same map (UnitShares). A later walk of the same
// database with the same selection can then pass over any unit that the map saw whole:
// Skipping<Form> has the walk pass over the units a plan leaves out, and the text's measure
// jumps over their text, so every check of the size limit falls exactly as in the whole
// walk and the units that are walked give exactly the events the whole walk gives there.
//
// Deeper blocks are not mapped: they are found again by walking their unit alone.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "format/events.h"
#include "forms/text_measure.h"
#include "forms/view_vocabulary.h"

namespace symdeck {

inline constexpr uint32_t kNoUnit = ~uint32_t{0};

// Bytes [lo, hi) of the file; empty when lo >= hi.
struct ByteSpan {
    uint64_t lo = ~uint64_t{0};
    uint64_t hi = 0;

    bool empty() const { return lo >= hi; }
    bool holds(uint64_t offset) const { return lo <= offset && offset < hi; }
};

// The bytes a unit's fields hold, as a few spans that cover them: a field joins the span it
// lies within kGap bytes of, else opens a span of its own while there is room, else widens
// the span nearest to it. Every span begins where one of its fields begins and ends where
// one ends. A segment's record lies in the array of records and its blocks far behind it, so
// one span would cover every segment between.
struct SpanSet {
    static constexpr size_t kSpans = 6;
    static constexpr uint64_t kGap = 4096;
    ByteSpan spans[kSpans];
    uint8_t count = 0;
    uint8_t last = 0;  // the span the last field joined

    SYMDECK_INLINE void add(uint64_t start, uint64_t end) {
        if (start >= end) return;
        ByteSpan& hint = spans[last];
        if (count != 0 && start <= hint.hi + kGap && end + kGap >= hint.lo) {
            if (start < hint.lo) hint.lo = start;
            if (end > hint.hi) hint.hi = end;
            return;
        }
        addFar(start, end);
    }
    void addFar(uint64_t start, uint64_t end);
    std::span<const ByteSpan> all() const { return {spans, count}; }
};

struct MapUnit {
    Title title;             // as the walk opened it (a group's: its sequence's word, first element)
    uint32_t groupEnd = 0;   // a group of a long sequence: one past its last element; else 0
    uint32_t parent = kNoUnit;
    uint32_t end = 0;        // one past the last unit inside it (units are in walk order)
    uint32_t depth = 0;      // among units: 0 for the header, the directory and the sections
    bool complete = false;   // the walk closed it (did not stop inside it)
    uint64_t textStart = 0;  // its bytes of the text report, title to closing line
    uint64_t textEnd = 0;
    uint64_t fieldsBefore = 0;  // field events of the walk before the unit's first
    uint64_t fieldEnd = 0;      // ... and one past its last
    uint32_t blocksBefore = 0;  // blocks the walk opened before the unit
    uint32_t blockEnd = 0;      // ... and up to its close, itself and all inside it
    // Fields of the walk with a problem before the unit, and up to its close (counted when
    // the map measured the text exactly: the text printer counts them).
    FieldProblems problemsBefore;
    FieldProblems problemsEnd;
    SpanSet fields;  // bytes its own fields hold (and the fields the walk only reads)
    SpanSet texts;   // bytes of the names its own fields read, with their NULs
};

struct DatabaseMap {
    std::vector<MapUnit> units;
    Stop stop{};
    // Whether the units' text ranges are the text report's. A map made with the text's
    // bound (Measure::Bound) gives, instead of each range, one at least as long at a place
    // at least as far; when the bound stayed below the size limit to the end (`withinLimit`),
    // no walk of the database can stop at the limit, so a walk need not measure its text.
    bool textMeasured = true;
    bool withinLimit = true;
    uint64_t textLength = 0;  // of the whole report (its bound when not measured)
    uint64_t fieldCount = 0;  // field events of the whole walk
    // A directory may name a million sections: the map keeps at most kMostUnits units, and
    // a map that had more (`capped`) maps only those and is no plan for a walk.
    static constexpr size_t kMostUnits = size_t{1} << 14;
    bool capped = false;
    // How long lists and runs are cut into groups, units of their own.
    Grouping grouping;
    // The view form's words and kinds in the whole walk's order, when the map was made with
    // them (for walks of the view form that pass over units): a view walk that records no
    // field numbers them.
    ViewVocabulary vocabulary;
    bool hasVocabulary = false;
};

// Two walks of one database may share out the units inside the top-level units (the
// segments of the symbol data, the groups of long sequences): each such unit is walked by
// the walk that reaches it first and passed over by the other, and the two maps are then
// joined into the one map a single walk makes (joinSharedMaps). The units are numbered in
// walk order, the order in which both walks meet them; `next` is the first not yet taken.
// `alternate`: instead, the first walk takes the even-numbered units and the second the
// odd ones, whether the two run at once or one after the other (a split that tests can
// repeat).
struct UnitShares {
    std::atomic<uint32_t> next{0};
    bool alternate = false;
};

// What one of two sharing walks saw of the shared units, beside its map.
struct ShareLog {
    struct Shared {
        uint32_t at;      // the walk's units before it (where it stands in the walk's map)
        uint32_t parent;  // the unit that holds it, in the walk's map
        uint32_t blocks;  // the walk's blocks, fields and text (its bound) before it
        uint64_t fields;
        uint64_t text;
        uint32_t root;    // where it stands in the walk's map, when this walk took it; else kNoUnit
    };
    std::vector<Shared> shared;
    // For each unit of the walk's map: the shared units met before it opened, and before it closed.
    std::vector<uint32_t> opened;
    std::vector<uint32_t> closed;
};

// Records the units of a walk into `map` (the walk's events do not reach any form).
class MapPrinter {
public:
    // `text` measures the text exactly, or bounds it (DatabaseMap).
    MapPrinter(DatabaseMap& map, const TextMeasure& text, uint64_t imageSize)
        : map_(map), text_(text), imageSize_(imageSize) {
        stack_.reserve(16);
        map_.textMeasured = text.exact();
    }
    MapPrinter(const MapPrinter&) = delete;  // it points into itself
    MapPrinter& operator=(const MapPrinter&) = delete;

    // Shares the units inside the top-level units with another walk (UnitShares); `log`
    // records what this walk saw of them.
    void shareWith(UnitShares& shares, ShareLog& log, bool second) {
        shares_ = &shares;
        log_ = &log;
        second_ = second;
    }

    uint64_t length() const { return text_.length(); }
    void begin() {}
    bool skipUnit() {
        if (shares_ && leftToOther()) return true;
        unitNext_ = true;
        return false;
    }
    // Most blocks are no unit: they only count, inline.
    SYMDECK_INLINE void open(const Title& title) {
        const uint32_t before = blocks_++;
        if (unitNext_) return openUnitBlock(title, before);
        ++(stack_.empty() ? plainOutside_ : stack_.back().plain);
    }
    SYMDECK_INLINE void close() {
        uint32_t& plain = stack_.empty() ? plainOutside_ : stack_.back().plain;
        if (plain != 0) {
            --plain;
            return;
        }
        closeUnit();
    }
    uint32_t groupSize(uint32_t count) const { return map_.grouping.size(count); }
    bool skipGroup(const Group& group) {
        if (shares_ && leftToOther()) return true;
        openUnit(group.title, group.end, blocks_);
        return false;
    }
    void endGroup() { closeUnit(); }
    SYMDECK_INLINE void field(const Field& f) {
        ++fields_;
        fieldSpans_->add(f.offset, f.offset + f.size);
        if (f.textOffset != kNotInFile && f.textOffset != f.offset && f.textOffset < imageSize_) {
            const uint64_t width = f.text.size() + 1;
            textSpans_->add(f.textOffset, f.textOffset + std::min(width, imageSize_ - f.textOffset));
        }
    }
    void openList(const List&) {}
    void element(const List&, uint32_t, uint64_t) {}
    void endElement() {}
    void closeList(const List&) {}
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    SYMDECK_INLINE void reads(const Field& f, uint32_t) {
        fieldSpans_->add(f.offset, f.offset + f.size);
    }
    void unknownSection(int32_t) { ++blocks_; }
    void end(const Stop& stop);

private:
    // The units open, innermost last, each with the blocks open inside it that are no unit
    // and hold no open unit (`plainOutside_`: such blocks outside every unit).
    struct Open {
        uint32_t unit;  // kNoUnit: one the map has no room for
        uint32_t plain = 0;
    };
    void openUnitBlock(const Title& title, uint32_t blocksBefore);
    void openUnit(const Title& title, uint32_t groupEnd, uint32_t blocksBefore);
    void closeUnit();
    bool leftToOther();
    DatabaseMap& map_;
    const TextMeasure& text_;
    uint64_t imageSize_;
    std::vector<Open> stack_;
    uint32_t plainOutside_ = 0;
    uint32_t current_ = kNoUnit;  // the innermost open unit
    // Where a field's bytes go: the innermost open unit's spans, or (outside every unit)
    // spans that are never read. Set again whenever the innermost unit changes.
    SpanSet outside_[2];
    SpanSet* fieldSpans_ = &outside_[0];
    SpanSet* textSpans_ = &outside_[1];
    void innermost(uint32_t unit);
    bool unitNext_ = false;       // the next block opened is a unit
    uint64_t fields_ = 0;
    uint32_t blocks_ = 0;
    UnitShares* shares_ = nullptr;
    ShareLog* log_ = nullptr;
    bool second_ = false;
    bool takeNext_ = false;        // the next unit opened is a shared unit this walk took
    uint32_t taken_ = kNoUnit;     // the shared unit this walk is inside, if any
};

// The map that one walk of the whole database makes, from the maps of two walks that shared
// out its units (UnitShares), each with its log. Empty when the two cannot be joined into it:
// when either walk stopped or had more units than the map keeps, or when the joined bound
// reaches `limit` (the size limit of the text report), where a single walk might have stopped.
std::optional<DatabaseMap> joinSharedMaps(const DatabaseMap& first, const ShareLog& firstLog,
                                          const DatabaseMap& second, const ShareLog& secondLog,
                                          uint64_t limit);

// Hands the walk's events to `Form`, but has the walk pass over every unit of `map` that
// `walked` does not mark (walked[i] for unit i; a unit passed over is passed over with all
// inside it). The map must be of the same database with the same selection.
template <class Form>
class Skipping {
public:
    Skipping(Form& form, const DatabaseMap& map, std::span<const bool> walked)
        : form_(form), map_(map), walked_(walked) {}

    // A form that measures its own output for the size limit says its length.
    uint64_t length() const
        requires requires(const Form& f) { f.length(); }
    {
        return form_.length();
    }
    void begin() { form_.begin(); }
    // The unit that begins now is next_; passing over it moves on past all inside it.
    // A group is a unit too.
    uint32_t groupSize(uint32_t count) const { return map_.grouping.size(count); }
    bool skipGroup(const Group&) { return skipUnit(); }
    void endGroup() {}
    bool skipUnit() {
        const uint32_t unit = next_;
        if (unit >= map_.units.size()) return false;
        const MapUnit& u = map_.units[unit];
        if (walked_[unit] || !u.complete) {
            ++next_;
            return false;
        }
        next_ = u.end;
        skipped_ = u.textEnd - u.textStart;
        skippedProblems_ = FieldProblems{u.problemsEnd.damaged - u.problemsBefore.damaged,
                                         u.problemsEnd.unknown - u.problemsBefore.unknown};
        if constexpr (requires { form_.passOver(uint64_t{}, uint64_t{}); })
            form_.passOver(u.fieldEnd - u.fieldsBefore, u.blockEnd - u.blocksBefore);
        return true;
    }
    // The text the last unit passed over would have written, and the fields with a problem
    // that it holds.
    uint64_t skippedText() const { return skipped_; }
    const FieldProblems& skippedProblems() const { return skippedProblems_; }
    void open(const Title& title) { form_.open(title); }
    void close() { form_.close(); }
    SYMDECK_INLINE void field(const Field& f) { form_.field(f); }
    void openList(const List& list) { form_.openList(list); }
    void element(const List& list, uint32_t index, uint64_t offset) { form_.element(list, index, offset); }
    void endElement() { form_.endElement(); }
    void closeList(const List& list) { form_.closeList(list); }
    void openRun(const Run& run) { form_.openRun(run); }
    void closeRun(const Run& run) { form_.closeRun(run); }
    SYMDECK_INLINE void reads(const Field& f, uint32_t index) { form_.reads(f, index); }
    void unknownSection(int32_t kind) { form_.unknownSection(kind); }
    void end(const Stop& stop) { form_.end(stop); }

    Form& form() { return form_; }

private:
    Form& form_;
    const DatabaseMap& map_;
    std::span<const bool> walked_;
    uint32_t next_ = 0;
    uint64_t skipped_ = 0;
    FieldProblems skippedProblems_;
};

// The map as JSON lines, one object a unit in walk order, then one for the whole walk:
//   {"unit":0,"block":"NM32_HEADER","offset":0,"size":324,"parent":null,"depth":0,
//    "index":0,"count":1,"complete":true,"text":[0,1234],"fields":[0,18],
//    "bytes":[[0,324]],"names":[]}
//   {"end":"complete","units":10,"textLength":9012,"fieldCount":345}
// A directory entry's title adds "entryIndex", a type record's "typeIndex" and a section's
// "sectionEnd" (its mark's number). A group of a long list or run is titled by the list's
// or run's word at its first element, and adds "elements": [first, end) ("index" is the
// first, "count" the list's). "text" is the unit's range of the text report, "fields"
// its range of the walk's field events, "bytes" and "names" the spans that cover its own
// fields and the names they read; "parent" is a unit's number.
void writeMapLines(const DatabaseMap& map, ReportWriter& out);

// The units a walk must visit so that a printer that looks for the bytes at `sorted`
// (ascending, no duplicates) sees every field that holds one or reads a name that holds
// one, and the nearest fields before and after each (ties included): the units whose own
// fields or names hold an offset, those whose fields or names end last before it or begin
// first after it, and every unit that holds one of these.
std::vector<bool> unitsToWalk(const DatabaseMap& map, std::span<const uint64_t> sorted);

// The units a walk must visit to meet every field that touches a span of `bytes` or whose
// number lies in a span of `fields` (each list in increasing order, spans [from, to)): those
// whose own fields touch a byte span, those whose fields' numbers meet a field span, and
// every unit that holds one of these.
struct ViewSpan;
std::vector<bool> unitsForFields(const DatabaseMap& map, std::span<const ViewSpan> bytes,
                                 std::span<const ViewSpan> fields);

}  // namespace symdeck

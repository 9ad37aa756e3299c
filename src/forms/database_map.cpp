#include "forms/database_map.h"

#include <algorithm>

#include "forms/json_printer.h"
#include "forms/view_printer.h"

namespace symdeck {

void SpanSet::addFar(uint64_t start, uint64_t end) {
    auto distance = [&](const ByteSpan& span) -> uint64_t {
        if (end < span.lo) return span.lo - end;
        if (start > span.hi) return start - span.hi;
        return 0;
    };
    // The nearest span, the first of equals; none is nearer than one that touches the field.
    size_t nearest = kSpans;
    uint64_t least = ~uint64_t{0};
    for (size_t i = 0; i < count && least != 0; ++i) {
        const uint64_t d = distance(spans[i]);
        if (nearest == kSpans || d < least) {
            nearest = i;
            least = d;
        }
    }
    if (nearest == kSpans || (least > kGap && count < kSpans)) {
        spans[count] = ByteSpan{start, end};
        last = count++;
        return;
    }
    ByteSpan& span = spans[nearest];
    if (start < span.lo) span.lo = start;
    if (end > span.hi) span.hi = end;
    last = static_cast<uint8_t>(nearest);
}

void MapPrinter::openUnitBlock(const Title& title, uint32_t before) {
    unitNext_ = false;
    openUnit(title, 0, before);
}

void MapPrinter::openUnit(const Title& title, uint32_t groupEnd, uint32_t before) {
    if (map_.units.size() == DatabaseMap::kMostUnits) {
        map_.capped = true;
        stack_.push_back(Open{kNoUnit});
        return;
    }
    const auto index = static_cast<uint32_t>(map_.units.size());
    MapUnit unit;
    unit.title = title;
    unit.groupEnd = groupEnd;
    unit.parent = current_;
    unit.depth = current_ == kNoUnit ? 0 : map_.units[current_].depth + 1;
    unit.textStart = text_.lengthBefore();
    unit.fieldsBefore = fields_;
    unit.blocksBefore = before;
    unit.problemsBefore = text_.problems();
    map_.units.push_back(unit);
    stack_.push_back(Open{index});
    innermost(index);
    if (log_) {
        log_->opened.push_back(static_cast<uint32_t>(log_->shared.size()));
        log_->closed.push_back(0);
        if (takeNext_) taken_ = index;
        takeNext_ = false;
    }
}

bool MapPrinter::leftToOther() {
    // The top-level units are every walk's; inside a unit this walk took, all is its own.
    if (current_ == kNoUnit || taken_ != kNoUnit) return false;
    const auto id = static_cast<uint32_t>(log_->shared.size());
    const auto at = static_cast<uint32_t>(map_.units.size());
    log_->shared.push_back(ShareLog::Shared{at, current_, blocks_, fields_, text_.length(), kNoUnit});
    if (shares_->alternate) {
        if ((id % 2 == 1) != second_) return true;
    } else {
        // Both walks meet the shared units in the same order, and a walk that meets unit
        // `id` has seen every one before it taken, so `next` is `id` unless the other walk
        // took it.
        uint32_t expected = id;
        if (!shares_->next.compare_exchange_strong(expected, id + 1)) return true;
    }
    log_->shared.back().root = at;
    takeNext_ = true;
    return false;
}

void MapPrinter::innermost(uint32_t unit) {
    current_ = unit;
    fieldSpans_ = unit == kNoUnit ? &outside_[0] : &map_.units[unit].fields;
    textSpans_ = unit == kNoUnit ? &outside_[1] : &map_.units[unit].texts;
}

void MapPrinter::closeUnit() {
    if (stack_.empty()) return;
    const uint32_t index = stack_.back().unit;
    stack_.pop_back();
    if (index == kNoUnit) return;
    MapUnit& unit = map_.units[index];
    unit.complete = true;
    unit.textEnd = text_.length();
    unit.fieldEnd = fields_;
    unit.blockEnd = blocks_;
    unit.problemsEnd = text_.problems();
    unit.end = static_cast<uint32_t>(map_.units.size());
    innermost(unit.parent);
    if (log_) {
        log_->closed[index] = static_cast<uint32_t>(log_->shared.size());
        if (index == taken_) taken_ = kNoUnit;
    }
}

void MapPrinter::end(const Stop& stop) {
    map_.stop = stop;
    map_.textLength = text_.length();
    // A bound that reached the limit ended the walk where the text might not have.
    map_.withinLimit = map_.textMeasured || stop.end != WalkEnd::Limit;
    map_.fieldCount = fields_;
    // The units the walk stopped inside end where the walk ended.
    for (const Open& open : stack_) {
        if (open.unit == kNoUnit) continue;
        MapUnit& unit = map_.units[open.unit];
        unit.textEnd = map_.textLength;
        unit.fieldEnd = fields_;
        unit.blockEnd = blocks_;
        unit.problemsEnd = text_.problems();
        unit.end = static_cast<uint32_t>(map_.units.size());
    }
}

namespace {

void pair(ReportWriter& out, uint64_t a, uint64_t b) {
    out.ch('[');
    out.decimal(a);
    out.ch(',');
    out.decimal(b);
    out.ch(']');
}

void spans(ReportWriter& out, const SpanSet& set) {
    out.ch('[');
    for (size_t i = 0; i < set.count; ++i) {
        if (i > 0) out.ch(',');
        pair(out, set.spans[i].lo, set.spans[i].hi);
    }
    out.ch(']');
}

constexpr std::string_view kEndWords[] = {"complete", "bounds", "signature", "limit"};
constexpr std::string_view kMarkMembers[] = {"", ",\"sectionEnd\":", ",\"entryIndex\":", ",\"typeIndex\":"};

}  // namespace

void writeMapLines(const DatabaseMap& map, ReportWriter& out) {
    for (size_t i = 0; i < map.units.size(); ++i) {
        const MapUnit& unit = map.units[i];
        out.text("{\"unit\":");
        out.decimal(i);
        out.text(",\"block\":");
        writeJsonString(out, unit.title.word);
        out.text(",\"offset\":");
        out.decimal(unit.title.offset);
        out.text(",\"size\":");
        out.decimal(unit.title.size);
        if (unit.title.mark != Mark::None) {
            out.text(kMarkMembers[static_cast<unsigned>(unit.title.mark)]);
            out.decimal(unit.title.number);
        }
        out.text(",\"parent\":");
        if (unit.parent == kNoUnit) out.text("null");
        else out.decimal(unit.parent);
        out.text(",\"depth\":");
        out.decimal(unit.depth);
        out.text(",\"index\":");
        out.decimal(unit.title.position);
        out.text(",\"count\":");
        out.decimal(unit.title.count);
        if (unit.groupEnd != 0) {
            out.text(",\"elements\":");
            pair(out, unit.title.position, unit.groupEnd);
        }
        out.text(unit.complete ? ",\"complete\":true,\"text\":" : ",\"complete\":false,\"text\":");
        pair(out, unit.textStart, unit.textEnd);
        out.text(",\"fields\":");
        pair(out, unit.fieldsBefore, unit.fieldEnd);
        out.text(",\"bytes\":");
        spans(out, unit.fields);
        out.text(",\"names\":");
        spans(out, unit.texts);
        out.text("}\n");
    }
    out.text("{\"end\":\"");
    out.text(kEndWords[static_cast<unsigned>(map.stop.end)]);
    out.text("\",\"units\":");
    out.decimal(map.units.size());
    out.text(",\"textLength\":");
    out.decimal(map.textLength);
    out.text(",\"fieldCount\":");
    out.decimal(map.fieldCount);
    if (map.capped) out.text(",\"capped\":true");
    out.text("}\n");
}

namespace {

struct UnitSpan {
    uint64_t lo;
    uint64_t hi;
    uint32_t unit;
};

}  // namespace

namespace {

// A unit is walked inside every unit that holds it. Parents come before their units.
void withParents(const DatabaseMap& map, std::vector<bool>& walked) {
    for (size_t i = walked.size(); i-- > 0;)
        if (walked[i] && map.units[i].parent != kNoUnit) walked[map.units[i].parent] = true;
}

}  // namespace

std::vector<bool> unitsToWalk(const DatabaseMap& map, std::span<const uint64_t> sorted) {
    const size_t n = map.units.size();
    std::vector<bool> walked(n, false);
    if (sorted.empty()) return walked;

    // Every unit's own bytes: the fields, and apart from them the names they read (which lie
    // elsewhere, in the string table's data).
    std::vector<UnitSpan> spans;
    spans.reserve(2 * n);
    for (uint32_t i = 0; i < n; ++i) {
        for (const SpanSet* set : {&map.units[i].fields, &map.units[i].texts})
            for (const ByteSpan& span : set->all()) spans.push_back(UnitSpan{span.lo, span.hi, i});
    }

    // The units whose bytes may hold an asked offset.
    for (const UnitSpan& span : spans) {
        const auto first = std::lower_bound(sorted.begin(), sorted.end(), span.lo);
        if (first != sorted.end() && *first < span.hi) walked[span.unit] = true;
    }

    // The nearest field before an offset ends at or before it, and ends last; the nearest
    // after it begins after it, and begins first. Every unit whose bytes end (begin) exactly
    // there may hold it, the first of equals among them.
    std::vector<UnitSpan> byEnd = spans;
    std::sort(byEnd.begin(), byEnd.end(), [](const UnitSpan& a, const UnitSpan& b) { return a.hi < b.hi; });
    std::vector<UnitSpan> byStart = spans;
    std::sort(byStart.begin(), byStart.end(), [](const UnitSpan& a, const UnitSpan& b) { return a.lo < b.lo; });
    uint64_t lastEnd = ~uint64_t{0};
    uint64_t lastStart = ~uint64_t{0};
    for (const uint64_t offset : sorted) {
        // The last span that ends at or before the offset, and all that end with it.
        auto end = std::upper_bound(byEnd.begin(), byEnd.end(), offset,
                                    [](uint64_t at, const UnitSpan& s) { return at < s.hi; });
        if (end != byEnd.begin() && std::prev(end)->hi != lastEnd) {
            lastEnd = std::prev(end)->hi;
            for (auto it = end; it != byEnd.begin() && std::prev(it)->hi == lastEnd; --it)
                walked[std::prev(it)->unit] = true;
        }
        // The first span that begins after the offset, and all that begin with it.
        auto start = std::upper_bound(byStart.begin(), byStart.end(), offset,
                                      [](uint64_t at, const UnitSpan& s) { return at < s.lo; });
        if (start != byStart.end() && start->lo != lastStart) {
            lastStart = start->lo;
            for (auto it = start; it != byStart.end() && it->lo == lastStart; ++it) walked[it->unit] = true;
        }
    }

    withParents(map, walked);
    return walked;
}

std::vector<bool> unitsForFields(const DatabaseMap& map, std::span<const ViewSpan> bytes,
                                 std::span<const ViewSpan> fields) {
    const size_t n = map.units.size();
    std::vector<bool> walked(n, false);
    // Whether [lo, hi) meets a span of `spans`: the first span that ends after lo begins
    // before hi.
    const auto meets = [](std::span<const ViewSpan> spans, uint64_t lo, uint64_t hi) {
        const auto span = std::upper_bound(spans.begin(), spans.end(), lo,
                                           [](uint64_t at, const ViewSpan& s) { return at < s.to; });
        return span != spans.end() && span->from < hi;
    };
    for (size_t i = 0; i < n; ++i) {
        const MapUnit& unit = map.units[i];
        // A unit's range of field numbers holds those of the units inside it, so a field
        // span that meets an inner unit meets its parents too.
        bool walk = meets(fields, unit.fieldsBefore, unit.fieldEnd);
        for (const ByteSpan& span : unit.fields.all()) walk = walk || meets(bytes, span.lo, span.hi);
        walked[i] = walk;
    }
    withParents(map, walked);
    return walked;
}

}  // namespace symdeck

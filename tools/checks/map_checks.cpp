#include "checks/map_checks.h"

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "entry/render.h"
#include "format/walk.h"
#include "forms/database_map.h"
#include "forms/recorder.h"
#include "forms/text_measure.h"
#include "forms/view_printer.h"

namespace symdeck::checks {

namespace {

auto titleKey(const Title& t) {
    return std::tuple(t.word, t.offset, t.size, t.mark, t.number, t.position, t.count);
}

auto fieldKey(const Field& f) {
    return std::tuple(f.name, f.type, f.offset, f.size, f.value, f.isSigned, f.role, f.meaning,
                      f.described, f.last, f.counting, f.text, f.tail, f.textOffset, f.target.leads,
                      f.target.inFile, f.target.why, f.target.at, f.counts, f.entries, f.problem);
}

auto listKey(const List& l) {
    return std::tuple(l.subject.key, l.subject.word, l.offset, l.count, l.stride, l.countedBy);
}

auto runKey(const Run& r) {
    return std::tuple(r.subject.key, r.subject.word, r.offset, r.count, r.stride, r.countedBy,
                      r.units);
}

bool sameEvent(const WalkEvent& a, const WalkEvent& b) {
    if (a.kind != b.kind) return false;
    using Kind = WalkEvent::Kind;
    switch (a.kind) {
        case Kind::Open: return titleKey(a.title) == titleKey(b.title);
        case Kind::Field: return fieldKey(a.field) == fieldKey(b.field);
        case Kind::Reads: return fieldKey(a.field) == fieldKey(b.field) && a.index == b.index;
        case Kind::OpenList:
        case Kind::CloseList: return listKey(a.list) == listKey(b.list);
        case Kind::Element: return listKey(a.list) == listKey(b.list) && a.index == b.index && a.offset == b.offset;
        case Kind::OpenRun:
        case Kind::CloseRun: return runKey(a.run) == runKey(b.run);
        case Kind::Unknown: return a.unknownKind == b.unknownKind;
        case Kind::End:
            return std::tuple(a.stop.end, a.stop.header, a.stop.offset, a.stop.number) ==
                   std::tuple(b.stop.end, b.stop.header, b.stop.offset, b.stop.number);
        case Kind::Group: return titleKey(a.title) == titleKey(b.title) && a.index == b.index;
        case Kind::EndElement:
        case Kind::Close:
        case Kind::Unit:
        case Kind::EndGroup: return true;
    }
    return false;
}

// A unit of the whole walk: the events from its title to its close (or to the walk's end).
struct WalkUnit {
    size_t open = 0;
    size_t close = 0;  // the index of its Close, or of the End when the walk stopped inside
    bool complete = false;
    uint32_t parent = kNoUnit;
    uint32_t depth = 0;
    uint64_t fieldsBefore = 0;
    uint64_t fieldEnd = 0;
};

// The units of `events` (recorded with their marks), in walk order.
std::vector<WalkUnit> unitsOf(const std::vector<WalkEvent>& events) {
    std::vector<WalkUnit> units;
    struct Open {
        uint32_t unit;  // kNoUnit: a block inside a unit
    };
    std::vector<Open> stack;
    std::vector<uint32_t> openUnits;
    uint64_t fields = 0;
    bool marked = false;
    for (size_t i = 0; i < events.size(); ++i) {
        const WalkEvent& e = events[i];
        switch (e.kind) {
            case WalkEvent::Kind::Unit: marked = true; break;
            case WalkEvent::Kind::Open:
            case WalkEvent::Kind::Group:
                if (marked || e.kind == WalkEvent::Kind::Group) {
                    WalkUnit unit;
                    unit.open = i;
                    unit.parent = openUnits.empty() ? kNoUnit : openUnits.back();
                    unit.depth = static_cast<uint32_t>(openUnits.size());
                    unit.fieldsBefore = fields;
                    openUnits.push_back(static_cast<uint32_t>(units.size()));
                    stack.push_back(Open{static_cast<uint32_t>(units.size())});
                    units.push_back(unit);
                } else {
                    stack.push_back(Open{kNoUnit});
                }
                marked = false;
                break;
            case WalkEvent::Kind::Close:
            case WalkEvent::Kind::EndGroup:
                if (!stack.empty() && stack.back().unit != kNoUnit) {
                    WalkUnit& unit = units[stack.back().unit];
                    unit.close = i;
                    unit.complete = true;
                    unit.fieldEnd = fields;
                    openUnits.pop_back();
                }
                if (!stack.empty()) stack.pop_back();
                break;
            case WalkEvent::Kind::Field: ++fields; break;
            case WalkEvent::Kind::End:
                for (const uint32_t open : openUnits) {
                    units[open].close = i;
                    units[open].fieldEnd = fields;
                }
                break;
            default: break;
        }
    }
    return units;
}

bool within(const SpanSet& set, uint64_t start, uint64_t end) {
    for (const ByteSpan& span : set.all())
        if (span.lo <= start && end <= span.hi) return true;
    return false;
}

std::string unitName(const MapUnit& unit, size_t k) {
    return "unit " + std::to_string(k) + " (" + std::string(unit.title.word) + " at " +
           std::to_string(unit.title.offset) + ")";
}

}  // namespace

// Where two maps differ in any member of any unit, or in the whole walk's figures.
std::string sameMap(const DatabaseMap& a, const DatabaseMap& b) {
    const auto spans = [](const SpanSet& set) {
        std::vector<std::pair<uint64_t, uint64_t>> all;
        for (const ByteSpan& s : set.all()) all.emplace_back(s.lo, s.hi);
        return all;
    };
    const auto key = [&](const MapUnit& u) {
        return std::tuple(titleKey(u.title), u.groupEnd, u.parent, u.end, u.depth, u.complete, u.textStart,
                          u.textEnd, u.fieldsBefore, u.fieldEnd, u.blocksBefore, u.blockEnd, u.problemsBefore.damaged,
                          u.problemsBefore.unknown, u.problemsEnd.damaged, u.problemsEnd.unknown, spans(u.fields),
                          spans(u.texts));
    };
    if (a.units.size() != b.units.size())
        return std::to_string(b.units.size()) + " units, not " + std::to_string(a.units.size());
    for (size_t k = 0; k < a.units.size(); ++k)
        if (key(a.units[k]) != key(b.units[k])) return unitName(a.units[k], k) + " differs";
    if (std::tuple(a.textLength, a.fieldCount, a.stop.end, a.textMeasured, a.withinLimit, a.capped) !=
        std::tuple(b.textLength, b.fieldCount, b.stop.end, b.textMeasured, b.withinLimit, b.capped))
        return "the whole walk's figures differ";
    return {};
}

std::string checkMap(const NmsImage& image, const SectionSelection& selection, uint64_t pick,
                     const std::string& text, WalkTally& tally) {
    // Groups as small as they come, so that small databases have them: a sequence of four
    // elements is cut into groups of two, and any longer one into three groups.
    const Grouping grouping{4, 3};
    const std::vector<WalkEvent> whole = recordWalk(image, selection, true, grouping);
    const std::vector<WalkUnit> units = unitsOf(whole);
    const DatabaseMap map = mapDatabase(image, selection, Measure::Exact, grouping);
    if (map.units.size() != units.size())
        return "the map has " + std::to_string(map.units.size()) + " units, the walk " +
               std::to_string(units.size());
    if (map.textLength != text.size()) return "the map's text length is not the report's";

    for (size_t k = 0; k < units.size(); ++k) {
        const MapUnit& m = map.units[k];
        const WalkUnit& w = units[k];
        const bool group = whole[w.open].kind == WalkEvent::Kind::Group;
        if (titleKey(m.title) != titleKey(whole[w.open].title) || m.parent != w.parent ||
            m.groupEnd != (group ? whole[w.open].index : 0) ||
            m.depth != w.depth || m.complete != w.complete || m.fieldsBefore != w.fieldsBefore ||
            m.fieldEnd != w.fieldEnd)
            return unitName(m, k) + " is not the walk's";
        size_t last = k + 1;
        while (last < units.size() && units[last].open < w.close) ++last;
        if (m.end != last) return unitName(m, k) + " does not end after the units inside it";
        // A block's text holds its title; a group's holds its elements, and is not empty.
        if (m.textStart >= m.textEnd || m.textEnd > text.size() ||
            (!group && std::string_view(text).substr(m.textStart, m.textEnd - m.textStart).find(m.title.word) ==
                           std::string_view::npos))
            return unitName(m, k) + " has a text range that does not hold its title";
        if (group) ++tally.groups;
        // Its own fields (those of the units inside it left out) lie in its spans.
        size_t inner = k + 1;
        for (size_t i = w.open; i <= w.close && i < whole.size(); ++i) {
            if (inner < m.end && i == units[inner].open) {
                i = units[inner].close;
                inner = map.units[inner].end;
                continue;
            }
            const WalkEvent& e = whole[i];
            if (e.kind != WalkEvent::Kind::Field && e.kind != WalkEvent::Kind::Reads) continue;
            const Field& f = e.field;
            if (f.size != 0 && !within(m.fields, f.offset, f.offset + f.size))
                return unitName(m, k) + ": its field " + std::string(f.name) + " lies outside its spans";
            if (f.textOffset != kNotInFile && f.textOffset != f.offset && f.textOffset < image.size &&
                !within(m.texts, f.textOffset, f.textOffset + 1))
                return unitName(m, k) + ": the name of its field " + std::string(f.name) + " lies outside its spans";
        }
    }
    tally.units += units.size();

    // The map made with the text's bound: the same units, the text bounded from above.
    const DatabaseMap bound = mapDatabase(image, selection, Measure::Bound, grouping);
    if (bound.withinLimit) {
        if (bound.units.size() != map.units.size()) return "the map made with the text's bound has other units";
        for (size_t k = 0; k < map.units.size(); ++k) {
            const MapUnit& a = map.units[k];
            const MapUnit& b = bound.units[k];
            if (titleKey(a.title) != titleKey(b.title) || a.parent != b.parent || a.end != b.end ||
                a.complete != b.complete || a.fieldEnd != b.fieldEnd)
                return unitName(a, k) + " is not the same in the map made with the text's bound";
            if (b.textStart < a.textStart || b.textEnd - b.textStart < a.textEnd - a.textStart)
                return unitName(a, k) + ": the text's bound is below the text";
        }
        if (bound.textLength < map.textLength) return "the text's bound is below the text";
    } else if (map.stop.end != WalkEnd::Limit && map.textLength < reportLimit(image.size) / 16) {
        // The bound is at most a few times the text: a bound this loose is a fault.
        return "the text's bound reached the size limit, sixteen times the text";
    }

    // Two walks that share out the units inside the sections make, once joined, the map that
    // one walk makes with the text's bound, member for member, however they share them: every
    // other unit (a split that repeats), or as two threads happen to reach them (for one
    // database in eight: a thread per database costs more than the walks). They join
    // wherever that walk ends complete below the size limit.
    const bool joins =
        bound.stop.end == WalkEnd::Complete && !bound.capped && bound.textLength < reportLimit(image.size);
    for (const bool alternate : {true, false}) {
        if (!alternate && pick % 8 != 0) continue;
        const std::optional<DatabaseMap> shared = mapDatabaseShared(image, selection, grouping, alternate);
        if (shared) {
            if (std::string differs = sameMap(bound, *shared); !differs.empty())
                return "the map of two sharing walks: " + differs;
            if (alternate) tally.shared += shared->units.size();
        } else if (joins && alternate) {
            return "the maps of two sharing walks did not join";
        }
    }

    // One unit walked alone: every other unit that is not around it is passed over.
    if (units.empty()) return {};
    const size_t chosen = pick % units.size();
    std::vector<bool> walked(units.size(), false);
    for (uint32_t k = static_cast<uint32_t>(chosen); k != kNoUnit; k = map.units[k].parent) walked[k] = true;
    const std::vector<WalkEvent> alone = recordUnits(image, selection, map, walked);
    std::vector<const WalkEvent*> expected;
    size_t next = 0;  // the next unit whose title may come
    for (size_t i = 0; i < whole.size(); ++i) {
        if (next < units.size() && i == units[next].open) {
            if (!walked[next] && units[next].complete) {
                i = units[next].close;
                next = map.units[next].end;
                continue;
            }
            ++next;
        }
        const WalkEvent::Kind kind = whole[i].kind;
        if (kind == WalkEvent::Kind::Unit || kind == WalkEvent::Kind::Group || kind == WalkEvent::Kind::EndGroup)
            continue;
        expected.push_back(&whole[i]);
    }
    if (alone.size() != expected.size())
        return "walked alone, " + unitName(map.units[chosen], chosen) + " gives " + std::to_string(alone.size()) +
               " events, not " + std::to_string(expected.size());
    for (size_t i = 0; i < alone.size(); ++i)
        if (!sameEvent(alone[i], *expected[i]))
            return "walked alone, " + unitName(map.units[chosen], chosen) + " differs at event " + std::to_string(i);
    ++tally.unitsAlone;

    // A window of the view form (the bytes of the chosen unit's title, and its first fields
    // by number) walked on the map, passing over the units that hold none of it, is the whole
    // walk's window byte for byte: the fields' numbers, the words and kinds, the end. With
    // the map that plans (the text bounded) and the text not counted, and with the text
    // measured and counted.
    const MapUnit& unit = map.units[chosen];
    const ViewSpan bytes[] = {{unit.title.offset, unit.title.offset + unit.title.size + 1}};
    const ViewSpan fields[] = {{unit.fieldsBefore, unit.fieldsBefore + 3}};
    DatabaseMap measured = mapDatabase(image, selection, Measure::Exact, grouping);
    addViewVocabulary(measured, image, selection);
    const DatabaseMap planning = planningMap(image, selection, true, grouping);
    for (const bool count : {false, true}) {
        const ViewOptions options{
            .skeleton = false, .countText = count, .chosen = true, .bytes = bytes, .fields = fields};
        if (renderViewToString(image, selection, &options, count ? &measured : &planning) !=
            renderViewToString(image, selection, &options))
            return "the view's window on " + unitName(unit, chosen) + (count ? ", the text counted," : "") +
                   " is not the whole walk's";
        ++tally.windows;
    }
    return {};
}

}  // namespace symdeck::checks

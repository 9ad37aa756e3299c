// The join of two maps that two walks made sharing out the units (forms/database_map.h).
#include "forms/database_map.h"

namespace symdeck {

std::optional<DatabaseMap> joinSharedMaps(const DatabaseMap& first, const ShareLog& firstLog,
                                          const DatabaseMap& second, const ShareLog& secondLog,
                                          uint64_t limit) {
    const size_t shared = firstLog.shared.size();
    if (first.stop.end != WalkEnd::Complete || second.stop.end != WalkEnd::Complete || first.capped ||
        second.capped || secondLog.shared.size() != shared)
        return std::nullopt;
    // The first walk's map is the frame; the units the second walk took go in where the
    // first passed over them, and everything the first counted after one of them moves on
    // by what that unit holds. before[k]: what the second walk's units among the first k
    // shared ones hold.
    struct Held {
        uint32_t units = 0, blocks = 0;
        uint64_t fields = 0, text = 0;
    };
    std::vector<Held> before(shared + 1);
    for (size_t k = 0; k < shared; ++k) {
        const uint32_t mine = firstLog.shared[k].root, theirs = secondLog.shared[k].root;
        Held held{};
        if ((mine == kNoUnit) == (theirs == kNoUnit)) return std::nullopt;
        if (theirs != kNoUnit) {
            const MapUnit& root = second.units[theirs];
            if (!root.complete) return std::nullopt;
            held = {root.end - theirs, root.blockEnd - root.blocksBefore, root.fieldEnd - root.fieldsBefore,
                    root.textEnd - root.textStart};
        }
        before[k + 1] = Held{before[k].units + held.units, before[k].blocks + held.blocks,
                             before[k].fields + held.fields, before[k].text + held.text};
    }
    const Held& all = before[shared];
    if (first.units.size() + all.units > DatabaseMap::kMostUnits) return std::nullopt;
    DatabaseMap joined;
    joined.units.reserve(first.units.size() + all.units);
    joined.grouping = first.grouping;
    joined.textMeasured = false;
    joined.stop = first.stop;
    joined.textLength = first.textLength + all.text;
    joined.fieldCount = first.fieldCount + all.fields;
    if (joined.textLength >= limit) return std::nullopt;
    const auto frameIndex = [&](uint32_t i) {
        return i == kNoUnit ? kNoUnit : i + before[firstLog.opened[i]].units;
    };

    size_t next = 0;  // the next shared unit
    const auto insertTheirs = [&](uint32_t upTo) {
        for (; next < shared && firstLog.shared[next].at <= upTo; ++next) {
            const ShareLog::Shared& at = firstLog.shared[next];
            const uint32_t root = secondLog.shared[next].root;
            if (root == kNoUnit) continue;
            const MapUnit& top = second.units[root];
            const auto base = static_cast<uint32_t>(joined.units.size());
            const Held& shift = before[next];
            for (uint32_t j = root; j < top.end; ++j) {
                MapUnit unit = second.units[j];
                unit.parent = j == root ? frameIndex(at.parent) : base + (unit.parent - root);
                unit.end = base + (unit.end - root);
                unit.textStart = at.text + shift.text + (unit.textStart - top.textStart);
                unit.textEnd = at.text + shift.text + (unit.textEnd - top.textStart);
                unit.fieldsBefore = at.fields + shift.fields + (unit.fieldsBefore - top.fieldsBefore);
                unit.fieldEnd = at.fields + shift.fields + (unit.fieldEnd - top.fieldsBefore);
                unit.blocksBefore = at.blocks + shift.blocks + (unit.blocksBefore - top.blocksBefore);
                unit.blockEnd = at.blocks + shift.blocks + (unit.blockEnd - top.blocksBefore);
                joined.units.push_back(unit);
            }
        }
    };
    for (uint32_t i = 0; i < first.units.size(); ++i) {
        insertTheirs(i);
        MapUnit unit = first.units[i];
        const Held& opened = before[firstLog.opened[i]];
        const Held& closed = before[firstLog.closed[i]];
        unit.parent = frameIndex(unit.parent);
        unit.end += closed.units;
        unit.textStart += opened.text;
        unit.textEnd += closed.text;
        unit.fieldsBefore += opened.fields;
        unit.fieldEnd += closed.fields;
        unit.blocksBefore += opened.blocks;
        unit.blockEnd += closed.blocks;
        joined.units.push_back(unit);
    }
    insertTheirs(static_cast<uint32_t>(first.units.size()));
    return joined;
}

}  // namespace symdeck

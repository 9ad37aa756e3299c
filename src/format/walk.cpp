#include "format/walk.h"

#include <algorithm>

namespace symdeck {

Stop limitStop(std::string_view header, uint64_t limit) {
    return Stop{WalkEnd::Limit, header, 0, limit};
}

Stop boundsStop(std::string_view header, uint64_t offset, uint64_t fileSize) {
    return Stop{WalkEnd::Bounds, header, offset, fileSize};
}

std::vector<Stop> sectionOverlaps(std::vector<SectionReach> sections) {
    std::vector<Stop> overlaps;
    std::stable_sort(sections.begin(), sections.end(),
                     [](const SectionReach& a, const SectionReach& b) { return a.offset < b.offset; });
    // The section reaching furthest among those at lower offsets; a section at its offset is
    // the same section named twice, which the format allows.
    const SectionReach* reach = nullptr;
    for (const SectionReach& s : sections) {
        if (s.end <= s.offset) continue;  // no extent
        if (reach != nullptr && s.offset != reach->offset && s.offset < reach->end)
            overlaps.push_back(Stop{WalkEnd::Overlap, s.header, s.offset, reach->offset});
        if (reach == nullptr || s.end > reach->end) reach = &s;
    }
    return overlaps;
}

}  // namespace symdeck

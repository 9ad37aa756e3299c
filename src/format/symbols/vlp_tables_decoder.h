// A segment's VLP table: labels, variables, procedures and imports. An array of nVLP ULONG
// offsets at segment base + offVLPOffsets names the entries; offset k places its entry at
// segment base + offVLPDef + offsets[k]. The entries are rendered in array order, wherever
// they lie and however often they are named.
#pragma once

#include "format/symbols/symbols.h"

namespace symdeck {

namespace {

// The kinds of entry that belong in this table.
constexpr EnumName kVlpTableTypes[] = {{4, "TT_LABEL"},   {5, "TT_VARIABLE"}, {6, "TT_GLOBALV"},
                                       {7, "TT_LOCALP"},  {8, "TT_GLOBALP"},  {9, "TT_IMPORTD"}};

}  // namespace

template <class P>
bool renderSegmentVlpTables(Walk<P>& walk, const Record& segment) {
    Cursor<P> cursor{walk, symd::kHeader.word};
    const uint64_t area = segment.offset + segment.u32(fieldOf(symd::kSegment, "offVLPDef").offset);
    const uint32_t nVLP = segment.u32(fieldOf(symd::kSegment, "nVLP").offset);

    // Each block's place is read from the array.
    const Run run{kVlpEntries,
                  segment.offset + segment.u32(fieldOf(symd::kSegment, "offVLPOffsets").offset),
                  nVLP, 0, segment.offset + fieldOf(symd::kSegment, "nVLP").offset};
    walk.print.openRun(run);
    const bool complete = cursor.each(run.offset, 4, nVLP, [&](const Record& element, uint32_t k) {
        Field offset = Fields<P>::ulong(element, 0, "VLPOffsets", Role::Offset);
        offset.target = Target{Leads::Block, area + offset.value < walk.image.size, Unresolved::None,
                               area + offset.value};
        walk.print.reads(offset, k);
        auto entry = cursor.at(area + element.u32(0), symd::kVlpEntry.size);
        if (!entry) return false;
        openVariable(walk, *entry, kVlpEntries.word, k, nVLP,
                     TableTypes<6>{kVlpTableTypes,
                                   "TYPE ERROR -> it should be one of the 4 to 9 but it's ",
                                   "USHORT"});
        // Printed, not followed.
        Fields<P>{walk, *entry}.hex(fieldOf(symd::kVlpEntry, "offVLP"), true);
        walk.print.close();
        return true;
    });
    if (complete) walk.print.closeRun(run);
    return complete;
}

}  // namespace symdeck

// A segment's line table and source sections.
//
// SEGDATA_SOURCESECTION records (20 bytes) follow each other from segment base +
// offSourceSDef. The line rows of all of them form one array of 8-byte rows (offInCode,
// lineNumber) from segment base + offSCLineDef; its length is the sum of the sections'
// nLineTables, a 32-bit sum that wraps. offSourceLines is printed but not used to find the
// rows.
//
// The source sections are therefore read twice: once to count the rows, before any row is
// reported, and once for their own blocks after the table.
#pragma once

#include "format/symbols/symbols.h"

namespace symdeck {

template <class P>
bool renderSegmentSources(Walk<P>& walk, const Record& segment) {
    Cursor<P> cursor{walk, symd::kHeader.word};
    P& print = walk.print;
    const uint64_t sections = segment.offset + segment.u32(fieldOf(symd::kSegment, "offSourceSDef").offset);
    const uint32_t nSourceSec = segment.u32(fieldOf(symd::kSegment, "nSourceSec").offset);
    const uint64_t rows = segment.offset + segment.u32(fieldOf(symd::kSegment, "offSCLineDef").offset);

    uint32_t lineCount = 0;
    constexpr auto& d = symd::kSourceSection;
    bool complete = cursor.each(sections, d.size, nSourceSec,
                                [&](const Record& section, uint32_t) {
                                    lineCount += section.u32(fieldOf(d, "nLineTables").offset);
                                    return true;
                                });
    if (!complete) return false;
    // The rows are counted by the sections' shares together. Without rows there is no
    // table, and the walk says so with an empty run where the rows would begin.
    if (lineCount == 0) {
        const Run none{kLineRows, rows, 0, static_cast<uint32_t>(symd::kLineRow.size)};
        print.openRun(none);
        print.closeRun(none);
    } else {
        print.open(Title{kLineRows.word, rows, 0});
        const List list{kLineRows, rows, lineCount, static_cast<uint32_t>(symd::kLineRow.size), kNotInFile};
        complete = cursor.list(list, [&](const Record& row, uint32_t) {
            // A place in the code, not in the file.
            print.field(Fields<P>::field(row, fieldOf(symd::kLineRow, "offInCode")));
            print.field(Fields<P>::asSigned(Fields<P>::field(row, fieldOf(symd::kLineRow, "lineNumber"))));
        });
        if (!complete) return false;
        print.close();
    }

    const Run run{kSourceSections, sections, nSourceSec, static_cast<uint32_t>(d.size),
                  segment.offset + fieldOf(symd::kSegment, "nSourceSec").offset};
    return cursor.blocks(run, [](Fields<P>& f, uint32_t) {
        // Places in the code, and where the rows would be: printed, not followed.
        f.hex(fieldOf(d, "offStart"));
        f.hex(fieldOf(d, "offEnd"));
        f.hex(fieldOf(d, "offSourceLines"));
        f.count(fieldOf(d, "nLineTables"), kLineRows.key, Counting::Share);
        f.hex(fieldOf(d, "offInSFDef"), true);
        return true;
    });
}

}  // namespace symdeck

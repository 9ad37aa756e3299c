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
#include "report/printers.h"
#include "symbols/symbols.h"

namespace symdeck {

template <class P>
bool renderSegmentSources(Walk<P>& walk, const Record& segment) {
    Cursor<P> cursor{walk, kSymdHeader};
    P& print = walk.print;
    const uint64_t sections = segment.offset + segment.u32(segment::kOffSourceSDef);
    const uint32_t nSourceSec = segment.u32(segment::kNSourceSec);
    const uint64_t rows = segment.offset + segment.u32(segment::kOffScLineDef);

    uint32_t lineCount = 0;
    bool complete = cursor.each(sections, source_section::kSize, nSourceSec,
                                [&](const Record& section, uint32_t) {
                                    lineCount += section.u32(source_section::kNLineTables);
                                    return true;
                                });
    if (!complete) return false;
    if (lineCount != 0) {
        print.open(Title{"SEGDATA_SOURCELINES", rows, 6, TitleForm::Bare});
        const List list{"SEGDATA_SOURCELINES", rows, ListForm::LineRows, lineCount};
        complete = cursor.list(list, line_row::kSize, [&](const Record& row, uint32_t) {
            print.field(Fields<P>::ulong(row, line_row::kOffInCode, "offInCode", Shape::RowHex06,
                                         false));
            print.field(Fields<P>::ulong(row, line_row::kLineNumber, "lineNumber", Shape::RowDec,
                                         false));
        });
        if (!complete) return false;
        print.close(Close::Quiet);
    }
    print.heading(Heading::Gap);

    return cursor.each(sections, source_section::kSize, nSourceSec,
                       [&](const Record& section, uint32_t i) {
                           print.open(Title{"SEGDATA_SOURCESECTION", section.offset, 6,
                                            TitleForm::Record, 0, i, nSourceSec});
                           Fields<P> f{walk, section};
                           f.hex(source_section::kOffStart, "offStart");
                           f.hex(source_section::kOffEnd, "offEnd");
                           f.hex(source_section::kOffSourceLines, "offSourceLines");
                           f.dec(source_section::kNLineTables, "nLineTables");
                           f.hex(source_section::kOffInSfDef, "offInSFDef", true);
                           print.close(Close::Quiet);
                           return true;
                       });
}

SYMDECK_INSTANTIATE(renderSegmentSources, const Record&);

}  // namespace symdeck

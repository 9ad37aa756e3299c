// A segment's line table and source sections.
//
// SEGDATA_SOURCESECTION records (20 bytes: offStart, offEnd, offSourceLines, nLineTables,
// offInSFDef) follow each other from segment base + offSourceSDef. The line rows of all of
// them form one array of 8-byte rows (offInCode, lineNumber) from segment base +
// offSCLineDef; its length is the sum of the sections' nLineTables, a 32-bit sum that
// wraps. offSourceLines is printed but not used to find the rows.
//
// The source sections are therefore read twice: once to count the rows, before any row is
// written, and once for their own blocks after the table.
#include "symbols/symbols.h"

namespace symdeck {

namespace {

// The row count of the segment's line table, or nothing after an error line.
std::optional<uint32_t> countLineRows(DumpContext& ctx, uint64_t sections, uint32_t nSourceSec) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < nSourceSec; ++i) {
        auto section =
            reach(ctx, kSymdHeader, sections + kSourceSectionSize * i, kSourceSectionSize);
        if (!section) return std::nullopt;
        count += section->u32(12);
    }
    return count;
}

}  // namespace

bool renderSegmentSources(DumpContext& ctx, uint64_t segmentBase) {
    auto segment = segmentRecord(ctx, segmentBase);
    if (!segment) return false;
    ReportWriter& out = ctx.out;
    const uint64_t sections = segmentBase + segment->u32(42);
    const uint32_t nSourceSec = segment->u32(46);
    const uint64_t rows = segmentBase + segment->u32(50);

    auto lineCount = countLineRows(ctx, sections, nSourceSec);
    if (!lineCount) return false;
    if (*lineCount != 0) {
        out.text("      SEGDATA_SOURCELINES\n");
        out.text("        offset       offInCode        lineNumber\n");
        for (uint32_t i = 0; i < *lineCount; ++i) {
            const uint64_t offset = rows + kLineRowSize * i;
            auto row = reach(ctx, kSymdHeader, offset, kLineRowSize);
            if (!row) return false;
            out.text("        ");
            out.hex06(offset);
            out.text("     ");
            out.hex06(row->u32(0));
            out.text("         ");
            out.dec(row->u32(4));
            out.newline();
        }
    }
    out.newline();

    for (uint32_t i = 0; i < nSourceSec; ++i) {
        const uint64_t offset = sections + kSourceSectionSize * i;
        auto section = reach(ctx, kSymdHeader, offset, kSourceSectionSize);
        if (!section) return false;
        writeRecordTitle(out, 6, "SEGDATA_SOURCESECTION", offset);
        hexLine(out, 8, "ULONG", "offStart", section->u32(0));
        hexLine(out, 8, "ULONG", "offEnd", section->u32(4));
        hexLine(out, 8, "ULONG", "offSourceLines", section->u32(8));
        decLine(out, 8, "ULONG", "nLineTables", section->u32(12));
        hexLine(out, 8, "ULONG", "offInSFDef", section->u32(16), true);
    }
    return true;
}

}  // namespace symdeck

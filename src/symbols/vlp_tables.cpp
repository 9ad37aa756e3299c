// A segment's VLP table: labels, variables, procedures and imports. An array of nVLP ULONG
// offsets at segment base + offVLPOffsets names the entries; offset k places its entry at
// segment base + offVLPDef + offsets[k]. The entries are rendered in array order, wherever
// they lie and however often they are named.
#include "report/containers.h"
#include "symbols/symbols.h"

#include "types/types.h"

namespace symdeck {

namespace {

// The kinds of entry that belong in this table, 4 to 9.
std::string_view vlpTableTypeText(uint16_t tableType) {
    switch (tableType) {
        case 4: return "4(TT_LABEL)";
        case 5: return "5(TT_VARIABLE)";
        case 6: return "6(TT_GLOBALV)";
        case 7: return "7(TT_LOCALP)";
        case 8: return "8(TT_GLOBALP)";
        case 9: return "9(TT_IMPORTD)";
        default: return {};
    }
}

}  // namespace

bool renderSegmentVlpTables(DumpContext& ctx, uint64_t segmentBase) {
    auto segment = segmentRecord(ctx, segmentBase);
    if (!segment) return false;
    ReportWriter& out = ctx.out;
    const uint64_t area = segmentBase + segment->u32(30);
    const uint32_t nVLP = segment->u32(34);
    const uint64_t offsets = segmentBase + segment->u32(38);

    for (uint32_t k = 0; k < nVLP; ++k) {
        auto element = reach(ctx, kSymdHeader, offsets + 4 * uint64_t{k}, 4);
        if (!element) return false;
        const uint64_t offset = area + element->u32(0);
        auto entry = reach(ctx, kSymdHeader, offset, kVlpEntrySize);
        if (!entry) return false;

        writeRecordTitle(out, 6, "SEGDATA_VLPTABLE", offset);
        hexLine(out, 8, "USHORT", "size", entry->u16(0));
        const uint16_t tableType = entry->u16(2);
        out.field(8, "USHORT", "tableType");
        if (auto text = vlpTableTypeText(tableType); !text.empty()) {
            out.text(text);
        } else {
            out.text("TYPE ERROR -> it should be one of the 4 to 9 but it's ");
            out.dec(tableType);
        }
        out.newline();
        typeLine(ctx.out, 8, "type", entry->u32(4));
        nameLine(ctx, 8, entry->u32(8));
        hexLine(out, 8, "ULONG", "offVLP", entry->u32(12), true);
    }
    return true;
}

}  // namespace symdeck

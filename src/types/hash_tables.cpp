// HSHT: a 32-byte header, a list of sizeTableOffsets ULONGs at offTableOffsets, and nTypes
// entries of 20 bytes back to back from offTypeTables on; both offsets count from the
// image's first byte. The list values and the entries' links are printed as stored and
// never followed, and nothing is hashed.
#include "types/types.h"

#include "report/containers.h"

namespace symdeck {

bool renderHashTables(DumpContext& ctx, uint64_t sectionOffset) {
    constexpr std::string_view kHeader = "HSHT_HEADER";
    auto header = reachSigned(ctx, kHeader, sectionOffset, "HSHT", kHshtHeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;
    writeRecordTitle(out, 0, kHeader, sectionOffset);
    out.text("  ULONG        HSHT             HSHT\n");
    bytesLine(out, 2, "sectionLength", header->u32(4));
    const uint32_t sizeTableOffsets = header->u32(8);
    const uint32_t nTypes = header->u32(12);
    const uint32_t offTableOffsets = header->u32(16);
    const uint32_t offTypeTables = header->u32(20);
    // A count, but printed in hexadecimal.
    hexLine(out, 2, "ULONG", "sizeTableOffsets", sizeTableOffsets);
    decLine(out, 2, "ULONG", "nTypes", nTypes);
    hexLine(out, 2, "ULONG", "offTableOffsets", offTableOffsets);
    hexLine(out, 2, "ULONG", "offTypeTables", offTypeTables);
    hexLine(out, 2, "ULONG", "N1", header->u32(24));
    hexLine(out, 2, "ULONG", "N2", header->u32(28), true);

    out.text(" Type Table Offsets: (offset: 0x");
    out.hex(offTableOffsets);
    out.text(")\n");
    for (uint32_t i = 0; i < sizeTableOffsets; ++i) {
        auto value = reach(ctx, kHeader, offTableOffsets + uint64_t{4} * i, 4);
        if (!value) return false;
        hexLine(out, 2, "ULONG", "offset", value->u32(0));
    }

    out.text("\n Type Tables:\n");
    for (uint32_t j = 0; j < nTypes; ++j) {
        const uint64_t offset = offTypeTables + kHashTableEntrySize * j;
        auto entry = reach(ctx, kHeader, offset, kHashTableEntrySize);
        if (!entry) return false;
        writeRecordTitle(out, 2, "HSHT_TYPETABLE", offset);
        hexLine(out, 4, "ULONG", "offPreviousTable", entry->u32(0));
        hexLine(out, 4, "ULONG", "hashNumber", entry->u32(4));
        nameLine(ctx, 4, entry->u32(8));
        typeLine(out, 4, "type", entry->u32(12));
        hexLine(out, 4, "ULONG", "N1", entry->u32(16), true);
    }
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

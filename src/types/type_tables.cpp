// TYTB: a 24-byte header, then nTypeTables TYPETABLE entries of 8 bytes (a type index and
// a name index), back to back from offTypeTables on. offTypeTables counts from the image's
// first byte, not from the section. The count steers the walk but has no line of its own.
#include "types/types.h"

#include "report/containers.h"

namespace symdeck {

bool renderTypeTables(DumpContext& ctx, uint64_t sectionOffset) {
    constexpr std::string_view kHeader = "TYTB_HEADER";
    auto header = reachSigned(ctx, kHeader, sectionOffset, "TYTB", kTytbHeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;
    writeRecordTitle(out, 0, kHeader, sectionOffset);
    out.text("  ULONG        TYTB             TYTB\n");
    bytesLine(out, 2, "sectionLength", header->u32(4));
    const uint32_t nTypeTables = header->u32(8);
    const uint32_t offTypeTables = header->u32(12);
    hexLine(out, 2, "ULONG", "offTypeTables", offTypeTables);
    hexLine(out, 2, "ULONG", "N1", header->u32(16));
    hexLine(out, 2, "ULONG", "N2", header->u32(20), true);

    for (uint32_t i = 0; i < nTypeTables; ++i) {
        const uint64_t offset = offTypeTables + kTypeTableEntrySize * i;
        auto entry = reach(ctx, kHeader, offset, kTypeTableEntrySize);
        if (!entry) return false;
        writeRecordTitle(out, 2, "TYPETABLE", offset);
        typeLine(out, 4, "type", entry->u32(0));
        nameLine(ctx, 4, entry->u32(4), true);
    }
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

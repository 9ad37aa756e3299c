// STTB: a header, then one ULONG offset per name, then the NUL-terminated names. Name i
// begins at (start of the string data) + offset i, where the string data begins right
// behind the offsets array.
#include "report/containers.h"

namespace symdeck {

bool installStringTable(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = reachSigned(ctx, "STTB_HEADER", sectionOffset, "STTB", kSttbHeaderSize);
    if (!header) return false;
    const uint32_t count = header->u32(8);
    ctx.strings.count = count;
    ctx.strings.offsets = sectionOffset + kSttbHeaderSize;
    ctx.strings.stringBase = sectionOffset + kSttbHeaderSize + uint64_t{4} * count;
    return true;
}

std::string_view stringAt(const DumpContext& ctx, uint32_t iName) {
    const StringTableView& table = ctx.strings;
    if (iName >= table.count) return "iName is out of range";
    auto nameOffset = readU32(ctx.image, table.offsets + uint64_t{4} * iName);
    if (!nameOffset || table.stringBase + *nameOffset >= ctx.image.size)
        return "iName points past the end of the file";
    return textAt(ctx.image, table.stringBase + *nameOffset);
}

void writeNameRef(DumpContext& ctx, uint32_t iName) {
    ReportWriter& out = ctx.out;
    out.dec(iName);
    out.text("(\"");
    out.text(stringAt(ctx, iName));
    out.text("\")");
}

void nameLine(DumpContext& ctx, unsigned indent, uint32_t iName, bool blank) {
    ctx.out.field(indent, "ULONG", "iName");
    writeNameRef(ctx, iName);
    endLine(ctx.out, blank);
}

bool renderStringTable(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = reachSigned(ctx, "STTB_HEADER", sectionOffset, "STTB", kSttbHeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;
    writeSectionTitle(out, "STTB_HEADER", sectionOffset, header->u32(4), ") )");
    out.text("  ULONG        STTB             STTB\n");
    bytesLine(out, 2, "sectionLength", header->u32(4));
    const uint32_t nNames = header->u32(8);
    decLine(out, 2, "ULONG", "nNames", nNames);
    hexLine(out, 2, "ULONG", "N1", header->u32(12));
    hexLine(out, 2, "ULONG", "N2", header->u32(16), true);

    out.text(" Strings:\n");
    // The count is this section's own; the names come through the installed table, which
    // is the first STTB section of the directory.
    for (uint32_t i = 0; i < nNames; ++i) {
        if (!reach(ctx, "STTB_HEADER", sectionOffset + kSttbHeaderSize + uint64_t{4} * i, 4))
            return false;
        out.text("  [");
        out.dec(i);
        out.text("] ");
        out.text(stringAt(ctx, i));
        out.newline();
    }
    out.newline();
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

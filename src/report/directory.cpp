#include "report/containers.h"

namespace symdeck {

namespace {

std::string_view sectionKindText(uint32_t entryIndex) {
    static constexpr std::string_view kKinds[] = {"",        "1(GTYP)", "2(STTB)",
                                                  "3(NMTP)", "4(TYTB)", "5(HSHT)",
                                                  "6(SYMD)", "7(SRCP)", "8(FPOD)"};
    return entryIndex >= 1 && entryIndex <= 8 ? kKinds[entryIndex] : std::string_view{};
}

}  // namespace

bool renderDirectory(DumpContext& ctx, uint64_t offset) {
    auto header = reachSigned(ctx, "NMDR_HEADER", offset, "NMDR", kNmdrHeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;

    writeRecordTitle(out, 0, "NMDR_HEADER", offset);
    out.text("  ULONG        NMDR             NMDR\n");
    const uint32_t nNMDE = header->u32(4);
    decLine(out, 2, "ULONG", "nNMDE", nNMDE);
    hexLine(out, 2, "ULONG", "offGTYP", header->u32(8));
    hexLine(out, 2, "ULONG", "offSTTB", header->u32(12));
    hexLine(out, 2, "ULONG", "offSYMD", header->u32(16));
    hexLine(out, 2, "ULONG", "offSRCP", header->u32(20));
    hexLine(out, 2, "ULONG", "offFPOD", header->u32(24));
    static constexpr std::string_view kUnnamed[] = {"N1", "N2", "N3", "N4", "N5", "N6", "N7"};
    for (int i = 0; i < 7; ++i)
        decLine(out, 2, "ULONG", kUnnamed[i], header->u32(28 + 4 * i), i == 6);

    for (uint32_t i = 0; i < nNMDE; ++i) {
        const uint64_t at = offset + kNmdrHeaderSize + kNmdeEntrySize * i;
        auto entry = reachSigned(ctx, "NMDR_HEADER", at, "NMDE", kNmdeEntrySize);
        if (!entry) return false;
        out.text("  NMDE_S (");
        out.dec(i);
        out.text(")(offset: 0x");
        out.hex(at);
        out.text(")\n");
        writeColumnHeader(out, 4);
        out.text("    ULONG        NMDE             NMDE\n");

        const uint32_t entryIndex = entry->u32(4);
        out.field(4, "ULONG", "entryIndex");
        if (auto text = sectionKindText(entryIndex); !text.empty()) {
            out.text(text);
        } else {
            out.dec(entryIndex);
            out.text("(unknown)");
        }
        out.newline();
        hexLine(out, 4, "ULONG", "offEntry", entry->u32(8));
        bytesLine(out, 4, "entryLength", entry->u32(12));
        for (int n = 0; n < 5; ++n) hexLine(out, 4, "ULONG", kUnnamed[n], entry->u32(16 + 4 * n));
    }
    out.newline();
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

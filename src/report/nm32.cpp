#include "report/containers.h"

namespace symdeck {

namespace {

// The fileType codes that have names; 10 is printed bare.
std::string_view fileTypeText(uint32_t fileType) {
    switch (fileType) {
        case 2: return "0x02(PE_EXE)";
        case 4: return "0x04(PE_DLL)";
        case 6: return "0x06(LE_VXD)";
        case 7: return "0x07(NE)";
        case 10: return "0x0A";
        case 11: return "0x0B(MAP)";
        case 13: return "0x0D(TDS)";
        case 14: return "0x0E(LX)";
        default: return {};
    }
}

}  // namespace

bool renderNm32Header(DumpContext& ctx) {
    auto header = reachSigned(ctx, "NM32_HEADER", 0, "NM32", kNm32HeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;
    ctx.formatMinorVersion = header->u32(8);

    out.text("NM32_HEADER (offset: 0x");
    out.hex(header->offset);
    out.text(" )\n");
    writeColumnHeader(out, 2);
    out.text("  ULONG        NM32             NM32\n");
    hexLine(out, 2, "ULONG", "verMajor", header->u32(4));
    hexLine(out, 2, "ULONG", "verMinor", header->u32(8));
    hexLine(out, 2, "ULONG", "offNMDR", header->u32(12));
    hexLine(out, 2, "ULONG", "creationTime", header->u32(16));
    hexLine(out, 2, "ULONG", "creationNumber", header->u32(20));

    const uint32_t fileType = header->u32(24);
    out.field(2, "ULONG", "fileType");
    if (auto text = fileTypeText(fileType); !text.empty()) {
        out.text(text);
    } else {
        out.hex0x(fileType);
        out.text("(unknown)");
    }
    out.newline();

    out.field(2, "ULONG", "fileLength");
    out.dec(header->u32(28));
    out.text(" bytes\n");

    static constexpr std::string_view kUnnamed[] = {"N1", "N2", "N3", "N4",
                                                    "N5", "N6", "N7", "N8"};
    for (int i = 0; i < 8; ++i) hexLine(out, 2, "ULONG", kUnnamed[i], header->u32(32 + 4 * i));

    // Both texts are read up to their first NUL: a filePath that fills its 260 bytes runs on
    // into copyrightString, and either may run on to the end of the image.
    out.field(2, "CHAR[0x104]", "filePath");
    out.text(textAt(ctx.image, header->offset + 64));
    out.newline();
    out.field(2, "CHAR[0x100]", "copyrightString");
    out.text(textAt(ctx.image, header->offset + 324));
    out.text("\n\n");
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

// GTYP, SRCP and FPOD are reported by their fixed header alone; the bytes behind the header
// are never read.
#include "report/containers.h"

namespace symdeck {

namespace {

constexpr std::string_view kUnnamed[] = {"N1", "N2", "N3", "N4", "N5",
                                         "N6", "N7", "N8", "N9", "N10"};

// Checks the header and writes its title, column header, signature line and sectionLength
// line. Returns the header, or nothing after an error line.
std::optional<Record> beginHeaderOnly(DumpContext& ctx, uint64_t offset, std::string_view name,
                                      std::string_view header, uint64_t size) {
    auto record = reachSigned(ctx, header, offset, name, size);
    if (!record) return std::nullopt;
    ReportWriter& out = ctx.out;
    writeSectionTitle(out, header, offset, record->u32(4));
    out.field(2, "ULONG", name);
    out.text(name);
    out.newline();
    bytesLine(out, 2, "sectionLength", record->u32(4));
    return record;
}

// Writes `count` unnamed fields N1, N2, ... from field offset `at`; the last one closes
// the block, and the separator follows.
void endHeaderOnly(DumpContext& ctx, const Record& record, uint64_t at, int count) {
    for (int i = 0; i < count; ++i)
        hexLine(ctx.out, 2, "ULONG", kUnnamed[i], record.u32(at + 4 * i), i == count - 1);
    writeSeparator(ctx.out);
}

}  // namespace

bool renderGtyp(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = beginHeaderOnly(ctx, sectionOffset, "GTYP", "GTYP_HEADER", kGtypHeaderSize);
    if (!header) return false;
    hexLine(ctx.out, 2, "ULONG", "offNMTP", header->u32(8));
    hexLine(ctx.out, 2, "ULONG", "offSTTB", header->u32(12));
    hexLine(ctx.out, 2, "ULONG", "offTYTB", header->u32(16));
    hexLine(ctx.out, 2, "ULONG", "offHSHT", header->u32(20));
    endHeaderOnly(ctx, *header, 24, 2);
    return true;
}

bool renderSrcp(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = beginHeaderOnly(ctx, sectionOffset, "SRCP", "SRCP_HEADER", kSrcpHeaderSize);
    if (!header) return false;
    hexLine(ctx.out, 2, "ULONG", "offSourceFiles", header->u32(8));
    endHeaderOnly(ctx, *header, 12, 2);
    return true;
}

bool renderFpod(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = beginHeaderOnly(ctx, sectionOffset, "FPOD", "FPOD_HEADER", kFpodHeaderSize);
    if (!header) return false;
    endHeaderOnly(ctx, *header, 8, 10);
    return true;
}

}  // namespace symdeck

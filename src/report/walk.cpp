#include "report/walk.h"

#include <cstring>

namespace symdeck {

namespace {

constexpr std::string_view kSeparator =
    "-------------------------------------------------------------------------------\n";

void writeErrorHead(ReportWriter& out, std::string_view header) {
    out.text("ERROR in ");
    out.text(header);
}

bool withinLimit(DumpContext& ctx, std::string_view header) {
    if (ctx.out.length() < ctx.limit) return true;
    writeErrorHead(ctx.out, header);
    ctx.out.text(" -> the report has reached its limit of 0x");
    ctx.out.hex(ctx.limit);
    ctx.out.text(" bytes.\n");
    return false;
}

void writeBoundsError(DumpContext& ctx, std::string_view header, uint64_t offset) {
    writeErrorHead(ctx.out, header);
    ctx.out.text(" -> the data at offset 0x");
    ctx.out.hex(offset);
    ctx.out.text(" runs past the end of the file (size 0x");
    ctx.out.hex(ctx.image.size);
    ctx.out.text(").\n");
}

}  // namespace

std::optional<Record> reachFailed(DumpContext& ctx, std::string_view header, uint64_t offset) {
    if (withinLimit(ctx, header)) writeBoundsError(ctx, header, offset);
    return std::nullopt;
}

std::optional<Record> reachSigned(DumpContext& ctx, std::string_view header, uint64_t offset,
                                  std::string_view signature, uint64_t width) {
    if (!withinLimit(ctx, header)) return std::nullopt;
    auto head = recordAt(ctx.image, offset, signature.size());
    if (!head) {
        writeBoundsError(ctx, header, offset);
        return std::nullopt;
    }
    if (!head->startsWith(signature)) {
        writeErrorHead(ctx.out, header);
        ctx.out.text(" -> the signature was not correct.\n");
        return std::nullopt;
    }
    auto record = recordAt(ctx.image, offset, width);
    if (!record) writeBoundsError(ctx, header, offset);
    return record;
}

void writeSeparator(ReportWriter& out) { out.text(kSeparator); }

void writeColumnHeader(ReportWriter& out, unsigned indent) {
    char* p = out.reserve(64);
    std::memset(p, ' ', 48);
    std::memcpy(p + indent, "type", 4);
    std::memcpy(p + indent + 13, "name", 4);
    std::memcpy(p + indent + 30, "value\n", 6);
    out.commit(p + indent + 36);
}

void writeRecordTitle(ReportWriter& out, unsigned indent, std::string_view title, uint64_t offset) {
    char* p = out.reserve(indent);
    std::memset(p, ' ', indent);
    out.commit(p + indent);
    out.text(title);
    out.text(" (offset: 0x");
    out.hex(offset);
    out.text(")\n");
    writeColumnHeader(out, indent + 2);
}

void writeSectionTitle(ReportWriter& out, std::string_view title, uint64_t start,
                       uint32_t sectionLength, std::string_view tail) {
    out.text(title);
    out.text(" (offset: 0x");
    out.hex(start);
    out.text("(start), 0x");
    out.hex(static_cast<uint32_t>(start + sectionLength));
    out.text("(end");
    out.text(tail);
    out.newline();
    writeColumnHeader(out, 2);
}

}  // namespace symdeck

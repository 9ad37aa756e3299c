// The state of one walk over a database, and what every renderer shares: the check points
// that keep the walk inside the image and the report inside its size limit, the error
// lines, and the common line shapes (separator, column headers, field lines).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "report/reader.h"
#include "report/writer.h"

namespace symdeck {

// The installed string table: `count` names whose offsets are the ULONGs at image offset
// `offsets`, each counted from image offset `stringBase`. Empty (count 0) until installed.
struct StringTableView {
    uint32_t count = 0;
    uint64_t offsets = 0;
    uint64_t stringBase = 0;
};

// Everything a renderer needs, passed down the walk instead of living in globals.
struct DumpContext {
    NmsImage image;
    ReportWriter& out;
    // The report stops with an error line once it has reached this many bytes.
    uint64_t limit;
    StringTableView strings{};
    // The NM32 header's verMinor; decides the length of SYMD procedure records.
    uint32_t formatMinorVersion = 0;
};

// The report size limit for an image of `imageSize` bytes: 64 times its size plus 1 MiB.
// Sound databases report in well under 14 times their size; a damaged one can ask for text
// that grows with the square of its size, and this is where such a report is cut.
constexpr uint64_t reportLimit(uint64_t imageSize) { return 64 * imageSize + (uint64_t{1} << 20); }

// A check point of the walk, made before anything of a structure (or list element) is
// written: first the report's size against the limit, then the `width` bytes at `offset`
// against the image. On failure the matching error line is written, naming `header` (the
// header of the part of the file being walked), and nothing is returned: the walk ends.
// Lists run this once per element, so the common case is inline; the failure writes its
// error line out of line.
std::optional<Record> reachFailed(DumpContext& ctx, std::string_view header, uint64_t offset);
inline std::optional<Record> reach(DumpContext& ctx, std::string_view header, uint64_t offset,
                                   uint64_t width) {
    if (ctx.out.length() < ctx.limit && fits(ctx.image, offset, width))
        return Record{ctx.image.data + offset, offset, width};
    return reachFailed(ctx, header, offset);
}

// The same for a structure that begins with a four-letter signature: the limit, then its
// first four bytes, then the signature, then its whole fixed part.
std::optional<Record> reachSigned(DumpContext& ctx, std::string_view header, uint64_t offset,
                                  std::string_view signature, uint64_t width);

// "-------...\n": 79 hyphens, the line that closes every section.
void writeSeparator(ReportWriter& out);
// The "type name value" column header at `indent` spaces.
void writeColumnHeader(ReportWriter& out, unsigned indent);
// A block title "<title> (offset: 0x%X)" at `indent` spaces, and the column header of its
// fields at `indent` + 2.
void writeRecordTitle(ReportWriter& out, unsigned indent, std::string_view title, uint64_t offset);
// "<title> (offset: 0x%X(start), 0x%X(end))" and its column header; `end` is the 32-bit sum
// of the section's offset and its sectionLength. `tail` is what closes the title: "))", or
// ") )" for the one title that has a blank before its last parenthesis.
void writeSectionTitle(ReportWriter& out, std::string_view title, uint64_t start,
                       uint32_t sectionLength, std::string_view tail = "))");

// Ends a field line, with a blank line after it when `blank` is set.
inline void endLine(ReportWriter& out, bool blank) {
    char* p = out.reserve(2);
    p[0] = '\n';
    p[1] = '\n';
    out.commit(p + (blank ? 2 : 1));
}

// Field lines in the formats the report uses.
inline void hexLine(ReportWriter& out, unsigned indent, std::string_view type,
                    std::string_view name, uint64_t value, bool blank = false) {
    out.field(indent, type, name);
    out.hex0x(value);
    endLine(out, blank);
}
inline void decLine(ReportWriter& out, unsigned indent, std::string_view type,
                    std::string_view name, uint32_t value, bool blank = false) {
    out.field(indent, type, name);
    out.dec(value);
    endLine(out, blank);
}
inline void bytesLine(ReportWriter& out, unsigned indent, std::string_view name, uint32_t value,
                      bool blank = false) {
    out.field(indent, "ULONG", name);
    out.decHexBytes(value);
    endLine(out, blank);
}

}  // namespace symdeck

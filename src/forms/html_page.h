// The viewer's page with a database in it (--html): the page as the build made it, in the
// pieces around the three places the program fills, and the writer that fills them.
#pragma once

#include <cstdint>
#include <string_view>

#include "format/reader.h"
#include "format/selection.h"
#include "forms/writer.h"

namespace symdeck {

// The page around its places: the kinds of section left out (a number), the database's
// name (in an attribute) and its bytes (base64).
struct PageTemplate {
    std::string_view beforeLeftOut;
    std::string_view beforeName;
    std::string_view beforeBytes;
    std::string_view afterBytes;
};

// The largest database a page holds. The page carries the bytes as base64 text, which the
// browser reads as one string before it decodes it; Chromium's strings end at 2^29 - 24
// characters, so 384 MiB (512 Mi characters of base64) could never open, and at 256 MiB
// (341 Mi characters) the text, its decoded bytes and the core module's copy still leave the
// tab room. Larger databases open in the standalone viewer, which reads the file itself.
inline constexpr uint64_t kLargestPageDatabase = uint64_t{256} << 20;

// The kinds of section `selection` leaves out, bit (1 << k) for directory kind k, as the
// page's switches and the WebAssembly core take them.
uint32_t leftOutBits(const SectionSelection& selection);

// Writes `page` with the database `image` named `name` (UTF-8; the text after the last
// slash or backslash is shown) in it, and its switches set as `selection` says. The same
// inputs give the same bytes. Does not flush `out`.
void writeHtmlPage(ReportWriter& out, const PageTemplate& page, std::string_view name, const NmsImage& image,
                   const SectionSelection& selection);

}  // namespace symdeck

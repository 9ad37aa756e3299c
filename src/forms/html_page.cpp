#include "forms/html_page.h"

#include <algorithm>

#include "format/section_kinds.h"
#include "forms/utf8.h"

namespace symdeck {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// `bytes` in base64, one line: 57 bytes of input at a time become 76 characters.
void base64(ReportWriter& out, const unsigned char* bytes, uint64_t size) {
    uint64_t at = 0;
    while (size - at >= 3) {
        const uint64_t n = std::min<uint64_t>((size - at) / 3, 57) * 3;
        char* p = out.reserve(n / 3 * 4);
        for (uint64_t end = at + n; at < end; at += 3) {
            const uint32_t v = uint32_t{bytes[at]} << 16 | uint32_t{bytes[at + 1]} << 8 | bytes[at + 2];
            *p++ = kBase64[v >> 18];
            *p++ = kBase64[v >> 12 & 63];
            *p++ = kBase64[v >> 6 & 63];
            *p++ = kBase64[v & 63];
        }
        out.commit(p);
    }
    if (at == size) return;
    const uint32_t v = uint32_t{bytes[at]} << 16 | (size - at == 2 ? uint32_t{bytes[at + 1]} << 8 : 0);
    char* p = out.reserve(4);
    p[0] = kBase64[v >> 18];
    p[1] = kBase64[v >> 12 & 63];
    p[2] = size - at == 2 ? kBase64[v >> 6 & 63] : '=';
    p[3] = '=';
    out.commit(p + 4);
}

// The name as an attribute's value: the characters HTML gives a meaning escaped, and a byte
// that is no part of valid UTF-8 as U+FFFD.
void attribute(ReportWriter& out, std::string_view name) {
    for (size_t i = 0; i < name.size();) {
        const char c = name[i];
        switch (c) {
            case '&': out.text("&amp;"); break;
            case '<': out.text("&lt;"); break;
            case '>': out.text("&gt;"); break;
            case '"': out.text("&quot;"); break;
            case '\'': out.text("&#39;"); break;
            default:
                if (static_cast<unsigned char>(c) < 0x80) {
                    out.ch(c);
                    break;
                }
                const Utf8Sequence sequence = utf8SequenceAt(name.substr(i));
                if (sequence.valid) out.text(name.substr(i, sequence.length));
                else out.text("&#xFFFD;");
                i += sequence.length;
                continue;
        }
        ++i;
    }
}

}  // namespace

uint32_t leftOutBits(const SectionSelection& selection) {
    uint32_t bits = 0;
    for (const SectionKindInfo& kind : kSectionKindInfo)
        if (selection.*kind.skip && kind.entryIndex < 32) bits |= uint32_t{1} << kind.entryIndex;
    return bits;
}

void writeHtmlPage(ReportWriter& out, const PageTemplate& page, std::string_view name, const NmsImage& image,
                   const SectionSelection& selection) {
    out.text(page.beforeLeftOut);
    out.decimal(leftOutBits(selection));
    out.text(page.beforeName);
    const size_t slash = name.find_last_of("/\\");
    attribute(out, slash == std::string_view::npos ? name : name.substr(slash + 1));
    out.text(page.beforeBytes);
    // The whole image, as one structure proven to lie inside it.
    if (const auto whole = recordAt(image, 0, image.size)) base64(out, whole->bytes, whole->width);
    out.text(page.afterBytes);
}

}  // namespace symdeck

#include "forms/html_page.h"

#include <algorithm>

#include "forms/json_printer.h"
#include "format/section_kinds.h"

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
                // A sequence is valid when the bytes it needs, by its lead byte, all follow.
                const auto lead = static_cast<unsigned char>(c);
                const size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
                const size_t run = utf8InvalidLength(name.substr(i));
                if (run == n && lead >= 0xC2 && lead <= 0xF4) out.text(name.substr(i, n));
                else out.text("&#xFFFD;");
                i += run;
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
    const uint32_t bits = leftOutBits(selection);
    char digits[12];
    char* end = digits + sizeof digits;
    char* p = end;
    uint32_t v = bits;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    out.text(std::string_view(p, static_cast<size_t>(end - p)));
    out.text(page.beforeName);
    const size_t slash = name.find_last_of("/\\");
    attribute(out, slash == std::string_view::npos ? name : name.substr(slash + 1));
    out.text(page.beforeBytes);
    // The whole image, as one structure proven to lie inside it.
    if (const auto whole = recordAt(image, 0, image.size)) base64(out, whole->bytes, whole->width);
    out.text(page.afterBytes);
}

}  // namespace symdeck

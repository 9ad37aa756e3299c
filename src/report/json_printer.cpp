#include "report/json_printer.h"

#include <array>

#include "report/utf8.h"

namespace symdeck {

namespace {

// For each byte: 0 when it stands for itself inside a JSON string, else the character
// after the backslash of its short escape, or 'u' for a \u00XX escape. Bytes 0x80 to 0xFF
// are code points U+0080 to U+00FF, so that no byte of the file is lost or misread.
constexpr std::array<char, 256> kEscapes = [] {
    std::array<char, 256> escapes{};
    for (int c = 0; c < 256; ++c)
        if (c < 0x20 || c >= 0x7F) escapes[c] = 'u';
    escapes['"'] = '"';
    escapes['\\'] = '\\';
    escapes['\b'] = 'b';
    escapes['\f'] = 'f';
    escapes['\n'] = 'n';
    escapes['\r'] = 'r';
    escapes['\t'] = 't';
    return escapes;
}();

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string_view endKind(WalkEnd end) {
    switch (end) {
        case WalkEnd::Bounds: return "bounds";
        case WalkEnd::Signature: return "signature";
        case WalkEnd::Limit: return "limit";
        case WalkEnd::Complete: break;
    }
    return "complete";
}

}  // namespace

void JsonPrinter::begin() {
    out_.text("{\"format\":\"symdeck-report\",\"version\":1,\"database\":{\"name\":");
    // The name is the command line's, not the database's: text, not raw bytes.
    writeJsonText(out_, name_);
    char* p = put(out_.reserve(64), ",\"size\":");
    p = number(p, size_);
    out_.commit(put(p, "},\"blocks\":["));
    push(Scope::Blocks);
}

void JsonPrinter::open(const Title& title) {
    if (top() == Scope::Fields) {
        // The first nested block ends the fields of the block it nests in.
        out_.text("],\"blocks\":[");
        scopes_[depth_ - 1] = Scope::Blocks;
        first_[depth_ - 1] = true;
    }
    assert(top() == Scope::Blocks);
    char* p = head("\n{\"block\":\"", title.word, title.offset);
    switch (title.mark) {
        case Mark::SectionEnd: p = number(put(p, ",\"end\":"), title.number); break;
        case Mark::EntryIndex: p = number(put(p, ",\"index\":"), title.number); break;
        case Mark::TypeIndex: p = number(put(p, ",\"typeIndex\":"), title.number); break;
        case Mark::None: break;
    }
    out_.commit(put(p, ",\"fields\":["));
    push(Scope::Fields);
}

void JsonPrinter::openList(const List& list) {
    assert(top() == Scope::Fields);
    char* p = head("{\"list\":\"", list.name, list.offset);
    out_.commit(put(p, ",\"elements\":["));
    push(Scope::List);
}

void JsonPrinter::unknownSection(int32_t kind) {
    assert(depth_ == 1);
    char* p = separator(out_.reserve(64));
    p = put(p, "\n{\"block\":\"UNKNOWN\",\"kind\":");
    p = std::to_chars(p, p + 12, kind).ptr;
    out_.commit(put(p, ",\"fields\":[]}"));
}

void JsonPrinter::end(const Stop& stop) {
    // Close whatever the walk left open: element, list, fields and blocks, innermost first.
    while (depth_ > 1) pop(top() == Scope::Element ? "]" : "]}");
    out_.text("],\n\"end\":{\"status\":");
    if (stop.end == WalkEnd::Complete) {
        out_.text("\"complete\"}}\n");
        return;
    }
    out_.text("\"error\",\"kind\":\"");
    out_.text(endKind(stop.end));
    out_.text("\",\"header\":\"");
    out_.text(stop.header);
    char* p = out_.reserve(64);
    switch (stop.end) {
        case WalkEnd::Bounds:
            p = number(put(p, "\",\"offset\":"), stop.offset);
            p = number(put(p, ",\"fileSize\":"), stop.number);
            break;
        case WalkEnd::Signature: p = number(put(p, "\",\"offset\":"), stop.offset); break;
        default: p = number(put(p, "\",\"limit\":"), stop.number); break;
    }
    out_.commit(put(p, "}}\n"));
    depth_ = 0;
}

void writeJsonString(ReportWriter& out, std::string_view text) {
    out.ch('"');
    size_t run = 0;  // bytes from the start of `text` that need no escape
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char escape = kEscapes[c];
        if (escape == 0) continue;
        out.text(text.substr(run, i - run));
        run = i + 1;
        char* p = out.reserve(6);
        p[0] = '\\';
        p[1] = escape;
        if (escape != 'u') {
            out.commit(p + 2);
            continue;
        }
        p[2] = '0';
        p[3] = '0';
        p[4] = kHexDigits[c >> 4];
        p[5] = kHexDigits[c & 0xF];
        out.commit(p + 6);
    }
    out.text(text.substr(run));
    out.ch('"');
}

namespace {

void writeUnicodeEscape(ReportWriter& out, char32_t unit) {
    char* p = out.reserve(6);
    p[0] = '\\';
    p[1] = 'u';
    for (int i = 0; i < 4; ++i) p[2 + i] = kHexDigits[(unit >> (12 - 4 * i)) & 0xF];
    out.commit(p + 6);
}

}  // namespace

void writeJsonText(ReportWriter& out, std::string_view text) {
    out.ch('"');
    while (!text.empty()) {
        const size_t length = utf8SequenceAt(text);
        const auto c = static_cast<unsigned char>(text[0]);
        if (length == 1 && kEscapes[c] == 0) {
            out.ch(text[0]);
        } else if (length == 1 && kEscapes[c] != 'u') {
            char* p = out.reserve(2);
            p[0] = '\\';
            p[1] = kEscapes[c];
            out.commit(p + 2);
        } else if (length <= 1) {  // a control byte, or a byte of no valid sequence
            writeUnicodeEscape(out, length == 0 ? 0xFFFD : c);
        } else if (const char32_t code = utf8CodePoint(text, length); code < 0x10000) {
            writeUnicodeEscape(out, code);
        } else {
            writeUnicodeEscape(out, 0xD800 + ((code - 0x10000) >> 10));
            writeUnicodeEscape(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
    out.ch('"');
}

// The message: its first part, the value in the radix the meaning gives, its last part.
void JsonPrinter::error(std::string_view head, bool hex, uint32_t value, std::string_view tail) {
    out_.text(",\"error\":\"");
    out_.text(head);
    if (hex) out_.hex0x(value);
    else out_.dec(value);
    out_.text(tail);
    out_.ch('"');
}

}  // namespace symdeck

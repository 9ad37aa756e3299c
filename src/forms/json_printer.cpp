#include "forms/json_printer.h"

#include <algorithm>
#include <array>

#include "forms/utf8.h"

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

// `text` as one JSON string of its characters, quotes included: valid UTF-8 as it is, each
// maximal invalid subsequence as U+FFFD, quotes, backslashes and control characters
// escaped. Returns whether `text` was valid UTF-8.
template <class Out>
bool fileTextTo(Out& out, std::string_view text) {
    out.ch('"');
    bool valid = true;
    size_t run = 0;  // bytes from the start of `text` that go out as they are
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        size_t length = 0;
        if (c >= 0x80) {
            length = utf8SequenceAt(text.substr(i));
            if (length != 0) {
                i += length;
                continue;
            }
        }
        out.text(text.substr(run, i - run));
        if (c < 0x80) {
            char* p = out.reserve(6);
            p[0] = '\\';
            p[1] = kEscapes[c];
            if (p[1] == 'u') {
                p[2] = '0';
                p[3] = '0';
                p[4] = kHexDigits[c >> 4];
                p[5] = kHexDigits[c & 0xF];
                out.commit(p + 6);
            } else {
                out.commit(p + 2);
            }
            ++i;
        } else {
            valid = false;
            out.text("\xEF\xBF\xBD");
            i += utf8InvalidLength(text.substr(i));
        }
        run = i;
    }
    out.text(text.substr(run));
    out.ch('"');
    return valid;
}

// ,"bytes":"<hex>": the exact bytes of `text`, in lower-case hexadecimal.
void bytesOf(ReportWriter& out, std::string_view text) {
    static constexpr char kLower[] = "0123456789abcdef";
    out.text(",\"bytes\":\"");
    while (!text.empty()) {
        const size_t n = std::min<size_t>(text.size(), ReportWriter::kMaxReserve / 2);
        char* p = out.reserve(2 * n);
        for (size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            *p++ = kLower[c >> 4];
            *p++ = kLower[c & 0xF];
        }
        out.commit(p);
        text.remove_prefix(n);
    }
    out.ch('"');
}

}  // namespace

size_t utf8InvalidLength(std::string_view text) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned c = byte(0);
    unsigned low = 0x80, high = 0xBF;
    size_t length;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 1;  // no sequence begins with this byte
    }
    if (byte(1) < low || byte(1) > high) return 1;
    size_t i = 2;
    while (i < length && byte(i) >= 0x80 && byte(i) <= 0xBF) ++i;
    return i;
}

void JsonPrinter::begin() {
    out_.text(lines_ ? "{\"line\":\"header\",\"format\":\"symdeck-report-lines\",\"version\":2,\"database\":{\"name\":"
                     : "{\"format\":\"symdeck-report\",\"version\":2,\"database\":{\"name\":");
    // The name is the command line's: the system's text.
    fileTextTo(out_, name_);
    char* p = put(out_.reserve(64), ",\"size\":");
    p = number(p, size_);
    out_.commit(put(p, lines_ ? "}}\n" : "},\"blocks\":["));
    push(Scope::Blocks);
}

void JsonPrinter::path() {
    out_.text(",\"path\":[");
    for (size_t i = 0; i < openBlocks_; ++i) {
        char* p = out_.reserve(ReportWriter::kMaxReserve);
        if (i != 0) *p++ = ',';
        p = put(p, "{\"block\":\"");
        p = put(p, blocks_[i].word);
        p = number(put(p, "\",\"offset\":"), blocks_[i].offset);
        *p++ = '}';
        out_.commit(p);
    }
    out_.ch(']');
}

void JsonPrinter::open(const Title& title) {
    if (top() == Scope::Fields) {
        // The first nested block ends the fields of the block it nests in.
        endFields();
        if (!lines_) out_.text(",\"blocks\":[");
        scopes_[depth_ - 1] = Scope::Blocks;
        first_[depth_ - 1] = true;
    }
    assert(top() == Scope::Blocks);
    char* p = out_.reserve(ReportWriter::kMaxReserve);
    if (lines_) {
        lineStart_ = out_.length();
        p = put(p, "{\"line\":\"block\",\"block\":\"");
    } else {
        p = separator(p);
        p = put(p, "\n{\"block\":\"");
    }
    p = put(p, title.word);
    p = number(put(p, "\",\"offset\":"), title.offset);
    switch (title.mark) {
        case Mark::SectionEnd: p = number(put(p, ",\"sectionEnd\":"), title.number); break;
        case Mark::EntryIndex: p = number(put(p, ",\"index\":"), title.number); break;
        case Mark::TypeIndex: p = number(put(p, ",\"typeIndex\":"), title.number); break;
        case Mark::None: break;
    }
    out_.commit(p);
    if (lines_) path();
    out_.text(",\"fields\":[");
    assert(openBlocks_ < kMaxDepth);
    blocks_[openBlocks_++] = Open{title.word, title.offset};
    push(Scope::Fields);
    values_.clear();
    fieldsEnded_ = false;
}

void JsonPrinter::endFields() {
    if (fieldsEnded_) return;
    out_.text("],\"values\":{");
    out_.text(values_.view());
    out_.text(lines_ ? "}}\n" : "}");
    values_.clear();
    fieldsEnded_ = true;
}

void JsonPrinter::close() {
    assert(depth_ > 1 && (top() == Scope::Fields || top() == Scope::Blocks));
    if (top() == Scope::Fields) {
        endFields();
        if (!lines_) out_.ch('}');
    } else if (!lines_) {
        out_.text("]}");
    }
    --depth_;
    --openBlocks_;
    fieldsEnded_ = false;
}

void JsonPrinter::openList(const List& list) {
    assert(top() == Scope::Fields);
    char* p = separator(out_.reserve(ReportWriter::kMaxReserve));
    p = put(p, "{\"list\":\"");
    p = put(p, countedWord(list.name));
    p = number(put(p, "\",\"offset\":"), list.offset);
    out_.commit(put(p, ",\"elements\":["));
    push(Scope::List);
    inChunk_ = 0;
    listOffset_ = list.offset;
}

// The lines form: the list's elements so far end the line they are on, and the next ones go
// on in a list line of their own.
void JsonPrinter::splitList(const List& list, uint32_t first) {
    assert(openBlocks_ > 0 && depth_ >= 2 && scopes_[depth_ - 2] == Scope::Fields);
    if (fieldsEnded_) {
        out_.text("]}\n");  // the elements and the list line
    } else {
        out_.text("]}");  // the elements and the list
        --depth_;
        endFields();
        ++depth_;
    }
    lineStart_ = out_.length();
    const Open& block = blocks_[openBlocks_ - 1];
    char* p = out_.reserve(ReportWriter::kMaxReserve);
    p = put(p, "{\"line\":\"list\",\"block\":\"");
    p = put(p, block.word);
    p = number(put(p, "\",\"offset\":"), block.offset);
    p = put(p, ",\"list\":\"");
    p = put(p, countedWord(list.name));
    p = number(put(p, "\",\"listOffset\":"), listOffset_);
    p = number(put(p, ",\"first\":"), first);
    out_.commit(put(p, ",\"elements\":["));
    first_[depth_ - 1] = true;
    inChunk_ = 0;
}

void JsonPrinter::closeList(const List&) {
    assert(top() == Scope::List);
    // A list line ends with its list; the block's line has ended before.
    pop(fieldsEnded_ ? "]}\n" : "]}");
}

void JsonPrinter::unknownSection(int32_t kind) {
    assert(depth_ == 1);
    char* p = out_.reserve(ReportWriter::kMaxReserve);
    if (lines_) {
        p = put(p, "{\"line\":\"block\",\"block\":\"UNKNOWN\",\"kind\":");
    } else {
        p = separator(p);
        p = put(p, "\n{\"block\":\"UNKNOWN\",\"kind\":");
    }
    p = std::to_chars(p, p + 12, kind).ptr;
    out_.commit(put(p, lines_ ? ",\"path\":[],\"fields\":[],\"values\":{}}\n" : ",\"fields\":[],\"values\":{}}"));
}

void JsonPrinter::end(const Stop& stop) {
    // Close whatever the walk left open: element, list, fields and blocks, innermost first.
    while (depth_ > 1) {
        switch (top()) {
            case Scope::Element: pop("]"); break;
            case Scope::List: closeList(List{}); break;
            case Scope::Fields:
            case Scope::Blocks: close(); break;
        }
    }
    out_.text(lines_ ? "{\"line\":\"result\",\"result\":{\"status\":" : "],\n\"result\":{\"status\":");
    if (stop.end == WalkEnd::Complete) {
        out_.text("\"complete\"");
    } else {
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
        out_.commit(p);
    }
    char* p = number(put(out_.reserve(64), ",\"damagedFields\":"), problems_.damaged);
    p = number(put(p, ",\"unknownValues\":"), problems_.unknown);
    out_.commit(put(p, "}}\n"));
    depth_ = 0;
}

std::string_view JsonPrinter::countedWord(std::string_view counts) {
    // The lists' own names, in the text form's words, and what counts that name no blocks.
    if (counts == "Strings") return "strings";
    if (counts == "type") return "types";
    if (counts == "Type Table Offsets") return "typeTableOffsets";
    if (counts == "SEGDATA_SOURCELINES") return "lineRows";
    if (counts == "type records") return "typeRecords";
    return counts;
}

std::string_view JsonPrinter::countingWord(Counting counting) {
    switch (counting) {
        case Counting::Share: return "share";
        case Counting::Unreported: return "unreported";
        case Counting::Run: break;
    }
    return "run";
}

void JsonPrinter::textValue(std::string_view name, std::string_view text, bool own) {
    if (!own) {
        fileText(text);
        return;
    }
    // Written once, into the values; the field's value is the same bytes.
    char* p = values_.reserve(24);
    if (!values_.empty()) *p++ = ',';
    *p++ = '"';
    p = put(p, name);
    values_.commit(put(p, "\":"));
    const size_t from = values_.view().size();
    const bool valid = fileTextTo(values_, text);
    out_.text(values_.view().substr(from));
    if (!valid) bytesOf(out_, text);
}

void JsonPrinter::fileText(std::string_view text) {
    if (!fileTextTo(out_, text)) bytesOf(out_, text);
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

}  // namespace symdeck

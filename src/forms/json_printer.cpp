#include "forms/json_printer.h"

#include <algorithm>
#include <array>

#include "forms/utf8.h"

namespace symdeck {

namespace {

// For each ASCII byte: 0 when it stands for itself inside a JSON string, else the character
// after the backslash of its short escape, or 'u' for a \u00XX escape.
constexpr std::array<char, 128> kEscapes = [] {
    std::array<char, 128> escapes{};
    for (int c = 0; c < 128; ++c)
        if (c < 0x20 || c == 0x7F) escapes[c] = 'u';
    escapes['"'] = '"';
    escapes['\\'] = '\\';
    escapes['\b'] = 'b';
    escapes['\f'] = 'f';
    escapes['\n'] = 'n';
    escapes['\r'] = 'r';
    escapes['\t'] = 't';
    return escapes;
}();

// `text` as one JSON string (writeJsonString), into a writer or a block's values.
template <class Out>
bool jsonStringTo(Out& out, std::string_view text) {
    out.ch('"');
    bool valid = true;
    size_t run = 0;  // bytes from the start of `text` that go out as they are
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Most bytes stand for themselves: pass over them in one tight loop.
        const auto plain = [](unsigned char b) { return b >= 0x20 && b < 0x7F && b != '"' && b != '\\'; };
        while (i < n && plain(static_cast<unsigned char>(text[i]))) ++i;
        if (i == n) break;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned escaped = c;  // the code point a \u00XX escape gives
        Utf8Sequence sequence{1, true};
        if (c >= 0x80) {
            sequence = utf8SequenceAt(text.substr(i));
            const bool control = isC1Control(text.substr(i), sequence);
            if (sequence.valid && !control) {
                i += sequence.length;
                continue;
            }
            if (control) escaped = static_cast<unsigned char>(text[i + 1]);
        }
        out.text(text.substr(run, i - run));
        if (!sequence.valid) {
            valid = false;
            out.text("\xEF\xBF\xBD");
        } else {
            char* p = out.reserve(6);
            p[0] = '\\';
            p[1] = escaped < 0x80 ? kEscapes[escaped] : 'u';
            if (p[1] == 'u') {
                p[2] = '0';
                p[3] = '0';
                p[4] = kHexDigits[escaped >> 4];
                p[5] = kHexDigits[escaped & 0xF];
                out.commit(p + 6);
            } else {
                out.commit(p + 2);
            }
        }
        i += sequence.length;
        run = i;
    }
    out.text(text.substr(run));
    out.ch('"');
    return valid;
}

}  // namespace

void writeJsonBytes(ReportWriter& out, std::string_view text) {
    out.text(",\"bytes\":\"");
    while (!text.empty()) {
        const size_t n = std::min<size_t>(text.size(), ReportWriter::kMaxReserve / 2);
        char* p = out.reserve(2 * n);
        for (size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            *p++ = lowerHexDigit(c >> 4);
            *p++ = lowerHexDigit(c);
        }
        out.commit(p);
        text.remove_prefix(n);
    }
    out.ch('"');
}

void JsonPrinter::begin() {
    out_.text(lines_ ? "{\"line\":\"header\",\"format\":\"symdeck-report-lines\",\"version\":2,\"database\":{\"name\":"
                     : "{\"format\":\"symdeck-report\",\"version\":2,\"database\":{\"name\":");
    // The name is the command line's: the system's text.
    jsonStringTo(out_, name_);
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
    p = put(p, list.subject.key);
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
    p = put(p, list.subject.key);
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
    p = putSignedDecimal(p, kind);
    out_.commit(put(p, lines_ ? ",\"path\":[],\"fields\":[],\"values\":{}}\n" : ",\"fields\":[],\"values\":{}}"));
}

void JsonPrinter::closeTo(size_t level) {
    while (depth_ > level) {
        switch (top()) {
            case Scope::Element: pop("]"); break;
            case Scope::List: closeList(List{}); break;
            case Scope::Fields:
            case Scope::Blocks: close(); break;
        }
    }
}

void JsonPrinter::damage(const Stop& stop, uint32_t level) {
    closeTo(std::max<size_t>(level, 1));
    damages_.add(stop);
    if (top() == Scope::Fields) {
        // The damage stands among the blocks of the block it happened in, as a nested block
        // would: the block's fields end first.
        endFields();
        if (!lines_) out_.text(",\"blocks\":[");
        scopes_[depth_ - 1] = Scope::Blocks;
        first_[depth_ - 1] = true;
    }
    if (lines_) {
        out_.text("{\"line\":\"damage\",\"damage\":\"");
    } else {
        out_.commit(separator(out_.reserve(2)));
        out_.text("\n{\"damage\":\"");
    }
    out_.text(damageCode(stop.end));
    out_.text("\",");
    writeJsonStopPlace(out_, stop);
    if (lines_) path();
    out_.text(lines_ ? "}\n" : "}");
}

void JsonPrinter::end(const Stop& stop) {
    stop_ = stop;
    // Close whatever the walk left open: element, list, fields and blocks, innermost first.
    closeTo(1);
    out_.text(lines_ ? "{\"line\":\"result\",\"result\":{" : "],\n\"result\":{");
    // A walk that went on past damage keeps its first damage as the walk's error.
    writeJsonWalkStatus(out_, damages_.count != 0 ? damages_.first : stop);
    char* p = number(put(out_.reserve(64), ",\"damagedFields\":"), problems_.damaged);
    p = number(put(p, ",\"unknownValues\":"), problems_.unknown);
    if (damages_.count != 0) {
        p = number(put(p, ",\"damages\":"), damages_.count);
        // The size limit ended the walk after them.
        if (stop.end == WalkEnd::Limit) p = number(put(p, ",\"limit\":"), stop.number);
    }
    out_.commit(put(p, "}}\n"));
    depth_ = 0;
}

void writeJsonWalkStatus(ReportWriter& out, const Stop& stop) {
    if (stop.end == WalkEnd::Complete) {
        out.text("\"status\":\"complete\"");
        return;
    }
    out.text("\"status\":\"error\",\"kind\":\"");
    out.text(damageCode(stop.end));
    out.text("\",");
    writeJsonStopPlace(out, stop);
}

void writeJsonStopPlace(ReportWriter& out, const Stop& stop) {
    out.text("\"header\":\"");
    out.text(stop.header);
    switch (stop.end) {
        case WalkEnd::Bounds:
            out.text("\",\"offset\":");
            out.decimal(stop.offset);
            out.text(",\"fileSize\":");
            out.decimal(stop.number);
            break;
        case WalkEnd::Signature:
            out.text("\",\"offset\":");
            out.decimal(stop.offset);
            break;
        case WalkEnd::Overlap:
            out.text("\",\"offset\":");
            out.decimal(stop.offset);
            out.text(",\"overlaps\":");
            out.decimal(stop.number);
            break;
        default:
            out.text("\",\"limit\":");
            out.decimal(stop.number);
            break;
    }
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
    const bool valid = jsonStringTo(values_, text);
    out_.text(values_.view().substr(from));
    if (!valid) writeJsonBytes(out_, text);
}

void JsonPrinter::fileText(std::string_view text) {
    if (!jsonStringTo(out_, text)) writeJsonBytes(out_, text);
}

bool writeJsonString(ReportWriter& out, std::string_view text) { return jsonStringTo(out, text); }
bool writeJsonString(ValuesBuffer& out, std::string_view text) { return jsonStringTo(out, text); }

}  // namespace symdeck

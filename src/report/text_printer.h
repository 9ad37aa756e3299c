// The text form: turns walk events into the report's exact lines. Every quirk of the text
// lives here: the column layout, the title spellings, the blank lines that close groups,
// the error lines, and the unknown-kind text that has no line feed.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "report/events.h"
#include "report/writer.h"

namespace symdeck {

class TextPrinter {
public:
    explicit TextPrinter(ReportWriter& out) : out_(out) {}

    uint64_t length() const { return out_.length(); }

    void begin();  // the banner
    SYMDECK_INLINE void open(const Title& title) {
        assert(depth_ < kMaxDepth);
        indents_[depth_++] = indent_;
        indent_ = title.indent + 2;
        switch (title.form) {
            case TitleForm::Header:
                out_.text(title.word);
                out_.text(" (offset: 0x");
                out_.hex(title.offset);
                out_.text(" )\n");
                break;
            case TitleForm::Record:
            case TitleForm::Bare:
                spaces(title.indent);
                out_.text(title.word);
                if (title.form == TitleForm::Bare) {
                    out_.newline();
                    return;
                }
                out_.text(" (offset: 0x");
                out_.hex(title.offset);
                out_.text(")\n");
                break;
            case TitleForm::Section:
            case TitleForm::SectionSpaced:
                out_.text(title.word);
                out_.text(" (offset: 0x");
                out_.hex(title.offset);
                out_.text("(start), 0x");
                out_.hex(title.number);
                out_.text(title.form == TitleForm::Section ? "(end))\n" : "(end) )\n");
                break;
            case TitleForm::Entry:
                spaces(title.indent);
                out_.text(title.word);
                out_.text(" (");
                out_.dec(static_cast<uint32_t>(title.number));
                out_.text(")(offset: 0x");
                out_.hex(title.offset);
                out_.text(")\n");
                break;
            case TitleForm::TypeRecord:
                spaces(title.indent);
                out_.text(title.word);
                out_.text(" (type: 0x");
                out_.hex(title.number);
                out_.text(") (offset: 0x");
                out_.hex(title.offset);
                out_.text(")\n");
                break;
        }
        columnHeader(indent_);
    }
    void close(Close how);
    SYMDECK_INLINE void field(const Field& f) {
        switch (f.shape) {
            case Shape::ListName: out_.text(f.text); out_.newline(); return;
            case Shape::RowHex06: out_.text("     "); out_.hex06(f.value); return;
            case Shape::RowDec: out_.text("         "); out_.dec(f.value); out_.newline(); return;
            default: break;
        }
        out_.field(indent_, f.type, f.name);
        value(f);
        char* p = out_.reserve(2);
        p[0] = '\n';
        p[1] = '\n';
        out_.commit(p + (f.blank ? 2 : 1));
    }
    void openList(const List& list);
    SYMDECK_INLINE void element(const List& list, uint32_t index, uint64_t offset) {
        if (list.form == ListForm::Strings) {
            out_.text("  [");
            out_.dec(index);
            out_.text("] ");
        } else if (list.form == ListForm::LineRows) {
            out_.text("        ");
            out_.hex06(offset);
        }
    }
    void endElement() {}
    SYMDECK_INLINE void closeList(const List& list) {
        if (list.form == ListForm::Strings || list.form == ListForm::TypeList) out_.newline();
    }
    void heading(Heading heading);
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t kind);
    void end(const Stop& stop);

private:
    static constexpr size_t kMaxDepth = 8;

    SYMDECK_INLINE void value(const Field& f) {
        switch (f.shape) {
            case Shape::Hex: out_.hex0x(f.value); break;
            case Shape::Dec: out_.dec(f.value); break;
            case Shape::Bytes: out_.decHexBytes(f.value); break;
            case Shape::DecBytes: out_.dec(f.value); out_.text(" bytes"); break;
            case Shape::RegisterBytes:
                out_.decHexBytes(f.value);
                out_.text(" (nRegisters: ");
                out_.dec(f.aux);
                out_.ch(')');
                break;
            case Shape::NameRef:
                out_.dec(f.value);
                out_.text("(\"");
                out_.text(f.text);
                out_.text("\")");
                break;
            case Shape::HexNamed: out_.hex0x(f.value); named(f.text); break;
            case Shape::DecNamed: out_.dec(f.value); named(f.text); break;
            case Shape::FileType:
                out_.text(f.value < 0x10 ? "0x0" : "0x");
                out_.hex(f.value);
                if (!f.text.empty()) named(f.text);
                break;
            case Shape::ErrorHex: out_.text(f.text); out_.hex0x(f.value); out_.text(f.tail); break;
            case Shape::ErrorDec: out_.text(f.text); out_.dec(f.value); out_.text(f.tail); break;
            default: out_.text(f.text); break;  // Signature, String, Word
        }
    }
    // The "type name value" column header at `indent` spaces.
    SYMDECK_INLINE void columnHeader(unsigned indent) {
        // Blanks are laid down for 48 columns, so the header must end inside them.
        assert(indent + 30 <= 48);
        char* p = out_.reserve(64);
        std::memset(p, ' ', 48);
        std::memcpy(p + indent, "type", 4);
        std::memcpy(p + indent + 13, "name", 4);
        std::memcpy(p + indent + 30, "value\n", 6);
        out_.commit(p + indent + 36);
    }

    SYMDECK_INLINE void spaces(unsigned n) {
        char* p = out_.reserve(n);
        std::memset(p, ' ', n);
        out_.commit(p + n);
    }
    SYMDECK_INLINE void named(std::string_view text) {
        out_.ch('(');
        out_.text(text);
        out_.ch(')');
    }

    ReportWriter& out_;
    unsigned indent_ = 2;  // of the innermost block's fields
    unsigned indents_[kMaxDepth] = {};
    size_t depth_ = 0;
};

}  // namespace symdeck

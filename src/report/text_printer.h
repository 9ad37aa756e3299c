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
    // `forTerminal`: the report is shown on a terminal, so the texts of the database are
    // written with the bytes a terminal would act on escaped (ReportWriter::terminalText).
    explicit TextPrinter(ReportWriter& out, bool forTerminal = false) : out_(out), terminal_(forTerminal) {}

    uint64_t length() const { return out_.length(); }

    void begin();  // the banner
    SYMDECK_INLINE void open(const Title& title) {
        assert(depth_ < kMaxDepth);
        indents_[depth_++] = indent_;
        indent_ = title.indent + 2;
        // Every event binds the writer once: a byte stored into the report may alias any
        // member, so `out_` itself would be read again after each store.
        ReportWriter& out = out_;
        switch (title.form) {
            case TitleForm::Header:
                out.text(title.word);
                out.text(" (offset: 0x");
                out.hex(title.offset);
                out.text(" )\n");
                break;
            case TitleForm::Section:
            case TitleForm::SectionSpaced:
                out.text(title.word);
                out.text(" (offset: 0x");
                out.hex(title.offset);
                out.text("(start), 0x");
                out.hex(title.number);
                out.text(title.form == TitleForm::Section ? "(end))\n" : "(end) )\n");
                break;
            case TitleForm::Bare:
                spaces(out, title.indent);
                out.text(title.word);
                out.newline();
                return;
            case TitleForm::Record:
            case TitleForm::Entry:
            case TitleForm::TypeRecord:
                // The word at the title's indentation, what the form puts between, and the
                // offset last.
                spaces(out, title.indent);
                out.text(title.word);
                if (title.form == TitleForm::Entry) {
                    out.text(" (");
                    out.dec(static_cast<uint32_t>(title.number));
                    out.text(")(offset: 0x");
                } else if (title.form == TitleForm::TypeRecord) {
                    out.text(" (type: 0x");
                    out.hex(title.number);
                    out.text(") (offset: 0x");
                } else {
                    out.text(" (offset: 0x");
                }
                out.hex(title.offset);
                out.text(")\n");
                break;
        }
        columnHeader(out, title.indent + 2);
    }
    SYMDECK_INLINE void close(Close how) {
        assert(depth_ > 0);
        indent_ = indents_[--depth_];
        if (how != Close::Quiet) separator(how);
    }
    SYMDECK_INLINE void field(const Field& f) {
        ReportWriter& out = out_;
        switch (f.shape) {
            case Shape::ListName: fileText(out, f); out.newline(); return;
            case Shape::RowHex06: out.text("     "); out.hex06(f.value); return;
            case Shape::RowDec: out.text("         "); out.dec(f.value); out.newline(); return;
            default: break;
        }
        out.field(indent_, f.type, f.name);
        value(out, f);
        char* p = out.reserve(2);
        p[0] = '\n';
        p[1] = '\n';
        out.commit(p + (f.blank ? 2 : 1));
    }
    void openList(const List& list);
    SYMDECK_INLINE void element(const List& list, uint32_t index, uint64_t offset) {
        ReportWriter& out = out_;
        if (list.form == ListForm::Strings) {
            out.text("  [");
            out.dec(index);
            out.text("] ");
        } else if (list.form == ListForm::LineRows) {
            out.text("        ");
            out.hex06(offset);
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

    // What a section's close writes (out of line: once per section).
    void separator(Close how);

    SYMDECK_INLINE void value(ReportWriter& out, const Field& f) const {
        switch (f.shape) {
            case Shape::Hex: out.hex0x(f.value); break;
            case Shape::Dec: out.dec(f.value); break;
            case Shape::Bytes: out.decHexBytes(f.value); break;
            case Shape::DecBytes: out.dec(f.value); out.text(" bytes"); break;
            case Shape::RegisterBytes:
                out.decHexBytes(f.value);
                out.text(" (nRegisters: ");
                out.dec(f.aux);
                out.ch(')');
                break;
            case Shape::NameRef:
                out.dec(f.value);
                out.text("(\"");
                fileText(out, f);
                out.text("\")");
                break;
            case Shape::HexNamed: out.hex0x(f.value); named(out, f.text); break;
            case Shape::DecNamed: out.dec(f.value); named(out, f.text); break;
            case Shape::FileType:
                out.text(f.value < 0x10 ? "0x0" : "0x");
                out.hex(f.value);
                if (!f.text.empty()) named(out, f.text);
                break;
            case Shape::ErrorHex: out.text(f.text); out.hex0x(f.value); out.text(f.tail); break;
            case Shape::ErrorDec: out.text(f.text); out.dec(f.value); out.text(f.tail); break;
            default: fileText(out, f); break;  // Signature, String, Word
        }
    }
    // A field's text, escaped for a terminal when it was read from the database. The flag
    // is read here, on the fields that have a text, not once for every field.
    SYMDECK_INLINE void fileText(ReportWriter& out, const Field& f) const {
        if (terminal_ && f.textOffset != kNotInFile) out.terminalText(f.text);
        else out.text(f.text);
    }
    // The "type name value" column header at `indent` spaces.
    SYMDECK_INLINE static void columnHeader(ReportWriter& out, unsigned indent) {
        // Blanks are laid down for 48 columns, so the header must end inside them.
        assert(indent + 30 <= 48);
        char* p = out.reserve(64);
        std::memset(p, ' ', 48);
        std::memcpy(p + indent, "type", 4);
        std::memcpy(p + indent + 13, "name", 4);
        std::memcpy(p + indent + 30, "value\n", 6);
        out.commit(p + indent + 36);
    }

    SYMDECK_INLINE static void spaces(ReportWriter& out, unsigned n) {
        char* p = out.reserve(n);
        std::memset(p, ' ', n);
        out.commit(p + n);
    }
    SYMDECK_INLINE static void named(ReportWriter& out, std::string_view text) {
        out.ch('(');
        out.text(text);
        out.ch(')');
    }

    ReportWriter& out_;
    bool terminal_;
    unsigned indent_ = 2;  // of the innermost block's fields
    unsigned indents_[kMaxDepth] = {};
    size_t depth_ = 0;
};

}  // namespace symdeck

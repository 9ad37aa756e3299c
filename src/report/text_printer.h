// The text form: turns walk events into the report's exact lines. Every quirk of the text
// lives here: the column layout, the title spellings, the blank lines that close groups,
// the error lines, and the unknown-kind text that has no line feed.
#pragma once

#include <cassert>
#include <cstdint>

#include "report/events.h"
#include "report/writer.h"

namespace symdeck {

class TextPrinter {
public:
    explicit TextPrinter(ReportWriter& out) : out_(out) {}

    uint64_t length() const { return out_.length(); }

    void begin();  // the banner
    void open(const Title& title);
    void close(Close how);
    void field(const Field& f) {
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
    void element(uint32_t index, uint64_t offset) {
        if (list_ == ListForm::Strings) {
            out_.text("  [");
            out_.dec(index);
            out_.text("] ");
        } else if (list_ == ListForm::LineRows) {
            out_.text("        ");
            out_.hex06(offset);
        }
    }
    void endElement() {}
    void closeList() {
        if (list_ == ListForm::Strings || list_ == ListForm::TypeList) out_.newline();
    }
    void heading(Heading heading);
    void unknownSection(int32_t kind);
    void end(const Stop& stop);

private:
    static constexpr size_t kMaxDepth = 8;

    void value(const Field& f) {
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
    void named(std::string_view text) {
        out_.ch('(');
        out_.text(text);
        out_.ch(')');
    }

    ReportWriter& out_;
    unsigned indent_ = 2;  // of the innermost block's fields
    unsigned indents_[kMaxDepth] = {};
    size_t depth_ = 0;
    ListForm list_ = ListForm::TypeList;
};

}  // namespace symdeck

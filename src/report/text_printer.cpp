#include "report/text_printer.h"

#include <cstring>

namespace symdeck {

namespace {

constexpr std::string_view kSeparator =
    "-------------------------------------------------------------------------------\n";

void errorHead(ReportWriter& out, std::string_view header) {
    out.text("ERROR in ");
    out.text(header);
}

}  // namespace

void TextPrinter::begin() {
    out_.text(kSeparator);
    out_.text("--  NMS symbol database to text converter 1.0 (by Zobrik) ---------------------\n");
    out_.text(kSeparator);
}

void TextPrinter::close(Close how) {
    assert(depth_ > 0);
    indent_ = indents_[--depth_];
    if (how == Close::BlankSeparator) out_.newline();
    if (how != Close::Quiet) out_.text(kSeparator);
}

void TextPrinter::openList(const List& list) {
    switch (list.form) {
        case ListForm::TableOffsets:
            out_.text(" Type Table Offsets: (offset: 0x");
            out_.hex(list.offset);
            out_.text(")\n");
            break;
        case ListForm::Strings: out_.text(" Strings:\n"); break;
        case ListForm::LineRows:
            out_.text("        offset       offInCode        lineNumber\n");
            break;
        case ListForm::TypeList: break;
    }
}

void TextPrinter::heading(Heading heading) {
    switch (heading) {
        case Heading::SegmentDivider:
            out_.text("    ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n");
            break;
        case Heading::TypeTables: out_.text("\n Type Tables:\n"); break;
        case Heading::SourceFiles: out_.text("\n  Source Files Definitions:\n"); break;
        case Heading::UnknownTypeNote:
            out_.text("    (Read 'Type Strings Explained.txt' in Source\\Readings.)\n\n");
            break;
        case Heading::Gap: out_.newline(); break;
    }
}

void TextPrinter::unknownSection(int32_t kind) {
    // The text has no line feed: whatever follows continues its line.
    out_.text("UNKNOWN SubSection (value ");
    out_.dec(static_cast<uint32_t>(kind));
    out_.ch(')');
}

void TextPrinter::end(const Stop& stop) {
    switch (stop.end) {
        case WalkEnd::Complete: return;
        case WalkEnd::Limit:
            errorHead(out_, stop.header);
            out_.text(" -> the report has reached its limit of 0x");
            out_.hex(stop.number);
            out_.text(" bytes.\n");
            return;
        case WalkEnd::Bounds:
            errorHead(out_, stop.header);
            out_.text(" -> the data at offset 0x");
            out_.hex(stop.offset);
            out_.text(" runs past the end of the file (size 0x");
            out_.hex(stop.number);
            out_.text(").\n");
            return;
        case WalkEnd::Signature:
            errorHead(out_, stop.header);
            out_.text(" -> the signature was not correct.\n");
            return;
    }
}

}  // namespace symdeck

#include "forms/text_printer.h"

#include <cstring>

namespace symdeck {

namespace {

constexpr std::string_view kSeparator =
    "-------------------------------------------------------------------------------\n";

}  // namespace

void TextPrinter::begin() {
    out_.text(kSeparator);
    out_.text("--  NMS symbol database to text converter 1.0 (by Zobrik) ---------------------\n");
    out_.text(kSeparator);
}

std::string valueText(const Field& f, Spelling spelling) {
    std::string value;
    ReportWriter out(stringSink(value), 0);
    spellValue(out, f, spelling, false);
    out.flush();
    return value;
}

void TextPrinter::separator(Closing how) {
    if (how == Closing::BlankSeparator) out_.newline();
    out_.text(kSeparator);
}

void TextPrinter::openList(const List& list) {
    switch (listSpelling(list)) {
        case ListSpelling::TableOffsets:
            out_.text(" Type Table Offsets: (offset: 0x");
            out_.hex(list.offset);
            out_.text(")\n");
            break;
        case ListSpelling::Strings: out_.text(" Strings:\n"); break;
        case ListSpelling::LineRows:
            out_.text("        offset       offInCode        lineNumber\n");
            break;
        case ListSpelling::TypeList: break;
    }
}

void TextPrinter::divider() {
    out_.text("    ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n");
}

void TextPrinter::note() {
    out_.text("    (Read 'Type Strings Explained.txt' in Source\\Readings.)\n\n");
}

void TextPrinter::lead(Lead lead) {
    switch (lead) {
        case Lead::Gap: out_.newline(); break;
        case Lead::TypeTables: out_.text("\n Type Tables:\n"); break;
        case Lead::SourceFiles: out_.text("\n  Source Files Definitions:\n"); break;
        case Lead::None: break;
    }
}

void TextPrinter::unknownSection(int32_t kind) {
    // The text has no line feed: whatever follows continues its line.
    out_.text("UNKNOWN SubSection");
    out_.text(kUnknownKindNumber.before);
    out_.dec(static_cast<uint32_t>(kind));
    out_.text(kUnknownKindNumber.after);
}

void spellStop(ReportWriter& out, const Stop& stop) {
    // Every error line names the header of the part of the file being walked.
    out.text("ERROR in ");
    out.text(stop.header);
    switch (stop.end) {
        case WalkEnd::Limit:
            out.text(" -> the report has reached its limit of 0x");
            out.hex(stop.number);
            out.text(" bytes.");
            break;
        case WalkEnd::Bounds:
            out.text(" -> the data at offset 0x");
            out.hex(stop.offset);
            out.text(" runs past the end of the file (size 0x");
            out.hex(stop.number);
            out.text(").");
            break;
        case WalkEnd::Signature: out.text(" -> the signature was not correct."); break;
        case WalkEnd::Overlap:
            out.text(" -> the section at offset 0x");
            out.hex(stop.offset);
            out.text(" overlaps the section at offset 0x");
            out.hex(stop.number);
            out.text(".");
            break;
        case WalkEnd::Complete: break;
    }
}

void TextPrinter::damage(const Stop& stop, uint32_t level) {
    while (depth_ > level) indent_ = indents_[--depth_];
    damages_.add(stop);
    spellStop(out_, stop);
    out_.ch('\n');
}

void TextPrinter::end(const Stop& stop) {
    stop_ = stop;
    if (stop.end == WalkEnd::Complete) return;
    spellStop(out_, stop);
    out_.ch('\n');
}

}  // namespace symdeck

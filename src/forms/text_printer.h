// The text form: turns walk events into the report's exact lines. Every quirk of the text
// lives here: the column layout, the title spellings, the blank lines that close groups,
// the error lines, and the unknown-kind text that has no line feed.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "format/events.h"
#include "forms/text_layout.h"
#include "forms/title_number.h"
#include "forms/writer.h"

namespace symdeck {

// The value of field `f` as the report spells it in its value column (a list row's part as
// the row shows it, without the blanks that place it). The one spelling of every value:
// the report's lines, explain's answers and any other text that shows a value use it.
// A field's text, escaped for a terminal when it was read from the database
// (ReportWriter::terminalText). The flag is read here, on the fields that have a text, not
// once for every field.
SYMDECK_INLINE void fileText(ReportWriter& out, const Field& f, bool terminal) {
    if (terminal && f.textOffset != kNotInFile) out.terminalText(f.text);
    else out.text(f.text);
}

// The word that names a value, in parentheses after it: `0x2(word)`.
SYMDECK_INLINE void valueWord(ReportWriter& out, std::string_view word) {
    out.ch('(');
    out.text(word);
    out.ch(')');
}

// `terminal`: the value is shown on a terminal (texts of the database escaped).
SYMDECK_INLINE void spellValue(ReportWriter& out, const Field& f, Spelling spelling, bool terminal) {
    switch (spelling) {
        case Spelling::Hex: out.hex0x(f.value); break;
        case Spelling::Dec: out.dec(f.value); break;
        case Spelling::DecHexBytes: out.decHexBytes(f.value); break;
        case Spelling::DecBytes: out.dec(f.value); out.text(" bytes"); break;
        case Spelling::RegisterBytes:
            out.decHexBytes(f.value);
            out.text(" (nRegisters: ");
            out.dec(f.entries);
            out.ch(')');
            break;
        case Spelling::NameRef:
            out.dec(f.value);
            out.text("(\"");
            fileText(out, f, terminal);
            out.text("\")");
            break;
        case Spelling::HexNamed: out.hex0x(f.value); valueWord(out, f.text); break;
        case Spelling::DecNamed: out.dec(f.value); valueWord(out, f.text); break;
        case Spelling::FileType:
            out.text(f.value < 0x10 ? "0x0" : "0x");
            out.hex(f.value);
            if (f.meaning == Meaning::Word) valueWord(out, f.text);
            break;
        case Spelling::Message:
        case Spelling::WideMessage:
            out.text(f.text);
            if (f.meaning == Meaning::ErrorHex) out.hex0x(f.value);
            else out.dec(f.value);
            out.text(f.tail);
            break;
        case Spelling::RowHex06: out.hex06(f.value); break;
        case Spelling::RowDec: out.dec(f.value); break;
        case Spelling::AsText:
        case Spelling::ListName: fileText(out, f, terminal); break;
    }
}
SYMDECK_INLINE void spellValue(ReportWriter& out, const Field& f, bool terminal = false) {
    spellValue(out, f, spellingOf(f), terminal);
}

// The same as a string.
std::string valueText(const Field& f, Spelling spelling);
inline std::string valueText(const Field& f) { return valueText(f, spellingOf(f)); }

// Whether spellValue writes the value as a signed decimal number (0xFFFFFFFF as -1). The
// walk states that a field is read signed (`Field::isSigned`); the checks of the walk hold
// the two together, so that what the text shows and what the other forms say agree.
constexpr bool spellsSigned(const Field& f, Spelling spelling) {
    switch (spelling) {
        case Spelling::Dec:
        case Spelling::DecHexBytes:
        case Spelling::DecBytes:
        case Spelling::RegisterBytes:
        case Spelling::NameRef:
        case Spelling::DecNamed:
        case Spelling::RowDec: return true;
        case Spelling::Message:
        case Spelling::WideMessage: return f.meaning != Meaning::ErrorHex;
        case Spelling::Hex:
        case Spelling::AsText:
        case Spelling::HexNamed:
        case Spelling::FileType:
        case Spelling::ListName:
        case Spelling::RowHex06: break;
    }
    return false;
}
constexpr bool spellsSigned(const Field& f) { return spellsSigned(f, spellingOf(f)); }

// The error line of a walk that stopped (`stop.end` not Complete), without its line feed:
// the report's last line, and what explain's answers say of where the walk stopped.
void spellStop(ReportWriter& out, const Stop& stop);

// The most text one event can write, beyond the texts of the file it carries (a field's
// `text` and `tail`, written as they are: the report that the size limit counts is the
// file's, not a terminal's): a title with its divider and column header, a field's line
// with its value and a note, a list's or a run's leading lines, a section's closing line,
// the banner, the error line. A walk whose sum of these stays below the size limit cannot
// reach the limit (forms/database_map.h). The line of a field is its indentation and its
// two columns (at most 48 bytes, or 49 for a wide message), its value, a blank line.
inline constexpr uint64_t kMostTextOfAnEvent = 512;  // the banner, an error line, an unknown kind
inline constexpr uint64_t kMostTextOfAClose = 88;     // a blank line and the separator
inline constexpr uint64_t kMostTextOfAList = 64;      // a list's heading line
inline constexpr uint64_t kMostTextOfAnElement = 24;  // "  [%d] ", or a row's offset
inline constexpr uint64_t kMostTextOfARun = 32;       // the lines ahead of a run
inline constexpr uint8_t kMostValueText[] = {
    10,  // Hex: 0x and 8 digits
    11,  // Dec
    29,  // DecHexBytes
    17,  // DecBytes
    55,  // RegisterBytes
    0,   // AsText
    15,  // NameRef, around the text
    12,  // HexNamed
    13,  // DecNamed
    12,  // FileType
    11,  // Message, between the texts
    11,  // WideMessage
    0,   // ListName
    16,  // RowHex06: 0x and 6 to 8 digits, after five blanks
    21,  // RowDec, with its nine blanks and the line end
};
static_assert(std::size(kMostValueText) == static_cast<size_t>(Spelling::RowDec) + 1);
SYMDECK_INLINE constexpr uint64_t mostTextOf(const Field& f) {
    constexpr uint64_t kLine = 49 + 2;   // the columns, the line end and a blank line
    constexpr uint64_t kNote = 64;       // the pointer to the type strings
    return kLine + kMostValueText[static_cast<unsigned>(spellingOf(f))] +
           (afterOf(f) == After::Note ? kNote : 0) + f.text.size() + f.tail.size();
}
// A title: the divider of tildes ahead of a segment (71 bytes), the indentation (at most
// 18), the word, the numbers and offsets around it, and the column header (at most 56).
SYMDECK_INLINE constexpr uint64_t mostTextOf(const Title& title) {
    return (title.word == symd::kSegment.word ? 72 : 0) + 144 + title.word.size();
}

class TextPrinter {
public:
    // The report's lines say where no field leads.
    static constexpr bool kShowsTargets = false;

    // `forTerminal`: the report is shown on a terminal, so the texts of the database are
    // written with the bytes a terminal would act on escaped (ReportWriter::terminalText).
    explicit TextPrinter(ReportWriter& out, bool forTerminal = false) : out_(out), terminal_(forTerminal) {}

    uint64_t length() const { return out_.length(); }
    // The fields so far whose values have something wrong (--check reads them).
    const FieldProblems& problems() const { return problems_; }
    // How the walk ended, once it has.
    const Stop& stopped() const { return stop_; }
    // Fields with a problem that were not printed (a unit of the map passed over).
    void countProblems(const FieldProblems& more) {
        problems_.damaged += more.damaged;
        problems_.unknown += more.unknown;
    }

    void begin();  // the banner
    SYMDECK_INLINE void open(const Title& title) {
        assert(depth_ < kMaxDepth);
        const TitleLayout layout = titleLayout(title, depth_);
        closings_[depth_] = layout.closing;
        indents_[depth_++] = indent_;
        indent_ = layout.indent + 2u;
        // Every event binds the writer once: a byte stored into the report may alias any
        // member, so `out_` itself would be read again after each store.
        ReportWriter& out = out_;
        switch (layout.spelling) {
            case TitleSpelling::Header:
            case TitleSpelling::Section:
            case TitleSpelling::SectionSpaced:
                // The word and the offset; a section's title adds where the section ends.
                out.text(title.word);
                out.text(" (offset: 0x");
                out.hex(title.offset);
                if (layout.spelling == TitleSpelling::Header) {
                    out.text(" )\n");
                    break;
                }
                out.text("(start), 0x");
                out.hex(title.number);
                out.text(layout.spelling == TitleSpelling::Section ? "(end))\n" : "(end) )\n");
                break;
            case TitleSpelling::Bare:
                spaces(out, layout.indent);
                out.text(title.word);
                out.newline();
                return;
            case TitleSpelling::Divided:
            case TitleSpelling::Record:
            case TitleSpelling::Entry:
            case TitleSpelling::TypeRecord:
                if (layout.spelling == TitleSpelling::Divided) divider();
                // The word at the title's indentation, what the spelling puts between, and
                // the offset last.
                spaces(out, layout.indent);
                out.text(title.word);
                if (layout.spelling == TitleSpelling::Entry) {
                    out.text(kEntryNumber.before);
                    out.dec(static_cast<uint32_t>(title.number));
                    out.text(kEntryNumber.after);
                    out.text("(offset: 0x");
                } else if (layout.spelling == TitleSpelling::TypeRecord) {
                    out.text(kTypeNumber.before);
                    out.hex(title.number);
                    out.text(kTypeNumber.after);
                    out.text(" (offset: 0x");
                } else {
                    out.text(" (offset: 0x");
                }
                out.hex(title.offset);
                out.text(")\n");
                break;
        }
        columnHeader(out, layout.indent + 2u);
    }
    SYMDECK_INLINE void close() {
        assert(depth_ > 0);
        indent_ = indents_[--depth_];
        if (closings_[depth_] != Closing::Quiet) separator(closings_[depth_]);
    }
    SYMDECK_INLINE void field(const Field& f) {
        problems_.add(f.problem);
        ReportWriter& out = out_;
        const Spelling spelling = spellingOf(f);
        const After after = afterOf(f);
        switch (spelling) {
            case Spelling::ListName: fileText(out, f, terminal_); out.newline(); return;
            case Spelling::RowHex06: out.text("     "); out.hex06(f.value); return;
            case Spelling::RowDec: out.text("         "); out.dec(f.value); out.newline(); return;
            case Spelling::WideMessage: out.field(indent_, f.type, f.name); out.ch(' '); break;
            default: out.field(indent_, f.type, f.name); break;
        }
        spellValue(out, f, spelling, terminal_);
        char* p = out.reserve(2);
        p[0] = '\n';
        p[1] = '\n';
        out.commit(p + (after == After::Blank ? 2 : 1));
        if (after == After::Note) note();
    }
    void openList(const List& list);
    SYMDECK_INLINE void element(const List& list, uint32_t index, uint64_t offset) {
        ReportWriter& out = out_;
        const ListSpelling spelling = listSpelling(list);
        if (spelling == ListSpelling::Strings) {
            out.text("  [");
            out.dec(index);
            out.text("] ");
        } else if (spelling == ListSpelling::LineRows) {
            out.text("        ");
            out.hex06(offset);
        }
    }
    void endElement() {}
    SYMDECK_INLINE void closeList(const List& list) {
        const ListSpelling spelling = listSpelling(list);
        if (spelling == ListSpelling::Strings || spelling == ListSpelling::TypeList) out_.newline();
    }
    SYMDECK_INLINE void openRun(const Run& run) {
        if (const Lead lines = leadOf(run); lines != Lead::None) lead(lines);
    }
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t kind);
    // A walk that goes on past damage: the damage's error line where it happened. What the
    // walk had opened of the damaged structure ends without a line of its own; the report
    // goes on with the next structure's lines as they always read.
    uint32_t level() const { return static_cast<uint32_t>(depth_); }
    void damage(const Stop& stop, uint32_t level);
    void unlisted(const Stop& stop) { damages_.add(stop); }
    const Damages& damages() const { return damages_; }
    void end(const Stop& stop);

private:
    static constexpr size_t kMaxDepth = 8;

    // What a section's close writes (out of line: once per section).
    void separator(Closing how);
    // The line of tildes ahead of each segment, the reading hint of a type record of
    // unknown kind, and the lines ahead of runs (out of line: rare).
    void divider();
    void note();
    void lead(Lead lead);

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

    // A title's indentation: blanks are laid down for the deepest, so that the store is one
    // of a constant width, and the first `n` kept.
    SYMDECK_INLINE static void spaces(ReportWriter& out, unsigned n) {
        constexpr unsigned kMost = 16;
        assert(n <= kMost);
        char* p = out.reserve(kMost);
        std::memset(p, ' ', kMost);
        out.commit(p + n);
    }

    ReportWriter& out_;
    bool terminal_;
    FieldProblems problems_;
    Stop stop_{};
    Damages damages_{};
    unsigned indent_ = 2;  // of the innermost block's fields
    unsigned indents_[kMaxDepth] = {};
    Closing closings_[kMaxDepth] = {};
    size_t depth_ = 0;
};

}  // namespace symdeck

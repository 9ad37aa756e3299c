// How the text report lays out what the walk says: how a value is spelled in its column,
// what follows a field's line, how a title is spelled and what closes its block, how a
// list's rows are laid out, and the lines that stand ahead of a run of blocks.
//
// The walk says what things are (roles, meanings, signedness, which table's field, which
// list or run); the report's layout follows from that, by the rules below, but for the few
// fields and blocks that the report has always spelled their own way, which are named here
// by their tables. Every rule folds at compile time where the walk builds the event, since
// the role, the meaning and the table's field are constants there.
#pragma once

#include <array>
#include <cstdint>

#include "format/described_structures.h"
#include "format/events.h"
#include "format/symbols/symbols.h"

namespace symdeck {

// How a field's value reads in its column.
enum class Spelling : uint8_t {
    Hex,            // 0x%X
    Dec,            // %d
    DecHexBytes,    // %d(0x%X) bytes
    DecBytes,       // %d bytes
    RegisterBytes,  // %d(0x%X) bytes (nRegisters: %d), the count being the field's `entries`
    AsText,         // the field's text alone (a signature, a text from the file, an enum word)
    NameRef,        // %d("text")
    HexNamed,       // 0x%X(text)
    DecNamed,       // %d(text)
    FileType,       // 0x%02X(text), or 0x%02X alone when the value has no word
    Message,        // text, the number (hex or decimal as the meaning says), tail
    WideMessage,    // the same one column further right: the name column is 18 wide
    ListName,       // a string list's row: the name alone, then the line end
    RowHex06,       // a line row's code offset: five blanks, 0x%06X
    RowDec,         // a line row's line number: nine blanks, %d, the line end
};

// What follows a field's value.
enum class After : uint8_t {
    Line,   // the line feed
    Blank,  // a blank line: the field closes its group
    Note,   // the line feed, then the pointer to the type strings and a blank line
};

// How a block's title is spelled.
enum class TitleSpelling : uint8_t {
    Header,         // "NM32_HEADER (offset: 0x%X )": a blank before the parenthesis
    Record,         // "<word> (offset: 0x%X)" at the title's indentation
    Divided,        // the same behind the line of tildes that stands ahead of each segment
    Section,        // "<word> (offset: 0x%X(start), 0x%X(end))"
    SectionSpaced,  // the same with ") )" at its end
    Entry,          // "  NMDE_S (%d)(offset: 0x%X)"
    TypeRecord,     // "  <word> (type: 0x%X) (offset: 0x%X)"
    Bare,           // "<word>" alone, no column header
};

// What the text writes when a block ends.
enum class Closing : uint8_t {
    Quiet,           // nothing
    Separator,       // the separator line: a section's end
    BlankSeparator,  // a blank line, then the separator
};

struct TitleLayout {
    unsigned indent = 0;  // of the title; its fields stand 2 further in
    TitleSpelling spelling = TitleSpelling::Record;
    Closing closing = Closing::Quiet;
};

// How a list and its rows are laid out.
enum class ListSpelling : uint8_t {
    TableOffsets,  // heading " Type Table Offsets: (offset: 0x%X)", rows as field lines
    Strings,       // heading " Strings:", rows "  [%d] name", a blank line after the list
    TypeList,      // rows as field lines, a blank line after the list
    LineRows,      // column heading, rows "0x%06X 0x%06X %d"
};

// The line that stands ahead of a run of blocks, written even when the run is empty.
enum class Lead : uint8_t {
    None,
    Gap,          // a blank line
    TypeTables,   // "\n Type Tables:\n"
    SourceFiles,  // "\n  Source Files Definitions:\n"
};

// The fields that the report spells otherwise than their role, meaning and sign say.
enum class Quirk : uint8_t {
    None,
    FileType,     // 0x%02X, and the word in parentheses when there is one
    Bytes,        // a size in decimal alone: %d bytes
    WideMessage,  // a message whose line stands one column further right
    KindNumber,   // a record's kind: the number with its word, or the number and the note
    RowOffset,    // a line row's code offset
    RowNumber,    // a line row's line number
    NoBlank,      // the block's last field, with no blank line after it
};

namespace text_layout {

struct FieldQuirk {
    FieldDescription field;
    Quirk quirk;
};

template <size_t N>
consteval FieldDescription lastFieldOf(const StructureDescription<N>& s) {
    return s.fields[N - 1];
}

inline constexpr FieldQuirk kFieldQuirks[] = {
    {fieldOf(nm32::kHeader, "fileType"), Quirk::FileType},
    {fieldOf(nm32::kHeader, "fileLength"), Quirk::Bytes},
    {fieldOf(nmtp::kArray, "length"), Quirk::Bytes},
    // The one field line of the report whose name column is 18 characters wide.
    {fieldOf(nmtp::kMember, "access"), Quirk::WideMessage},
    // Every record's kind is reported through the unknown kind's table.
    {fieldOf(nmtp::kUnknownRecord, "lf_index"), Quirk::KindNumber},
    {fieldOf(symd::kLineRow, "offInCode"), Quirk::RowOffset},
    {fieldOf(symd::kLineRow, "lineNumber"), Quirk::RowNumber},
    // A directory entry, and a list of type indices (whose list closes with a blank line).
    {lastFieldOf(nmdr::kEntry), Quirk::NoBlank},
    {lastFieldOf(nmtp::kArgList), Quirk::NoBlank},
    {lastFieldOf(nmtp::kDerived), Quirk::NoBlank},
};

inline constexpr std::array<Quirk, kFieldIds> kQuirks = [] {
    std::array<Quirk, kFieldIds> quirks{};
    for (const FieldQuirk& q : kFieldQuirks) {
        if (q.field.id == 0) notASoundTable();  // a table without field ids
        quirks[q.field.id] = q.quirk;
    }
    return quirks;
}();

}  // namespace text_layout

SYMDECK_INLINE constexpr Quirk quirkOf(const Field& f) {
    return text_layout::kQuirks[f.described & (kFieldIds - 1)];
}

// How field `f`'s value reads in its column.
SYMDECK_INLINE constexpr Spelling spellingOf(const Field& f) {
    const Quirk quirk = quirkOf(f);
    if (f.meaning == Meaning::ErrorDec || f.meaning == Meaning::ErrorHex)
        return quirk == Quirk::WideMessage ? Spelling::WideMessage : Spelling::Message;
    switch (quirk) {
        case Quirk::FileType: return Spelling::FileType;
        case Quirk::Bytes: return Spelling::DecBytes;
        case Quirk::KindNumber: return f.meaning == Meaning::Word ? Spelling::HexNamed : Spelling::Hex;
        case Quirk::RowOffset: return Spelling::RowHex06;
        case Quirk::RowNumber: return Spelling::RowDec;
        default: break;
    }
    switch (f.role) {
        case Role::Signature:
        case Role::Text: return Spelling::AsText;
        case Role::NameIndex: return Spelling::NameRef;
        case Role::TypeIndex: return f.meaning == Meaning::Word ? Spelling::HexNamed : Spelling::Hex;
        case Role::Enum:
            // An enumeration's word: alone, or after its number when the number is signed.
            if (f.meaning == Meaning::Word) return f.isSigned ? Spelling::DecNamed : Spelling::AsText;
            break;
        case Role::Size:
            // A size in bytes, and the entries it holds when it also counts them.
            if (f.isSigned) return f.counts.empty() ? Spelling::DecHexBytes : Spelling::RegisterBytes;
            break;
        case Role::Offset:
            // An offset that stands for the name it leads to: a string list's row.
            if (f.meaning == Meaning::Word) return Spelling::ListName;
            break;
        default: break;
    }
    // A number: signed in decimal, else in hexadecimal.
    return f.isSigned ? Spelling::Dec : Spelling::Hex;
}

// What follows field `f`'s line: the last of a block's fields closes the group with a
// blank line.
SYMDECK_INLINE constexpr After afterOf(const Field& f) {
    const Quirk quirk = quirkOf(f);
    if (quirk == Quirk::KindNumber && f.meaning != Meaning::Word) return After::Note;
    return f.last && quirk != Quirk::NoBlank ? After::Blank : After::Line;
}

// How the title of a block `depth` blocks in is laid out.
SYMDECK_INLINE constexpr TitleLayout titleLayout(const Title& title, size_t depth) {
    // Two columns in for each block around it; a procedure's variables, two more.
    TitleLayout layout{static_cast<unsigned>(2 * depth + (depth == 4 ? 2 : 0))};
    switch (title.mark) {
        case Mark::SectionEnd:
            layout.spelling = title.word == sttb::kHeader.word ? TitleSpelling::SectionSpaced
                                                                : TitleSpelling::Section;
            break;
        case Mark::EntryIndex: layout.spelling = TitleSpelling::Entry; break;
        case Mark::TypeIndex: layout.spelling = TitleSpelling::TypeRecord; break;
        case Mark::None:
            if (title.word == symd::kSegment.word) layout.spelling = TitleSpelling::Divided;
            else if (title.word == kLineRows.word) layout.spelling = TitleSpelling::Bare;
            else if (depth == 0 && title.word == nm32::kHeader.word) layout.spelling = TitleSpelling::Header;
            break;
    }
    // What stands at the top, the header, the directory and each section, ends with the
    // separator.
    if (depth == 0)
        layout.closing = title.word == nmdr::kHeader.word ? Closing::BlankSeparator : Closing::Separator;
    return layout;
}

SYMDECK_INLINE constexpr ListSpelling listSpelling(const List& list) {
    if (list.subject.key == kStringList.key) return ListSpelling::Strings;
    if (list.subject.key == kLineRows.key) return ListSpelling::LineRows;
    if (list.subject.key == kTableOffsets.key) return ListSpelling::TableOffsets;
    return ListSpelling::TypeList;
}

SYMDECK_INLINE constexpr Lead leadOf(const Run& run) {
    if (run.subject.key == hsht::kEntry.word) return Lead::TypeTables;
    if (run.subject.key == kSourceSections.key) return Lead::Gap;
    if (run.subject.key == kSourceFiles.key) return Lead::SourceFiles;
    return Lead::None;
}

}  // namespace symdeck

// What only the text form of the report needs to place its bytes: how a value is spelled
// in its column, what follows a field line, how a title is spelled and what closes its
// block, how a list's rows are laid out, and the lines that stand ahead of a run of blocks.
//
// The walk attaches these to its events (the `layout` members) because only the renderer
// knows which spelling the report has always used for each field; the text printer alone
// reads them. Every other form reads the events' roles, values, names, targets and extents.
#pragma once

#include <cstdint>

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

struct FieldLayout {
    Spelling spelling = Spelling::Hex;
    After after = After::Line;
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
    uint8_t indent = 0;  // of the title; its fields stand 2 further in
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

}  // namespace symdeck

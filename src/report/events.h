// The vocabulary of a walk: what a renderer tells its printer about the database, and
// nothing about how either form of the report spells it.
//
// A printer is any type with these members, called in this order by the walk:
//
//   uint64_t length() const            bytes of report so far (the size limit reads it)
//   void begin()                       before anything else
//   void open(const Title&)            a block begins: a section, a record, a table entry
//   void field(const Field&)           one field of the innermost block or list element
//   void openList(const List&)         a list inside the fields of the innermost block,
//   void element(const List&, uint32_t i, uint64_t offset)   ... its element i begins,
//   void endElement()                  ... that element ends,
//   void closeList(const List&)        ... and the list ends
//   void heading(Heading)              a line of the text form that is no structure
//   void reads(const Field&, uint32_t) bytes the walk reads to find its way that neither
//                                      form shows: element i of the array the field names
//                                      (kNoIndex: a lone field); only explain looks at them
//   void close(Close)                  the innermost block ends
//   void unknownSection(int32_t kind)  a directory entry of a kind the walk does not know
//   void end(const Stop&)              last: how the walk ended; open blocks stay open
//
// Renderers are templates over the printer, so every call is direct and inlined; the
// printer ignores whatever its form does not show.
#pragma once

#include <cstdint>
#include <string_view>

// For the printers' per-field members: inlined where the event is built, their switch on
// the field's shape folds to the one case the renderer asked for.
#define SYMDECK_INLINE [[gnu::always_inline]] inline

namespace symdeck {

// How a field's value reads in the text form. The JSON form learns from it whether the
// value is a string and whether `text` is an interpretation or the start of an error.
enum class Shape : uint8_t {
    Hex,            // 0x%X
    Dec,            // %d
    Bytes,          // %d(0x%X) bytes
    DecBytes,       // %d bytes
    RegisterBytes,  // %d(0x%X) bytes (nRegisters: %d), the count in `aux`
    Signature,      // the signature text as name and value; the value is the text
    String,         // a text from the file; the value is the text
    NameRef,        // %d("text"): a name index and its name
    HexNamed,       // 0x%X(text)
    DecNamed,       // %d(text)
    FileType,       // 0x%02X(text), or 0x%02X alone for a known type without a name
    Word,           // the text alone
    ErrorHex,       // text, 0x%X, tail: the value breaks a rule or has no known meaning
    ErrorDec,       // text, %d, tail: the same with a decimal number
    ListName,       // a string list's row: the name alone (the text form shows no number)
    RowHex06,       // a line table row's code offset: 0x%06X after five blanks
    RowDec,         // a line table row's line number: %d after nine blanks, ends the row
};

inline constexpr uint64_t kNotInFile = ~uint64_t{0};
// The index of a field that is no element of an array.
inline constexpr uint32_t kNoIndex = ~uint32_t{0};

struct Field {
    std::string_view name;
    std::string_view type;  // the storage type word as the text shows it
    uint64_t offset;        // absolute offset in the file
    uint32_t width;         // bytes the field occupies
    uint32_t value;         // the stored number (a USHORT widened without sign)
    Shape shape;
    // The text form follows the line with a blank line: the field closes its group.
    bool blank = false;
    // The interpretation (enum word, name, register, type name), the text of a String or
    // Signature value, or the first part of an error message.
    // Both default to a real empty text, never a null one: the writer copies them with
    // memcpy, which must not be handed a null pointer even for no bytes.
    std::string_view text = "";
    std::string_view tail = "";  // the last part of an error message
    uint64_t textOffset = kNotInFile;  // where `text` was read, when it comes from the file
    uint32_t aux = 0;            // a second number the text form shows (nRegisters)
};

// How the text form spells a block title.
enum class TitleForm : uint8_t {
    Header,         // "NM32_HEADER (offset: 0x%X )": a blank before the parenthesis
    Record,         // "<word> (offset: 0x%X)" at the title's indentation
    Section,        // "<word> (offset: 0x%X(start), 0x%X(end))"; `number` is the end
    SectionSpaced,  // the same with ") )" at its end
    Entry,          // "  NMDE_S (%d)(offset: 0x%X)"; `number` is the entry's index
    TypeRecord,     // "  <word> (type: 0x%X) (offset: 0x%X)"; `number` is the type index
    Bare,           // "<word>" alone, no column header
};

struct Title {
    std::string_view word;
    uint64_t offset;
    unsigned indent;  // of the title; its fields stand 2 further in
    TitleForm form;
    uint64_t number = 0;
    // The block's place among its siblings of the same list (segment 2 of 3: 1 and 3).
    uint32_t position = 0;
    uint32_t count = 1;
};

// What the text form writes when a block ends.
enum class Close : uint8_t {
    Quiet,           // nothing
    Separator,       // the separator line: a section's end
    BlankSeparator,  // a blank line, then the separator
};

enum class ListForm : uint8_t {
    TableOffsets,  // heading " Type Table Offsets: (offset: 0x%X)", rows as field lines
    Strings,       // heading " Strings:", rows "  [%d] name", a blank line after the list
    TypeList,      // rows as field lines, a blank line after the list
    LineRows,      // column heading, rows "0x%06X 0x%06X %d"
};

struct List {
    std::string_view name;
    uint64_t offset;  // of the first element
    ListForm form;
    uint32_t count;
};

// Lines of the text form that stand between blocks and describe no structure.
enum class Heading : uint8_t {
    SegmentDivider,   // the line of tildes ahead of each segment
    TypeTables,       // "\n Type Tables:\n"
    SourceFiles,      // "\n  Source Files Definitions:\n"
    UnknownTypeNote,  // the pointer to the type strings of a record of unknown kind
    Gap,              // a blank line
};

// How a walk ended.
enum class WalkEnd : uint8_t { Complete, Bounds, Signature, Limit };

struct Stop {
    WalkEnd end = WalkEnd::Complete;
    std::string_view header = "";  // the header of the part of the file being walked
    uint64_t offset = 0;        // Bounds, Signature: where the structure begins
    uint64_t number = 0;        // Bounds: the file's size; Limit: the limit
};

}  // namespace symdeck

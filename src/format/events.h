// The vocabulary of a walk: what a renderer tells its printer about the database. Every
// field says what it is (its role), what it holds, where it lies, and where it leads; blocks,
// lists and runs of blocks say where they lie and what counts them. How any of it is
// spelled is each form's own business: nothing here is one form's.
//
// A printer is any type that satisfies the concept `Printer` (format/printer.h); the walk
// calls its members in this order:
//
//   uint64_t length() const            bytes of report so far (the size limit reads it)
//   void begin()                       before anything else
//   void open(const Title&)            a block begins: a section, a record, a table entry
//   void field(const Field&)           one field of the innermost block or list element
//   void openList(const List&)         a list inside the fields of the innermost block,
//   void element(const List&, uint32_t i, uint64_t offset)   ... its element i begins,
//   void endElement()                  ... that element ends,
//   void closeList(const List&)        ... and the list ends
//   void openRun(const Run&)           a run of sibling blocks begins (also an empty one),
//   void closeRun(const Run&)          ... and ends after its last block
//   void reads(const Field&, uint32_t) bytes the walk reads to find its way that no form
//                                      shows: element i of the array the field names
//                                      (kNoIndex: a lone field)
//   void close()                       the innermost block ends
//   bool skipUnit()                    (optional) a unit of the map is about to begin: the
//                                      header, the directory, a section, or a block of a run
//                                      of units; true: the walk passes over it whole
//   uint32_t groupSize(uint32_t count) (optional, with the next two) how a list or run of
//                                      `count` elements is cut into groups of the map
//   bool skipGroup(const Group&)       ... a group begins; true: the walk passes over it
//   void endGroup()                    ... the group walked has ended
//   void unknownSection(int32_t kind)  a directory entry of a kind the walk does not know
//   uint32_t level() const             (optional, with the next one) how deep the printer
//                                      stands, for a walk that goes on past damage
//   void damage(const Stop&, uint32_t) ... a structure failed its checks: what was opened
//                                      since `level` is closed, then the damage is shown;
//                                      the walk goes on after it
//   void end(const Stop&)              last: how the walk ended; open blocks, lists and runs
//                                      stay open
//
// Renderers are templates over the printer, so every call is direct and inlined; a printer
// ignores whatever its form does not show, and what it ignores folds away.
#pragma once

#include <cstdint>
#include <string_view>

// For the printers' per-field members: inlined where the event is built, whatever they
// decide from the field's constants (its role, its table's field) folds away.
#define SYMDECK_INLINE [[gnu::always_inline]] inline

namespace symdeck {

inline constexpr uint64_t kNotInFile = ~uint64_t{0};
// The index of a field that is no element of an array.
inline constexpr uint32_t kNoIndex = ~uint32_t{0};

// What a field is, from the format. One word per kind of field, whatever the field's name
// and however the text spells its value.
enum class Role : uint8_t {
    Offset,     // a place: in the file, in code, or in a structure; followed or not
    Count,      // how many elements or blocks of something there are
    Size,       // a length in bytes
    NameIndex,  // an index into the string table
    TypeIndex,  // a primitive type (below 0x1000) or a type record (0x1000 + i)
    Enum,       // a code with a fixed set of meanings
    Signature,  // the four letters that open a structure
    Text,       // a text stored in the file
    Number,     // anything else: versions, times, checksums, uninterpreted words
};

inline constexpr std::string_view kRoleNames[] = {"offset", "count",     "size", "nameIndex",
                                                  "typeIndex", "enum", "signature", "text",
                                                  "number"};
constexpr std::string_view roleName(Role role) { return kRoleNames[static_cast<unsigned>(role)]; }

// What the field's `text` is.
enum class Meaning : uint8_t {
    None,      // no interpretation: the value stands alone (for a Signature or Text, the
               // text is the value itself)
    Word,      // the interpretation: a name, an enumeration's word, a type or register name
    ErrorDec,  // the value has no known meaning or breaks a rule: the message is `text`,
    ErrorHex,  // the value in decimal (or hexadecimal, 0x%X), then `tail`
};

// What is wrong with a field's value, when something is: a lookup that fails, or a value
// that breaks a rule of the format. The text form spells these in its own words; other
// forms name them by these codes. The first three are damage: the file breaks a rule the
// format states. The others are values the program merely has no word for.
enum class Problem : uint8_t {
    None,
    NameIndexOutOfRange,   // a name index at or beyond the string table's count
    NamePastEndOfFile,     // a name whose offset lies past the end of the file
    WrongTableType,        // a variable entry's tableType is not one its place allows
    UnknownRegister,       // a register number without a name
    UnknownPrimitiveType,  // a type index below 0x1000 that names no known primitive type
    UnknownEnum,           // an enumeration's value without a word
    UnknownSectionKind,    // a directory entry of a kind the walk does not know
};

inline constexpr std::string_view kProblemCodes[] = {
    "",
    "nameIndexOutOfRange",
    "namePastEndOfFile",
    "wrongTableType",
    "unknownRegister",
    "unknownPrimitiveType",
    "unknownEnum",
    "unknownSectionKind"};
constexpr std::string_view problemCode(Problem problem) {
    return kProblemCodes[static_cast<unsigned>(problem)];
}
// A problem that is damage to the file, as opposed to a value without a word.
constexpr bool isDamage(Problem problem) {
    return problem == Problem::NameIndexOutOfRange || problem == Problem::NamePastEndOfFile ||
           problem == Problem::WrongTableType;
}

// Counts of the fields whose values have something wrong, by kind: damage to the file (a
// rule the format states is broken), and values the program has no word for.
struct FieldProblems {
    uint64_t damaged = 0;
    uint64_t unknown = 0;

    SYMDECK_INLINE void add(Problem problem) {
        if (problem == Problem::None) return;
        if (isDamage(problem)) ++damaged;
        else ++unknown;
    }
};

// Where a field leads.
enum class Leads : uint8_t {
    Nothing,   // no target: the field is printed and not followed, or leads nowhere
    Block,     // a block begins at the target
    Elements,  // the first block of a run, or the first element of a list, begins there
               // when the run or list is not empty
    Area,      // the start of an area whose entries are found through further offsets
    Array,     // an array the walk reads without reporting it
    Text,      // a name's text
    Record,    // a type index's record (the walk reports it where its section stands)
    LeftOut,   // a section of a kind the selection leaves out of the walk
};

inline constexpr std::string_view kLeadsWords[] = {"nothing", "block", "elements", "area",
                                                   "array",   "text",  "record",   "leftOut"};
constexpr std::string_view leadsWord(Leads leads) { return kLeadsWords[static_cast<unsigned>(leads)]; }

// Why a type index has no target.
enum class Unresolved : uint8_t {
    None,
    Primitive,        // below 0x1000: a primitive type, no record
    NoTypeSection,    // the directory has no type records entry whose header is in the file
    BeyondTypeCount,  // index - 0x1000 is not below the section's nTypes
    OffsetNotInFile,  // the record's element of the offset table is not in the file
    RecordNotInFile,  // the record's first four bytes are not in the file
};

inline constexpr std::string_view kUnresolvedWords[] = {
    "",        "primitive",       "noTypeSection", "beyondTypeCount",
    "offsetNotInFile", "recordNotInFile"};
constexpr std::string_view unresolvedWord(Unresolved why) {
    return kUnresolvedWords[static_cast<unsigned>(why)];
}

// The absolute offset a field leads to, computed from the base the format gives, whatever
// it holds and wherever it points.
struct Target {
    Leads leads = Leads::Nothing;
    bool inFile = false;  // `at` is an offset inside the file
    Unresolved why = Unresolved::None;
    uint64_t at = 0;

    constexpr bool has() const { return leads != Leads::Nothing; }
};

// What a list or a run of blocks holds, or what a count counts. `key` is the model's name
// for it, the one the JSON documents give it: a list's own name ("strings", "lineRows"), the
// word of the blocks of a run, or a name for what is counted but not reported. `word` is the
// text form's: a list's name in explain's text and in the view, the title word of each block
// of a run (or what the run's blocks are together).
struct Subject {
    std::string_view key;
    std::string_view word;
};

// A run of blocks that all bear the title `word`: the model names it by its blocks' word.
constexpr Subject blocksTitled(std::string_view word) { return Subject{word, word}; }

// How a count relates to what the walk reports.
enum class Counting : uint8_t {
    Run,         // the number of blocks of the run, or elements of the list, whose
                 // `countedBy` is this field's offset
    Share,       // this field's share of such a run's number (a source section's rows)
    Unreported,  // what it counts is not reported (array elements, struct fields, arguments)
};

struct Field {
    std::string_view name;
    std::string_view type;  // the storage type word ("ULONG", "USHORT", "CHAR[0x104]")
    // Extent: where the field lies, as an absolute offset in the file, and its bytes. Every
    // block, list and run states its extent the same way: its offset and a size.
    uint64_t offset;
    uint32_t size;
    uint32_t value;         // the stored number (a USHORT widened without sign)
    Role role;
    Meaning meaning = Meaning::None;
    // Which field of which described structure this is (FieldDescription::id); 0 for a
    // field that no table describes (an element of an array, a list's row).
    uint16_t described = 0;
    // The last of its block's own fields: the block's lists, runs and inner blocks, or its
    // end, come next. (Never set on a list's rows, which are no field of the block.)
    bool last = false;
    // The format reads the number as signed: a ULONG from 0x80000000 on stands for a
    // negative number (0xFFFFFFFF is -1). A USHORT, widened without sign, never does.
    bool isSigned = false;
    Counting counting = Counting::Run;  // for a Count (and a Size with `entries`)
    // The interpretation, the text of a Signature or Text, or the first part of a message.
    // Both default to a real empty text, never a null one: the writer copies them with
    // memcpy, which must not be handed a null pointer even for no bytes.
    std::string_view text = "";
    std::string_view tail = "";        // the last part of a message
    uint64_t textOffset = kNotInFile;  // where `text` was read, when it comes from the file
    Target target{};
    // A Count: the `key` of the run or list it counts, or of what it counts that is not
    // reported.
    std::string_view counts = "";
    // A Size that also counts entries (sizeRegVariables): how many.
    uint32_t entries = 0;
    // What is wrong with the value, if anything (the text form tells it by `text`).
    Problem problem = Problem::None;
};

// Field `f` holds a value the program has no word for: it is spelled as a message, the
// value (in decimal, or in hexadecimal for ErrorHex) followed by "(unknown)".
constexpr void markUnknown(Field& f, Meaning error, Problem problem) {
    f.meaning = error;
    f.tail = "(unknown)";
    f.problem = problem;
}

// What a block's title numbers besides its offset.
enum class Mark : uint8_t {
    None,
    SectionEnd,  // `number`: the section's start plus its sectionLength, as a 32-bit sum
    EntryIndex,  // `number`: the directory entry's index
    TypeIndex,   // `number`: the type record's index (0x1000 + its place in the table)
};

struct Title {
    std::string_view word;
    uint64_t offset;  // extent: where the block begins ...
    uint64_t size;    // ... and the bytes of its fixed part
    Mark mark = Mark::None;
    uint64_t number = 0;
    // The block's place among its siblings of the same run (segment 2 of 3: 1 and 3).
    uint32_t position = 0;
    uint32_t count = 1;
};

struct List {
    Subject subject;
    uint64_t offset;  // of the first element
    uint32_t count;
    uint32_t stride;                 // bytes per element
    uint64_t countedBy = kNotInFile;  // the offset of the count field that counts it
};

// A run of sibling blocks: the blocks a count or an array of offsets leads to.
struct Run {
    Subject subject;
    uint64_t offset;        // where the first block, or the array of offsets, begins
    uint32_t count;         // blocks the run will hold when the walk completes it
    uint32_t stride;        // bytes between blocks; 0: each block's place is read
    uint64_t countedBy = kNotInFile;
    // Each block of the run is a unit of the database's map (as the header, the directory
    // and each section are): a walk that knows a unit's text may pass over it whole.
    bool units = false;
};

// How a walk ended, or (Bounds, Signature) why a structure failed its checks. Overlap never
// ends a walk: two sections at different offsets whose extents intersect (Stop::offset is
// the later section's, Stop::number the one it runs into), a damage of its own kind.
enum class WalkEnd : uint8_t { Complete, Bounds, Signature, Limit, Overlap };

// The code of a damage, as the JSON forms and docs/keep-going.md name it.
constexpr std::string_view damageCode(WalkEnd end) {
    switch (end) {
        case WalkEnd::Bounds: return "bounds";
        case WalkEnd::Signature: return "signature";
        case WalkEnd::Limit: return "limit";
        case WalkEnd::Overlap: return "overlap";
        case WalkEnd::Complete: break;
    }
    return "complete";
}

struct Stop {
    WalkEnd end = WalkEnd::Complete;
    std::string_view header = "";  // the header of the part of the file being walked
    uint64_t offset = 0;        // Bounds, Signature: where the structure begins
    uint64_t number = 0;        // Bounds: the file's size; Limit: the limit
};

// Where a section lies: from its offset to the end its title prints (the 32-bit sum of its
// offset and sectionLength; none when that sum is not above the offset), or, for a section
// whose title prints no end, its header's fixed part.
struct SectionReach {
    std::string_view header;
    uint64_t offset;
    uint64_t end;
};

// The damages a walk went on past (SectionSelection::keepGoing): how many, and the first.
struct Damages {
    uint64_t count = 0;
    Stop first{};

    void add(const Stop& stop) {
        if (count++ == 0) first = stop;
    }
};

}  // namespace symdeck

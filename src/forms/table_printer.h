// The table form (--table): one row per field, every row the same columns in the same
// order, for loading into a database engine. Two spellings of the same rows: CSV with a
// header line (LF line ends, the texts quoted, their quotes doubled, the program's own words
// and numbers not; an empty field is null), or, with --json-lines, one JSON object a line
// with the same keys in the same order (null where a column has no value).
//
// The columns (kTableColumns) are the block's (the database's name, the block's word, its
// offset, its size, the path of the blocks above it, its identity) and then the field's
// (its list and element when it is a row of a list, its name, storage type, offset, size,
// role, its number, its text, its target, whether the target lies outside the file, and its
// problem code). A block's size is its extent: from its first byte to the end of the last
// byte its fixed part, its own fields and its list hold, the list as its count gives it (a
// block has one list at most, of rows of one size, after its own fields). That is known when
// its list begins, or when it ends or a block nests in it: its own fields' rows wait in a
// buffer until then, and its list's rows are written as they come.
// A block without fields has one row whose field columns are null.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "format/events.h"
#include "forms/identity.h"
#include "forms/json_printer.h"
#include "forms/writer.h"

namespace symdeck {

// The columns, in their order: the CSV header line and the keys of the JSON rows.
inline constexpr std::string_view kTableColumns[] = {
    "database",   "block",       "block_offset", "block_size",  "block_path", "identity",
    "list_name",  "list_element", "field_name",  "field_type",  "field_offset", "field_size",
    "field_role", "value_number", "value_text",  "target",      "target_outside", "problem"};
inline constexpr size_t kTableBlockColumns = 6;

enum class TableForm : uint8_t { Csv, JsonLines };

class TablePrinter {
public:
    TablePrinter(ReportWriter& out, std::string_view databaseName, TableForm form)
        : out_(out), name_(databaseName), json_(form == TableForm::JsonLines) {}

    uint64_t length() const { return out_.length() + pending_.view().size(); }
    const FieldProblems& problems() const { return problems_; }
    // How the walk ended, once it has.
    const Stop& stopped() const { return stop_; }

    void begin();
    void open(const Title& title);
    void close();
    SYMDECK_INLINE void field(const Field& f) {
        problems_.add(f.problem);
        assert(depth_ > 0);
        Open& block = blocks_[depth_ - 1];
        // Only a list's rows come after the block's size is known.
        assert(!block.settled || inList_);
        const uint64_t end = f.offset + f.size;
        if (end > block.end) block.end = end;
        if (keysItsBlock(f) && !inList_) block.step.key = f.value;
        row(f);
        if (block.settled) writePending();
    }
    // A block's list comes after its own fields, and a block has one list at most, of rows
    // of one size: its extent is known here, and its rows need not wait.
    void openList(const List& list) {
        Open& block = blocks_[depth_ - 1];
        const uint64_t end = list.offset + uint64_t{list.count} * list.stride;
        if (end > block.end) block.end = end;
        if (!block.settled) settle();
        inList_ = true;
        list_ = list.subject.key;
    }
    void element(const List&, uint32_t index, uint64_t) { element_ = index; }
    void endElement() {}
    void closeList(const List&) { inList_ = false; }
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t kind);
    void end(const Stop& stop);

private:
    static constexpr size_t kMaxDepth = 16;
    struct Open {
        IdentityStep step;
        uint64_t offset;
        uint64_t end;           // the end of the last byte its fields hold so far
        size_t pathEnd;         // where its step ends in path_ and identity_
        size_t identityEnd;
        bool settled;  // its size is known, its identity made and its rows so far written
        bool anyRow;
    };

    // A text column: "..." in CSV (quoted where it must be), a JSON string.
    void textColumn(ValuesBuffer& to, std::string_view text) const;
    char* word(char* p, std::string_view text) const;
    // What comes before column `column` of a row (for the first: what opens the row).
    char* before(char* p, size_t column) const;
    void row(const Field& f);
    // The innermost block's size is known: its identity and block columns are made, and its
    // rows so far written.
    void settle();
    void writePending();
    // The innermost block ends, or a block nests in it: settled, and with one row at least.
    void finish();

    ReportWriter& out_;
    std::string_view name_;
    bool json_;
    Open blocks_[kMaxDepth] = {};
    SiblingCounts siblings_[kMaxDepth + 1];  // the counts of each open block's children
    size_t depth_ = 0;
    bool inList_ = false;
    std::string_view list_ = "";
    uint32_t element_ = 0;
    ValuesBuffer pending_;     // the innermost block's rows, from their list_name column on
    std::vector<size_t> rowEnds_;
    // These keep their capacity: after the first blocks nothing here allocates.
    std::string prefix_;    // a row's block columns
    std::string path_;      // the words and offsets of the open blocks, joined by '/'
    std::string identity_;  // the identity of the innermost block whose rows are written
    std::string database_;  // the database's name, as a column
    FieldProblems problems_;
    Stop stop_{};
};

}  // namespace symdeck

// The JSON forms: turn walk events into one JSON document (--json), or into one JSON object
// per line (--json-lines). Version 2 of both (docs/json-version-2.md says what changed).
//
//   {"format":"symdeck-report","version":2,"database":{"name":...,"size":...},
//    "blocks":[...],"result":{"status":"complete",...}}
//
// A block is {"block":<word>,"offset":...,"fields":[...],"values":{...}} with "blocks":[...]
// last when blocks nest in it. A field is {"name","type","offset","size","value"} then, as
// they apply, "signed", "text" or "error", "bytes", and always "role", then "target",
// "leads", "targetOutsideFile", "counts", "counting", "entries". `values` maps each of the
// block's own fields (not those of its lists' elements) to its value. A list is an entry of
// "fields": {"list":<identifier>,"offset":...,"elements":[[fields]...]}. Lists, and what
// a count counts, are named by their subject's key (format/events.h): the model's name.
//
// The lines form writes a "header" line, one "block" line per block (its fields and values,
// and the path of the blocks it nests in), "list" lines that carry on a long list of the
// block line before, and a "result" line.
//
// Texts from the file that are valid UTF-8 are written as that text; where they are not,
// each maximal invalid subsequence becomes one U+FFFD and "bytes" holds the exact bytes in
// lower-case hexadecimal. The printer keeps the stack of open scopes and closes all of them
// at the end, however the walk ended.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "format/events.h"
#include "forms/writer.h"

namespace symdeck {

// `text` as one JSON string, quotes included: the one way every JSON document of the
// program writes a text. Valid UTF-8 goes out as it is, each maximal invalid subsequence as
// one U+FFFD; quotes, backslashes, control characters and the C1 controls (U+0080 to
// U+009F, which some terminals obey) are escaped. Returns whether `text` was valid UTF-8:
// where it was not, the caller adds the exact bytes with writeJsonBytes.
bool writeJsonString(ReportWriter& out, std::string_view text);

// How a walk ended, as JSON members: "status":"complete", or "status":"error" with the
// kind of stop, the header being walked and where (JSON 2's result).
void writeJsonWalkStatus(ReportWriter& out, const Stop& stop);
// Where a stop or a damage lies, as JSON members after its kind: "header" and the offset
// and the file's size, or the limit.
void writeJsonStopPlace(ReportWriter& out, const Stop& stop);

// ,"bytes":"<hex>": the exact bytes of `text`, in lower-case hexadecimal.
void writeJsonBytes(ReportWriter& out, std::string_view text);

// A growing buffer with the writer's reserve/commit interface: a block's values wait here
// until its fields are written. It grows to the largest block and then stays.
class ValuesBuffer {
public:
    ValuesBuffer() { data_.resize(4096); }
    char* reserve(size_t n) {
        if (data_.size() - used_ < n) data_.resize(2 * (used_ + n));
        return data_.data() + used_;
    }
    void commit(char* end) { used_ = static_cast<size_t>(end - data_.data()); }
    void text(std::string_view s) { commit(static_cast<char*>(std::memcpy(reserve(s.size()), s.data(), s.size())) + s.size()); }
    void ch(char c) { *reserve(1) = c; ++used_; }
    std::string_view view() const { return {data_.data(), used_}; }
    bool empty() const { return used_ == 0; }
    void clear() { used_ = 0; }

private:
    std::string data_;
    size_t used_ = 0;
};

// The same JSON string into a buffer.
bool writeJsonString(ValuesBuffer& out, std::string_view text);

// The storage word of `size` bytes; other sizes (arrays of characters) keep their own.
SYMDECK_INLINE constexpr std::string_view storageWord(const Field& f) {
    return f.size == 4 ? std::string_view("ULONG") : f.size == 2 ? std::string_view("USHORT") : f.type;
}

class JsonPrinter {
public:
    // `lines`: the --json-lines form.
    JsonPrinter(ReportWriter& out, std::string_view databaseName, uint64_t databaseSize, bool lines = false)
        : out_(out), name_(databaseName), size_(databaseSize), lines_(lines) {}

    // The most elements, and about the most bytes, one line of the lines form holds of a list.
    static constexpr uint32_t kLineElements = 2048;
    static constexpr uint64_t kLineBytes = 256 * 1024;

    uint64_t length() const { return out_.length(); }
    const FieldProblems& problems() const { return problems_; }
    // How the walk ended, once it has.
    const Stop& stopped() const { return stop_; }

    void begin();
    void open(const Title& title);
    void close();
    SYMDECK_INLINE void field(const Field& f) {
        assert(top() == Scope::Fields || top() == Scope::Element);
        // A block's own fields all come before its lists end its line; the elements of a list
        // that the lines form split go on after it.
        assert(top() == Scope::Element || !fieldsEnded_);
        assert(f.meaning < Meaning::ErrorDec || f.problem != Problem::None);
        // Names and type words are the program's own short ASCII words: no escaping.
        assert(f.name.size() <= 16 && f.type.size() <= 16);
        problems_.add(f.problem);
        const bool own = top() == Scope::Fields;
        char* p = out_.reserve(ReportWriter::kMaxReserve);
        p = separator(p);
        p = put(p, "{\"name\":\"");
        p = put(p, f.name);
        p = put(p, "\",\"type\":\"");
        p = put(p, storageWord(f));
        p = put(p, "\",\"offset\":");
        p = number(p, f.offset);
        p = put(p, ",\"size\":");
        p = number(p, f.size);
        p = put(p, ",\"value\":");
        if (f.role == Role::Signature || f.role == Role::Text) {
            // The text is the value.
            out_.commit(p);
            textValue(f.name, f.text, own);
        } else {
            p = number(p, f.value);
            if (f.isSigned && f.size == 4 && f.value >= 0x80000000u) {
                p = put(p, ",\"signed\":");
                p = putSignedDecimal(p, static_cast<int32_t>(f.value));
            }
            if (own) ownValue(f.name, f.value);
            if (f.problem != Problem::None) {
                p = put(p, ",\"error\":\"");
                p = put(p, problemCode(f.problem));
                *p++ = '"';
                out_.commit(p);
            } else if (f.meaning == Meaning::Word) {
                out_.commit(put(p, ",\"text\":"));
                // Names come from the file; enumeration words and type names are the
                // program's own, which the same writing leaves as they are.
                fileText(f.text);
            } else {
                out_.commit(p);
            }
        }
        p = out_.reserve(ReportWriter::kMaxReserve);
        p = put(p, ",\"role\":\"");
        p = put(p, roleName(f.role));
        *p++ = '"';
        if (f.target.has()) {
            p = number(put(p, ",\"target\":"), f.target.at);
            p = put(p, ",\"leads\":\"");
            p = put(p, leadsWord(f.target.leads));
            *p++ = '"';
            if (!f.target.inFile) p = put(p, ",\"targetOutsideFile\":true");
        }
        if (!f.counts.empty()) {
            p = put(p, ",\"counts\":\"");
            p = put(p, f.counts);
            p = put(p, "\",\"counting\":\"");
            p = put(p, countingWord(f.counting));
            *p++ = '"';
        }
        // A size that also counts entries (sizeRegVariables) says how many.
        if (f.role == Role::Size && !f.counts.empty())
            p = number(put(p, ",\"entries\":"), f.entries);
        *p++ = '}';
        out_.commit(p);
    }
    void openList(const List& list);
    void element(const List& list, uint32_t i, uint64_t) {
        assert(top() == Scope::List);
        if (lines_ && (inChunk_ >= kLineElements || out_.length() - lineStart_ >= kLineBytes))
            splitList(list, i);
        ++inChunk_;
        char* p = separator(out_.reserve(2));
        *p++ = '[';
        out_.commit(p);
        push(Scope::Element);
    }
    void endElement() {
        assert(top() == Scope::Element);
        pop("]");
    }
    void closeList(const List&);
    // Runs of blocks are not part of this document (its blocks nest as they are walked).
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t kind);
    // A walk that goes on past damage: what was opened since `level` is closed, and the
    // damage is written where it happened, as a member of the blocks it stands among (a
    // "damage" line of the lines form).
    uint32_t level() const { return static_cast<uint32_t>(depth_); }
    void damage(const Stop& stop, uint32_t level);
    // Counted for --check; the document without the flag stays as it is.
    void unlisted(const Stop& stop) { unlisted_.add(stop); }
    // The damages shown, and those counted unshown.
    Damages damages() const {
        Damages all = damages_;
        if (all.count == 0) all.first = unlisted_.first;
        all.count += unlisted_.count;
        return all;
    }
    void end(const Stop& stop);

    static std::string_view countingWord(Counting counting);

private:
    // What the innermost open bracket holds.
    enum class Scope : uint8_t { Blocks, Fields, List, Element };
    static constexpr size_t kMaxDepth = 16;

    Scope top() const { return scopes_[depth_ - 1]; }
    void push(Scope scope) {
        assert(depth_ < kMaxDepth);
        scopes_[depth_] = scope;
        first_[depth_] = true;
        ++depth_;
    }
    void pop(std::string_view closing) {
        --depth_;
        out_.text(closing);
    }
    // A comma unless this is the first item of the innermost array.
    char* separator(char* p) {
        if (!first_[depth_ - 1]) *p++ = ',';
        first_[depth_ - 1] = false;
        return p;
    }
    static char* put(char* p, std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        return p + s.size();
    }
    static char* number(char* p, uint64_t value) { return putDecimal(p, value); }
    // A block's own field into its values: "name":value.
    SYMDECK_INLINE void ownValue(std::string_view name, uint32_t value) {
        char* p = values_.reserve(64);
        if (!values_.empty()) *p++ = ',';
        *p++ = '"';
        p = put(p, name);
        p = put(p, "\":");
        values_.commit(number(p, value));
    }
    // A text from the file as a value (and into the values when the field is the block's own).
    void textValue(std::string_view name, std::string_view text, bool own);
    // A text from the file, with "bytes" after it when it is not valid UTF-8.
    void fileText(std::string_view text);
    // Ends the fields of the innermost block: its values, then what the form puts after.
    void endFields();
    void splitList(const List& list, uint32_t first);
    void path();
    // Closes the open scopes, innermost first, until `level` of them are left.
    void closeTo(size_t level);

    ReportWriter& out_;
    std::string_view name_;
    uint64_t size_;
    bool lines_;
    Scope scopes_[kMaxDepth] = {};
    bool first_[kMaxDepth] = {};
    size_t depth_ = 0;
    ValuesBuffer values_;  // the innermost block's, while its fields are written
    FieldProblems problems_;
    Stop stop_{};
    Damages damages_{};
    Damages unlisted_{};
    // The lines form: the open blocks (word and offset), where the current line began, how
    // many elements of a list it holds, and whether the block's line has already ended
    // (its list goes on in list lines).
    struct Open {
        std::string_view word;
        uint64_t offset;
    };
    Open blocks_[kMaxDepth] = {};
    size_t openBlocks_ = 0;
    uint64_t lineStart_ = 0;
    uint32_t inChunk_ = 0;
    uint64_t listOffset_ = 0;
    bool fieldsEnded_ = false;
};

}  // namespace symdeck

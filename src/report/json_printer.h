// The JSON form: turns walk events into one JSON document.
//
//   {"format":"symdeck-report","version":1,"database":{"name":...,"size":...},
//    "blocks":[...],"end":{"status":"complete"}}
//
// A block is {"block":<title word>,"offset":...,"fields":[...]} with "blocks":[...] after
// its fields when blocks nest in it; a field is {"name","type","offset","size","value"}
// with "text" (its interpretation) or "error" where the text form shows one; a list is an
// entry of "fields" with "elements", each an array of fields. Texts from the file are raw
// bytes: each byte is written as one code point, so every document is valid JSON whatever
// the file holds. The printer keeps the stack of open scopes and closes all of them at the
// end, however the walk ended.
#pragma once

#include <cassert>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "report/events.h"
#include "report/writer.h"

namespace symdeck {

// `text` as one JSON string, quotes included: each byte is the code point of the same
// number (0x80-0xFF as \u0080-\u00FF), with quotes, backslashes and control bytes escaped.
// Every document that writes its texts this way is valid JSON whatever the file holds.
void writeJsonString(ReportWriter& out, std::string_view text);

// `text`, the system's own UTF-8 text (a name from the command line), as one JSON string of
// the same characters, quotes included. The document stays ASCII: every character past
// U+007F is a \u escape (a surrogate pair past U+FFFF). A byte that is not part of valid
// UTF-8 is written as U+FFFD.
void writeJsonText(ReportWriter& out, std::string_view text);

class JsonPrinter {
public:
    JsonPrinter(ReportWriter& out, std::string_view databaseName, uint64_t databaseSize)
        : out_(out), name_(databaseName), size_(databaseSize) {}

    uint64_t length() const { return out_.length(); }

    void begin();
    void open(const Title& title);
    void close() {
        assert(depth_ > 1 && (top() == Scope::Fields || top() == Scope::Blocks));
        pop("]}");
    }
    SYMDECK_INLINE void field(const Field& f) {
        assert(top() == Scope::Fields || top() == Scope::Element);
        // Names and type words are the program's own short ASCII words: no escaping.
        assert(f.name.size() <= 16 && f.type.size() <= 16);
        char* p = out_.reserve(ReportWriter::kMaxReserve);
        p = separator(p);
        p = put(p, "{\"name\":\"");
        p = put(p, f.name);
        p = put(p, "\",\"type\":\"");
        p = put(p, f.type);
        p = put(p, "\",\"offset\":");
        p = number(p, f.offset);
        p = put(p, ",\"size\":");
        p = number(p, f.size);
        p = put(p, ",\"value\":");
        if (f.role == Role::Signature || f.role == Role::Text) {
            // The text is the value.
            out_.commit(p);
            quoted(f.text);
        } else if (f.meaning == Meaning::Word) {
            p = number(p, f.value);
            p = put(p, ",\"text\":");
            out_.commit(p);
            quoted(f.text);
        } else if (f.meaning != Meaning::None) {
            p = number(p, f.value);
            out_.commit(p);
            // The pieces by value: the field itself never leaves this inlined member, so its
            // role and meaning stay constants that fold.
            error(f.text, f.meaning == Meaning::ErrorHex, f.value, f.tail);
        } else {
            out_.commit(number(p, f.value));
        }
        out_.ch('}');
    }
    void openList(const List& list);
    void element(const List&, uint32_t, uint64_t) {
        assert(top() == Scope::List);
        char* p = separator(out_.reserve(2));
        *p++ = '[';
        out_.commit(p);
        push(Scope::Element);
    }
    void endElement() {
        assert(top() == Scope::Element);
        pop("]");
    }
    void closeList(const List&) {
        assert(top() == Scope::List);
        pop("]}");
    }
    // Runs of blocks are not part of this document (its blocks nest as they are walked).
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t kind);
    void end(const Stop& stop);

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
    // The head of an object at the innermost array's next place: `opening` (the brace and
    // its first key up to the quote of its value), `word`, then the object's "offset".
    char* head(std::string_view opening, std::string_view word, uint64_t offset) {
        char* p = separator(out_.reserve(ReportWriter::kMaxReserve));
        p = put(p, opening);
        p = put(p, word);
        p = put(p, "\",\"offset\":");
        return number(p, offset);
    }
    static char* put(char* p, std::string_view s) {
        std::memcpy(p, s.data(), s.size());
        return p + s.size();
    }
    static char* number(char* p, uint64_t value) { return std::to_chars(p, p + 20, value).ptr; }
    void quoted(std::string_view text) { writeJsonString(out_, text); }
    void error(std::string_view head, bool hex, uint32_t value, std::string_view tail);

    ReportWriter& out_;
    std::string_view name_;
    uint64_t size_;
    Scope scopes_[kMaxDepth] = {};
    bool first_[kMaxDepth] = {};
    size_t depth_ = 0;
};

}  // namespace symdeck

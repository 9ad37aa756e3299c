#include "forms/explain_answers.h"

#include <algorithm>
#include <queue>
#include <string_view>
#include <vector>

#include "forms/json_printer.h"
#include "forms/text_printer.h"

namespace symdeck {

namespace {

// The least offset that a reader holding numbers as doubles may not read back exactly.
constexpr uint64_t kExactInDouble = uint64_t{1} << 53;

// Writes the answers either as lines of text or as one JSON array; both go through the
// same calls, so the two forms always hold the same facts.
class AnswerWriter {
public:
    AnswerWriter(ReportWriter& out, bool json, bool forTerminal)
        : out_(out), json_(json), terminal_(forTerminal && !json) {}

    bool json() const { return json_; }
    bool terminal() const { return terminal_; }
    void hex(uint64_t v) { out_.hex0x(v); }
    void num(uint64_t v) {
        if (json_) writeDecimal(v);
        else out_.hex0x(v);
    }
    void writeDecimal(uint64_t v) { out_.decimal(v); }
    void text(std::string_view s) { out_.text(s); }
    // A JSON member: `prefix` (its separator and key) and its value.
    void member(std::string_view prefix, uint64_t v) {
        text(prefix);
        num(v);
    }
    void member(std::string_view prefix, std::string_view s) {
        text(prefix);
        string(s);
    }
    // A text that may hold any byte from the file: as the JSON report writes its texts, or
    // in quotes as it stands (escaped for a terminal on one). Returns whether the text is
    // valid UTF-8 (in JSON, a text that is not is written with U+FFFD in its place).
    bool string(std::string_view s) {
        if (json_) return writeJsonString(out_, s);
        out_.ch('"');
        if (terminal_) out_.terminalText(s);
        else out_.text(s);
        out_.ch('"');
        return true;
    }
    // A JSON member that holds a text of the file, with its exact bytes after it where it is
    // not valid UTF-8, as in the report's JSON.
    void fileText(std::string_view prefix, std::string_view s) {
        text(prefix);
        if (!string(s)) writeJsonBytes(out_, s);
    }

private:
    ReportWriter& out_;
    bool json_;
    bool terminal_;
};

void blockLabel(AnswerWriter& w, const Title& t) {
    w.text(t.word);
    if (t.mark == Mark::TypeIndex) {
        w.text(" (type: ");
        w.hex(t.number);
        w.text(")");
    }
    w.text(" (offset: ");
    w.hex(t.offset);
    w.text(")");
    if (t.count > 1 || t.position > 0) {
        w.text(" ");
        w.writeDecimal(uint64_t{t.position} + 1);
        w.text(" of ");
        w.writeDecimal(t.count);
    }
}

void jsonBlock(AnswerWriter& w, const Title& t) {
    w.member("{\"block\":", t.word);
    w.member(",\"offset\":", t.offset);
    if (t.mark == Mark::TypeIndex) {
        w.member(",\"typeIndex\":", t.number);
    }
    w.member(",\"index\":", t.position);
    w.member(",\"count\":", t.count);
    w.text("}");
}

// " at START..LAST, byte N of SIZE": where `offset` lies in the `size` bytes from `start`.
void byteOf(AnswerWriter& w, uint64_t offset, uint64_t start, uint64_t size) {
    w.text(" at ");
    w.hex(start);
    w.text("..");
    w.hex(start + size - 1);
    w.text(", byte ");
    w.writeDecimal(offset - start);
    w.text(" of ");
    w.writeDecimal(size);
}

// The bytes of a name's text that the file holds: the text and the NUL that ends it, or the
// text alone when it runs to the end of the file without one.
uint64_t textExtent(const Field& f, uint64_t imageSize) {
    if (f.textOffset >= imageSize) return 0;
    return std::min<uint64_t>(f.text.size() + 1, imageSize - f.textOffset);
}

// A text from the file as an answer shows it: its first kMaxShownText bytes.
std::string_view shown(std::string_view text) { return text.substr(0, kMaxShownText); }

// What an answer adds after a text it has cut: the text's full length.
void cutNote(AnswerWriter& w, size_t length) {
    if (length <= kMaxShownText) return;
    if (w.json()) {
        w.member(",\"cut\":{\"shown\":", kMaxShownText);
        w.member(",\"length\":", length);
        w.text("}");
        return;
    }
    w.text(" (cut: the first ");
    w.writeDecimal(kMaxShownText);
    w.text(" of ");
    w.writeDecimal(length);
    w.text(" bytes shown)");
}

// Texts spelled by the report's own functions, into one line kept for all.
class Spelled {
public:
    Spelled() : out_(stringSink(line_), 0) {}

    // The field's value as the text report spells it, its text cut to kMaxShownText bytes.
    std::string_view value(const Field& f, bool terminal) {
        line_.clear();
        Field alone = f;
        alone.text = shown(f.text);
        spellValue(out_, alone, terminal);
        return done();
    }
    // A field's message: its first part, the value in the radix its meaning gives, its last
    // part (as the report's JSON gives it).
    std::string_view message(const Field& f) {
        line_.clear();
        out_.text(shown(f.text));
        if (f.meaning == Meaning::ErrorHex) out_.hex0x(f.value);
        else out_.dec(f.value);
        out_.text(f.tail);
        return done();
    }
    // The error line where the walk stopped.
    std::string_view stop(const Stop& stop) {
        line_.clear();
        spellStop(out_, stop);
        return done();
    }

private:
    // An empty text stays a view into the line: the writer copies it with memcpy, which must
    // not be handed a null pointer.
    std::string_view done() {
        out_.flush();
        return std::string_view(line_);
    }
    std::string line_;
    ReportWriter out_;
};

void textHit(AnswerWriter& w, uint64_t offset, std::span<const Title> chain, const ExplainPlace& hit,
             uint64_t imageSize, Spelled& spelled) {
    w.hex(offset);
    w.text(":");
    for (size_t i = 0; i < chain.size(); ++i) {
        w.text(i == 0 ? " " : " > ");
        blockLabel(w, chain[i]);
    }
    w.text("\n  ");
    if (hit.inList) {
        w.text("list ");
        w.text(hit.list.subject.word);
        // Numbered from 0, as the report numbers the string table's names ("[2] main").
        w.text(", element [");
        w.writeDecimal(hit.element);
        w.text("] of ");
        w.writeDecimal(hit.list.count);
        w.text(", ");
    }
    const Field& f = hit.field;
    if (hit.inText) {
        w.text("text of ");
        w.text(f.name);
        byteOf(w, offset, f.textOffset, textExtent(f, imageSize));
        w.text(offset - f.textOffset == f.text.size() ? " (its terminating NUL)" : "");
        w.text(", ");
        w.string(shown(f.text));
        cutNote(w, f.text.size());
        w.text("\n");
        return;
    }
    // A field the walk reads to find its way says so: the report has no line of it.
    w.text(hit.readIndex == kShown ? "field " : "read, not shown: ");
    w.text(f.name);
    if (hit.readIndex != kShown && hit.readIndex != kNoIndex) {
        w.text(" [");
        w.writeDecimal(hit.readIndex);
        w.text("]");
    }
    w.text(", ");
    w.text(f.type);
    byteOf(w, offset, f.offset, f.size);
    w.text(", value ");
    w.text(spelled.value(f, w.terminal()));
    cutNote(w, f.text.size());
    w.text("\n");
}

// The field as the report's JSON document gives it (name, type, offset, size, value, and its
// interpretation as "text" or its message as "error"), then what the walk says of it: its
// role, its target, and the value as the text report spells it.
void jsonField(AnswerWriter& w, const ExplainPlace& hit, Spelled& spelled) {
    const Field& f = hit.field;
    w.member("{\"name\":", f.name);
    w.member(",\"type\":", f.type);
    w.member(",\"offset\":", f.offset);
    w.member(",\"size\":", f.size);
    if (f.role == Role::Signature || f.role == Role::Text) {
        w.fileText(",\"value\":", shown(f.text));
    } else {
        w.member(",\"value\":", f.value);
        if (f.meaning == Meaning::Word) w.fileText(",\"text\":", shown(f.text));
        else if (f.meaning != Meaning::None) w.member(",\"error\":", spelled.message(f));
    }
    w.member(",\"role\":", roleName(f.role));
    if (f.target.has()) {
        w.member(",\"target\":", f.target.at);
        w.member(",\"leads\":", leadsWord(f.target.leads));
        if (!f.target.inFile) w.text(",\"targetOutsideFile\":true");
    } else if (f.target.why != Unresolved::None) {
        w.member(",\"unresolved\":", unresolvedWord(f.target.why));
    }
    w.member(",\"spelled\":", spelled.value(f, false));
    cutNote(w, f.text.size());
    if (hit.readIndex != kShown) {
        w.text(",\"shown\":false");
        if (hit.readIndex != kNoIndex) {
            w.member(",\"index\":", hit.readIndex);
        }
    }
    w.text("}");
}

void jsonHit(AnswerWriter& w, uint64_t offset, std::span<const Title> chain, const ExplainPlace& hit,
             uint64_t imageSize, Spelled& spelled) {
    w.text("{\"blocks\":[");
    for (size_t i = 0; i < chain.size(); ++i) {
        if (i > 0) w.text(",");
        jsonBlock(w, chain[i]);
    }
    w.text("]");
    if (hit.inList) {
        // The list's key, as the report's JSON names it ("strings", "lineRows").
        w.member(",\"list\":", hit.list.subject.key);
        w.member(",\"element\":", hit.element);
        w.member(",\"elements\":", hit.list.count);
    }
    const Field& f = hit.field;
    w.text(",\"field\":");
    jsonField(w, hit, spelled);
    if (hit.inText) {
        w.member(",\"text\":{\"offset\":", f.textOffset);
        w.member(",\"size\":", textExtent(f, imageSize));
        w.member(",\"byte\":", offset - f.textOffset);
        w.fileText(",\"value\":", shown(f.text));
        cutNote(w, f.text.size());
        w.text("}");
    } else {
        w.member(",\"byte\":", offset - f.offset);
    }
    w.text("}");
}

// For each sorted offset, the section left out (or, with `leftOut` false, reported) whose
// extent holds it, the last such in directory order, or nullptr: one sweep over the offsets
// with the sections sorted by where they begin, the ones begun so far in a heap with the
// latest directory entry on top. A section that ends before an offset ends before every
// later one, so it leaves the heap for good.
std::vector<const SectionExtent*> sectionsHolding(std::span<const uint64_t> sorted,
                                                  const std::deque<SectionExtent>& sections, bool leftOut) {
    std::vector<size_t> byStart;
    for (size_t i = 0; i < sections.size(); ++i)
        if (sections[i].leftOut == leftOut) byStart.push_back(i);
    std::vector<const SectionExtent*> holding(byStart.empty() ? 0 : sorted.size(), nullptr);
    if (byStart.empty()) return holding;
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](size_t a, size_t b) { return sections[a].offset < sections[b].offset; });
    std::priority_queue<size_t> begun;
    size_t next = 0;
    for (size_t i = 0; i < sorted.size(); ++i) {
        const uint64_t at = sorted[i];
        while (next < byStart.size() && sections[byStart[next]].offset <= at) begun.push(byStart[next++]);
        while (!begun.empty() && at - sections[begun.top()].offset >= sections[begun.top()].length) begun.pop();
        if (!begun.empty()) holding[i] = &sections[begun.top()];
    }
    return holding;
}

void sectionMember(AnswerWriter& w, std::string_view member, const SectionExtent& section) {
    w.member(member, section.kind);
    w.member(",\"name\":", section.name);
    w.member(",\"offset\":", section.offset);
    w.member(",\"size\":", section.length);
    w.text("}");
}

void sectionText(AnswerWriter& w, const SectionExtent& section) {
    w.text(section.name);
    w.text(" section at ");
    w.hex(section.offset);
    w.text("..");
    w.hex(section.offset + section.length - 1);
}

void neighbour(AnswerWriter& w, const Neighbour& n, bool before) {
    if (w.json()) {
        w.text(before ? ",\"previous\":" : ",\"next\":");
        if (!n.found) {
            w.text("null");
            return;
        }
        w.text("{\"block\":");
        if (n.block.word.empty()) w.text("null");
        else jsonBlock(w, n.block);
        w.member(",\"field\":", n.field);
        w.text(",\"inText\":");
        w.text(n.inText ? "true" : "false");
        w.member(",\"offset\":", n.start);
        w.member(",\"size\":", n.end - n.start);
        w.text("}");
        return;
    }
    w.text(before ? "  after " : "  before ");
    if (!n.found) {
        w.text(before ? "nothing: no structure comes before it\n" : "nothing: no structure comes after it\n");
        return;
    }
    if (!n.block.word.empty()) {
        blockLabel(w, n.block);
        w.text(", ");
    }
    w.text(n.inText ? "the text of " : "field ");
    w.text(n.field);
    if (before) {
        w.text(", which ends at ");
        w.hex(n.end - 1);
    } else {
        w.text(", which begins at ");
        w.hex(n.start);
    }
    w.text("\n");
}

}  // namespace

void explainOffsets(const ExplainPrinter& printer, std::span<const uint64_t> offsets, bool json,
                    ReportWriter& out, bool forTerminal) {
    const std::span<const uint64_t> sorted = printer.sorted();
    const uint64_t imageSize = printer.imageSize();
    const std::vector<const SectionExtent*> holding = sectionsHolding(sorted, printer.sections(), true);
    const std::vector<const SectionExtent*> within = sectionsHolding(sorted, printer.sections(), false);
    AnswerWriter w(out, json, forTerminal);
    Spelled spelled;
    const std::string stopped(printer.stop().end == WalkEnd::Complete ? std::string_view{}
                                                                       : spelled.stop(printer.stop()));
    if (json) w.text("[");
    for (size_t k = 0; k < offsets.size(); ++k) {
        const uint64_t offset = offsets[k];
        const size_t i = static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), offset) - sorted.begin());
        const auto hits = printer.hits(i);
        const SectionExtent* left = holding.empty() ? nullptr : holding[i];
        // The reported section whose extent holds a byte that no field holds.
        const SectionExtent* in = within.empty() ? nullptr : within[i];
        if (json) {
            w.text(k == 0 ? "\n{\"offset\":" : ",\n{\"offset\":");
            w.num(offset);
            // A reader that holds numbers as doubles (JavaScript, jq) rounds those above
            // 2^53: the offset as a hexadecimal string as well, which every reader holds.
            if (offset >= kExactInDouble) {
                w.text(",\"offsetHex\":\"");
                w.hex(offset);
                w.text("\"");
            }
            w.text(",\"hits\":[");
            for (size_t h = 0; h < hits.size(); ++h) {
                if (h > 0) w.text(",");
                const ExplainPlace& place = printer.place(hits[h]);
                jsonHit(w, offset, printer.chain(place), place, imageSize, spelled);
            }
            w.text("]");
            if (const uint64_t more = printer.moreHits(i); more != 0) {
                w.member(",\"moreHits\":", more);
            }
            if (hits.empty()) {
                if (offset >= imageSize) {
                    w.member(",\"pastEnd\":{\"fileSize\":", imageSize);
                    w.text("}");
                } else {
                    neighbour(w, printer.before(i), true);
                    neighbour(w, printer.after(i), false);
                    if (left != nullptr) sectionMember(w, ",\"leftOut\":{\"kind\":", *left);
                    else if (in != nullptr) sectionMember(w, ",\"section\":{\"kind\":", *in);
                }
                if (printer.stop().end != WalkEnd::Complete) {
                    w.member(",\"walkStopped\":", stopped);
                }
            }
            w.text("}");
            continue;
        }
        for (const size_t h : hits) {
            const ExplainPlace& place = printer.place(h);
            textHit(w, offset, printer.chain(place), place, imageSize, spelled);
        }
        if (const uint64_t more = printer.moreHits(i); more != 0) {
            w.hex(offset);
            w.text(": and ");
            w.writeDecimal(more);
            w.text(" more places, not listed\n");
        }
        if (!hits.empty()) continue;
        w.hex(offset);
        if (offset >= imageSize) {
            w.text(": past the end of the file (size ");
            w.hex(imageSize);
            w.text(")\n");
        } else if (left != nullptr) {
            w.text(": in the ");
            sectionText(w, *left);
            w.text(", which the section flags leave out\n");
        } else if (in != nullptr) {
            w.text(": in no structure that the report describes, within the ");
            sectionText(w, *in);
            w.text("\n");
        } else {
            w.text(": in no structure that the report describes\n");
        }
        if (offset < imageSize && left == nullptr) {
            neighbour(w, printer.before(i), true);
            neighbour(w, printer.after(i), false);
        }
        if (printer.stop().end != WalkEnd::Complete) {
            w.text("  the walk stopped before the end of the database: ");
            w.text(stopped);
            w.text("\n");
        }
    }
    if (json) w.text("\n]\n");
}

}  // namespace symdeck

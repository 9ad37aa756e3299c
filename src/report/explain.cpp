#include <algorithm>

#include "report/explain_printer.h"
#include "report/json_printer.h"

namespace symdeck {

ExplainPrinter::ExplainPrinter(std::span<const uint64_t> sorted, uint64_t imageSize,
                               ReportWriter& counting)
    : sorted_(sorted),
      imageSize_(imageSize),
      text_(counting),
      hits_(sorted.size()),
      moreHits_(sorted.size()),
      before_(sorted.size()),
      after_(sorted.size()) {
    stack_.reserve(16);
}

size_t ExplainPrinter::slowLowerBound(uint64_t offset) const {
    return static_cast<size_t>(std::lower_bound(sorted_.begin(), sorted_.end(), offset) - sorted_.begin());
}

void ExplainPrinter::lookText(const Field& f) {
    // A name's text and the NUL that ends it, as far as the file goes.
    const uint64_t width = std::min<uint64_t>(f.text.size() + 1, imageSize_ - f.textOffset);
    look(f, f.textOffset, width, true);
}

namespace {

// The field's value as the text report spells it, without the blanks at its start and the
// line feeds at its end.
std::string shownValue(const Field& f) {
    std::string value = valueText(f);
    while (!value.empty() && (value.back() == '\n')) value.pop_back();
    const size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first);
}

}  // namespace

size_t ExplainPrinter::record(const Field& f, size_t i, uint64_t end, bool inText) {
    const std::string value = shownValue(f);
    for (; i < sorted_.size() && sorted_[i] < end; ++i) {
        if (hits_[i].size() == kMaxHits) ++moreHits_[i];
        else hits_[i].push_back(ExplainHit{stack_, f, inElement_, list_, element_, inText, readIndex_, value});
    }
    return i;
}

void ExplainPrinter::noteEntry(const Field& f) {
    if (f.name == "entryIndex") {
        sections_.push_back(SectionExtent{f.value, f.meaning == Meaning::Word ? f.text : std::string_view{}});
    } else if (!sections_.empty() && f.name == "offEntry") {
        sections_.back().offset = f.value;
    } else if (!sections_.empty() && f.name == "entryLength") {
        sections_.back().length = f.value;
    }
}

Neighbour ExplainPrinter::before(size_t i) const {
    Neighbour best;
    for (size_t j = 0; j <= i; ++j)
        if (before_[j].found && (!best.found || before_[j].end > best.end)) best = before_[j];
    return best;
}

Neighbour ExplainPrinter::after(size_t i) const {
    Neighbour best;
    for (size_t j = i; j < after_.size(); ++j)
        if (after_[j].found && (!best.found || after_[j].start < best.start)) best = after_[j];
    return best;
}

namespace {

// Writes the answers either as lines of text or as one JSON array; both go through the
// same calls, so the two forms always hold the same facts.
class AnswerWriter {
public:
    AnswerWriter(ReportWriter& out, bool json) : out_(out), json_(json) {}

    void hex(uint64_t v) { out_.hex0x(v); }
    void num(uint64_t v) {
        if (json_) writeDecimal(v);
        else out_.hex0x(v);
    }
    void writeDecimal(uint64_t v) {
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n > 0) out_.ch(digits[--n]);
    }
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
    // A text that may hold any byte from the file: escaped as the JSON report escapes its
    // texts, or in quotes as it stands.
    void string(std::string_view s) {
        if (json_) {
            writeJsonString(out_, s);
            return;
        }
        out_.ch('"');
        out_.text(s);
        out_.ch('"');
    }

private:
    ReportWriter& out_;
    bool json_;
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

std::string stopLine(const Stop& stop) {
    std::string line;
    {
        ReportWriter out(stringSink(line), 0);
        TextPrinter text(out);
        text.end(stop);
        out.flush();
    }
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
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

void textHit(AnswerWriter& w, uint64_t offset, const ExplainHit& hit) {
    w.hex(offset);
    w.text(":");
    for (size_t i = 0; i < hit.chain.size(); ++i) {
        w.text(i == 0 ? " " : " > ");
        blockLabel(w, hit.chain[i]);
    }
    w.text("\n  ");
    if (hit.inList) {
        w.text("list ");
        w.text(hit.list.name);
        w.text(", element ");
        w.writeDecimal(uint64_t{hit.element} + 1);
        w.text(" of ");
        w.writeDecimal(hit.list.count);
        w.text(", ");
    }
    const Field& f = hit.field;
    if (hit.inText) {
        const uint64_t size = std::min<uint64_t>(f.text.size() + 1, ~uint64_t{0} - f.textOffset);
        w.text("text of ");
        w.text(f.name);
        byteOf(w, offset, f.textOffset, size);
        w.text(offset - f.textOffset == f.text.size() ? " (its terminating NUL)" : "");
        w.text(", ");
        w.string(f.text);
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
    w.text(hit.value);
    w.text("\n");
}

void jsonHit(AnswerWriter& w, uint64_t offset, const ExplainHit& hit) {
    w.text("{\"blocks\":[");
    for (size_t i = 0; i < hit.chain.size(); ++i) {
        if (i > 0) w.text(",");
        jsonBlock(w, hit.chain[i]);
    }
    w.text("]");
    if (hit.inList) {
        w.member(",\"list\":", hit.list.name);
        w.member(",\"element\":", hit.element);
        w.member(",\"elements\":", hit.list.count);
    }
    const Field& f = hit.field;
    w.member(",\"field\":{\"name\":", f.name);
    w.member(",\"type\":", f.type);
    w.member(",\"offset\":", f.offset);
    w.member(",\"size\":", f.size);
    w.member(",\"value\":", hit.value);
    if (hit.readIndex != kShown) {
        w.text(",\"shown\":false");
        if (hit.readIndex != kNoIndex) {
            w.member(",\"index\":", hit.readIndex);
        }
    }
    w.text("}");
    if (hit.inText) {
        w.member(",\"text\":{\"offset\":", f.textOffset);
        w.member(",\"size\":", f.text.size() + 1);
        w.member(",\"byte\":", offset - f.textOffset);
        w.member(",\"value\":", f.text);
        w.text("}");
    } else {
        w.member(",\"byte\":", offset - f.offset);
    }
    w.text("}");
}

void neighbour(AnswerWriter& w, const Neighbour& n, bool json, bool before) {
    if (json) {
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
        w.member(",\"start\":", n.start);
        w.member(",\"end\":", n.end);
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

Explanation explainOffsets(const ExplainPrinter& printer, std::span<const uint64_t> sorted,
                           std::span<const uint64_t> offsets, uint64_t imageSize,
                           std::span<const SectionExtent> leftOut, bool json) {
    Explanation result;
    result.end = printer.stop().end;
    ReportWriter out(stringSink(result.text), 0);
    AnswerWriter w(out, json);
    const std::string stopped = stopLine(printer.stop());
    if (json) w.text("[");
    for (size_t k = 0; k < offsets.size(); ++k) {
        const uint64_t offset = offsets[k];
        const size_t i = static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), offset) - sorted.begin());
        const auto& hits = printer.hits(i);
        const SectionExtent* left = nullptr;
        for (const SectionExtent& s : leftOut)
            if (offset >= s.offset && offset - s.offset < s.length) left = &s;
        if (json) {
            w.text(k == 0 ? "\n{\"offset\":" : ",\n{\"offset\":");
            w.num(offset);
            w.text(",\"hits\":[");
            for (size_t h = 0; h < hits.size(); ++h) {
                if (h > 0) w.text(",");
                jsonHit(w, offset, hits[h]);
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
                    neighbour(w, printer.before(i), true, true);
                    neighbour(w, printer.after(i), true, false);
                    if (left != nullptr) {
                        w.member(",\"leftOut\":{\"kind\":", left->kind);
                        w.member(",\"name\":", left->name);
                        w.member(",\"offset\":", left->offset);
                        w.member(",\"length\":", left->length);
                        w.text("}");
                    }
                }
                if (printer.stop().end != WalkEnd::Complete) {
                    w.member(",\"walkStopped\":", stopped);
                }
            }
            w.text("}");
            continue;
        }
        for (const ExplainHit& hit : hits) textHit(w, offset, hit);
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
            w.text(left->name);
            w.text(" section at ");
            w.hex(left->offset);
            w.text("..");
            w.hex(left->offset + left->length - 1);
            w.text(", which the section flags leave out\n");
        } else {
            w.text(": in no structure that the report describes\n");
        }
        if (offset < imageSize && left == nullptr) {
            neighbour(w, printer.before(i), false, true);
            neighbour(w, printer.after(i), false, false);
        }
        if (printer.stop().end != WalkEnd::Complete) {
            w.text("  the walk stopped before the end of the database: ");
            w.text(stopped);
            w.text("\n");
        }
    }
    if (json) w.text("\n]\n");
    out.flush();
    return result;
}

}  // namespace symdeck

#include <algorithm>
#include <queue>

#include "report/explain_printer.h"
#include "report/json_printer.h"

namespace symdeck {

ExplainPrinter::ExplainPrinter(std::span<const uint64_t> sorted, uint64_t imageSize,
                               ReportWriter& counting, uint64_t leftOutKinds)
    : sorted_(sorted),
      imageSize_(imageSize),
      text_(counting),
      kept_(sorted.size()),
      open_(sorted.size() + 1),
      more_(sorted.size() + 1),
      before_(sorted.size()),
      after_(sorted.size()),
      leftOutKinds_(leftOutKinds) {
    stack_.reserve(16);
    for (size_t i = 0; i < open_.size(); ++i) open_[i] = i;
}

size_t ExplainPrinter::slowLowerBound(uint64_t offset) const {
    return static_cast<size_t>(std::lower_bound(sorted_.begin(), sorted_.end(), offset) - sorted_.begin());
}

size_t ExplainPrinter::endOfRange(size_t first, uint64_t end) const {
    const size_t n = sorted_.size();
    // sorted_[low] < end; look at low + 1, low + 2, low + 4, ... until one is not.
    size_t low = first;
    size_t step = 1;
    while (step < n - low && sorted_[low + step] < end) {
        low += step;
        step *= 2;
    }
    const size_t high = step < n - low ? low + step : n;
    return static_cast<size_t>(std::lower_bound(sorted_.begin() + static_cast<std::ptrdiff_t>(low) + 1,
                                                sorted_.begin() + static_cast<std::ptrdiff_t>(high), end) -
                               sorted_.begin());
}

size_t ExplainPrinter::nextOpen(size_t i) {
    size_t root = i;
    while (open_[root] != root) root = open_[root];
    // Every slot passed on the way links straight to the open one from now on.
    while (open_[i] != root) {
        const size_t next = open_[i];
        open_[i] = root;
        i = next;
    }
    return root;
}

void ExplainPrinter::lookText(const Field& f) {
    // A name's text and the NUL that ends it, as far as the file goes.
    if (f.textOffset >= imageSize_) return;
    const uint64_t width = std::min<uint64_t>(f.text.size() + 1, imageSize_ - f.textOffset);
    look(f, f.textOffset, width, true);
}

void ExplainPrinter::record(const Field& f, size_t first, size_t last, bool inText) {
    ++more_[first];
    --more_[last];
    size_t placeIndex = places_.size();
    for (size_t i = nextOpen(first); i < last; i = nextOpen(i + 1)) {
        if (placeIndex == places_.size()) {
            if (chainStale_) {
                chain_ = chains_.size();
                chains_.insert(chains_.end(), stack_.begin(), stack_.end());
                chainStale_ = false;
            }
            places_.push_back(ExplainPlace{f, chain_, static_cast<uint32_t>(stack_.size()), inElement_,
                                           inText, element_, list_, readIndex_});
        }
        found_.push_back(Found{i, placeIndex});
        if (++kept_[i] == kMaxHits) open_[i] = i + 1;
    }
}

void ExplainPrinter::noteEntry(const Field& f) {
    if (f.name == "entryIndex") {
        noting_ = f.value < 64 && (leftOutKinds_ >> f.value & 1) != 0;
        if (noting_)
            sections_.push_back(SectionExtent{f.value, f.meaning == Meaning::Word ? f.text : std::string_view{}});
    } else if (noting_ && f.name == "offEntry") {
        sections_.back().offset = f.value;
    } else if (noting_ && f.name == "entryLength") {
        sections_.back().length = f.value;
    }
}

void ExplainPrinter::end(const Stop& stop) {
    text_.end(stop);
    settle();
    stop_ = stop;
    const size_t n = sorted_.size();
    // The nearest field before offset i is the best of slots 0 to i (the first of equals),
    // the nearest after it the best of slots i to the end (the first of equals).
    for (size_t i = 1; i < n; ++i) {
        const Neighbour& previous = before_[i - 1];
        if (previous.found && (!before_[i].found || before_[i].end <= previous.end)) before_[i] = previous;
    }
    for (size_t i = n; i-- > 1;) {
        const Neighbour& next = after_[i];
        if (next.found && (!after_[i - 1].found || next.start < after_[i - 1].start)) after_[i - 1] = next;
    }
    // How many places hold each offset, less those kept.
    uint64_t holding = 0;
    for (size_t i = 0; i < n; ++i) {
        holding += more_[i];
        more_[i] = holding - kept_[i];
    }
    // The kept places, slot by slot, each slot's in walk order: firstHit_[i + 1] starts as
    // where slot i begins and is moved along as its places are laid down.
    firstHit_.assign(n + 1, 0);
    for (size_t i = 1; i < n; ++i) firstHit_[i + 1] = firstHit_[i] + kept_[i - 1];
    bySlot_.resize(found_.size());
    for (const Found& found : found_) bySlot_[firstHit_[found.slot + 1]++] = found.place;
    std::vector<Found>().swap(found_);
    std::vector<uint8_t>().swap(kept_);
    std::vector<size_t>().swap(open_);
}

namespace {

// The least offset that a reader holding numbers as doubles may not read back exactly.
constexpr uint64_t kExactInDouble = uint64_t{1} << 53;

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

// The bytes of a name's text that the file holds: the text and the NUL that ends it, or the
// text alone when it runs to the end of the file without one.
uint64_t textExtent(const Field& f, uint64_t imageSize) {
    if (f.textOffset >= imageSize) return 0;
    return std::min<uint64_t>(f.text.size() + 1, imageSize - f.textOffset);
}

// A text from the file as an answer shows it: its first kMaxShownText bytes.
std::string_view shown(std::string_view text) { return text.substr(0, kMaxShownText); }

// What an answer adds after a text it has cut: the text's full length.
void cutNote(AnswerWriter& w, bool json, size_t length) {
    if (length <= kMaxShownText) return;
    if (json) {
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

// The field's value as the text report spells it (the text form's one spelling of a value),
// its text cut to kMaxShownText bytes, into one line kept for all.
class ValueText {
public:
    ValueText() : out_(stringSink(line_), 0) {}

    std::string_view of(const Field& f) {
        line_.clear();
        Field alone = f;
        alone.text = shown(f.text);
        spellValue(out_, alone);
        out_.flush();
        // A list row's parts are spelled as the row shows them; the value itself has no
        // blanks ahead of it otherwise. An empty value stays a view into the line: the
        // writer copies it with memcpy, which must not be handed a null pointer.
        std::string_view value(line_);
        const size_t first = value.find_first_not_of(' ');
        return value.substr(first == std::string_view::npos ? value.size() : first);
    }

private:
    std::string line_;
    ReportWriter out_;
};

void textHit(AnswerWriter& w, uint64_t offset, std::span<const Title> chain, const ExplainPlace& hit,
             uint64_t imageSize, ValueText& values) {
    w.hex(offset);
    w.text(":");
    for (size_t i = 0; i < chain.size(); ++i) {
        w.text(i == 0 ? " " : " > ");
        blockLabel(w, chain[i]);
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
        w.text("text of ");
        w.text(f.name);
        byteOf(w, offset, f.textOffset, textExtent(f, imageSize));
        w.text(offset - f.textOffset == f.text.size() ? " (its terminating NUL)" : "");
        w.text(", ");
        w.string(shown(f.text));
        cutNote(w, false, f.text.size());
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
    w.text(values.of(f));
    cutNote(w, false, f.text.size());
    w.text("\n");
}

void jsonHit(AnswerWriter& w, uint64_t offset, std::span<const Title> chain, const ExplainPlace& hit,
             uint64_t imageSize, ValueText& values) {
    w.text("{\"blocks\":[");
    for (size_t i = 0; i < chain.size(); ++i) {
        if (i > 0) w.text(",");
        jsonBlock(w, chain[i]);
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
    w.member(",\"value\":", values.of(f));
    cutNote(w, true, f.text.size());
    if (hit.readIndex != kShown) {
        w.text(",\"shown\":false");
        if (hit.readIndex != kNoIndex) {
            w.member(",\"index\":", hit.readIndex);
        }
    }
    w.text("}");
    if (hit.inText) {
        w.member(",\"text\":{\"offset\":", f.textOffset);
        w.member(",\"size\":", textExtent(f, imageSize));
        w.member(",\"byte\":", offset - f.textOffset);
        w.member(",\"value\":", shown(f.text));
        cutNote(w, true, f.text.size());
        w.text("}");
    } else {
        w.member(",\"byte\":", offset - f.offset);
    }
    w.text("}");
}

// For each sorted offset, the section left out that holds it (the last such in directory
// order), or nullptr: one sweep over the offsets with the sections sorted by where they
// begin, the ones begun so far in a heap with the latest directory entry on top. A section
// that ends before an offset ends before every later one, so it leaves the heap for good.
std::vector<const SectionExtent*> sectionsHolding(std::span<const uint64_t> sorted,
                                                  const std::deque<SectionExtent>& leftOut) {
    std::vector<const SectionExtent*> holding(leftOut.empty() ? 0 : sorted.size(), nullptr);
    if (leftOut.empty()) return holding;
    std::vector<size_t> byStart(leftOut.size());
    for (size_t i = 0; i < byStart.size(); ++i) byStart[i] = i;
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](size_t a, size_t b) { return leftOut[a].offset < leftOut[b].offset; });
    std::priority_queue<size_t> begun;
    size_t next = 0;
    for (size_t i = 0; i < sorted.size(); ++i) {
        const uint64_t at = sorted[i];
        while (next < byStart.size() && leftOut[byStart[next]].offset <= at) begun.push(byStart[next++]);
        while (!begun.empty() && at - leftOut[begun.top()].offset >= leftOut[begun.top()].length) begun.pop();
        if (!begun.empty()) holding[i] = &leftOut[begun.top()];
    }
    return holding;
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

void explainOffsets(const ExplainPrinter& printer, std::span<const uint64_t> offsets, bool json,
                    ReportWriter& out) {
    const std::span<const uint64_t> sorted = printer.sorted();
    const uint64_t imageSize = printer.imageSize();
    const std::vector<const SectionExtent*> holding = sectionsHolding(sorted, printer.sections());
    AnswerWriter w(out, json);
    ValueText values;
    const std::string stopped = stopLine(printer.stop());
    if (json) w.text("[");
    for (size_t k = 0; k < offsets.size(); ++k) {
        const uint64_t offset = offsets[k];
        const size_t i = static_cast<size_t>(std::lower_bound(sorted.begin(), sorted.end(), offset) - sorted.begin());
        const auto hits = printer.hits(i);
        const SectionExtent* left = holding.empty() ? nullptr : holding[i];
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
                jsonHit(w, offset, printer.chain(place), place, imageSize, values);
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
        for (const size_t h : hits) {
            const ExplainPlace& place = printer.place(h);
            textHit(w, offset, printer.chain(place), place, imageSize, values);
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
}

}  // namespace symdeck

#include "forms/diff.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#ifndef SYMDECK_NO_THREADS
#include <system_error>
#include <thread>
#include <tuple>
#endif

#include "format/file_structures.h"
#include "format/symbols/symbols.h"
#include "format/types/types.h"
#include "forms/identity.h"
#include "forms/json_printer.h"
#include "forms/text_printer.h"

namespace symdeck {

namespace {

bool aligned(const DiffNode& n) { return alignedWord(n.word()); }
bool placed(const DiffNode& n) { return placedWord(n.word()); }

// The node's children, in walk order.
std::vector<uint32_t> childrenOf(const DiffTree& t, uint32_t at) {
    std::vector<uint32_t> children;
    for (uint32_t c = at + 1; c < t.nodes[at].end; c = t.nodes[c].end) children.push_back(c);
    return children;
}

// What tells a keyed node from its siblings of the same word: its key (a type index, an
// entry's kind, a segment's number), or its place for the placed ones.
uint64_t keyOf(const DiffNode& n) { return placed(n) ? n.position : n.key; }

// A longest common subsequence of a and b: the index pairs of equal elements, in order.
// Myers' greedy algorithm, O((n + m) d) for d differences; empty when d would pass
// `most` (the caller then pairs the elements in order).
std::vector<std::pair<uint32_t, uint32_t>> commonSubsequence(const std::vector<uint64_t>& a,
                                                             const std::vector<uint64_t>& b, size_t most) {
    const auto n = static_cast<int64_t>(a.size());
    const auto m = static_cast<int64_t>(b.size());
    const int64_t max = n + m;
    std::vector<int64_t> v(static_cast<size_t>(2 * max + 3), 0);
    std::vector<std::vector<int64_t>> trace;
    const auto at = [&](int64_t k) -> int64_t& { return v[static_cast<size_t>(k + max + 1)]; };
    int64_t found = -1;
    for (int64_t d = 0; d <= max && static_cast<size_t>(d) <= most; ++d) {
        trace.emplace_back(v.begin() + (max + 1 - d - 1), v.begin() + (max + 1 + d + 2));
        for (int64_t k = -d; k <= d; k += 2) {
            int64_t x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            int64_t y = x - k;
            while (x < n && y < m && a[static_cast<size_t>(x)] == b[static_cast<size_t>(y)]) ++x, ++y;
            at(k) = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
        if (found >= 0) break;
    }
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    if (found < 0) return pairs;
    int64_t x = n, y = m;
    for (int64_t d = found; d >= 0; --d) {
        const std::vector<int64_t>& before = trace[static_cast<size_t>(d)];
        // trace[d] holds v before step d, for k from -d - 1 to d + 1.
        const auto was = [&](int64_t k) { return before[static_cast<size_t>(k + d + 1)]; };
        const int64_t k = x - y;
        int64_t previousK = 0;
        if (d > 0) previousK = (k == -d || (k != d && was(k - 1) < was(k + 1))) ? k + 1 : k - 1;
        const int64_t startX = d > 0 ? was(previousK) : 0;
        const int64_t startY = startX - previousK;
        const int64_t snakeX = d > 0 ? (previousK == k + 1 ? startX : startX + 1) : 0;
        while (x > snakeX && y > snakeX - k) {
            --x, --y;
            pairs.emplace_back(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
        }
        x = startX;
        y = startY;
    }
    std::reverse(pairs.begin(), pairs.end());
    return pairs;
}

// How far apart two lists may be before the alignment gives up and pairs them in order.
constexpr size_t kMostDifferences = 2000;

struct Change {
    enum class What : uint8_t { Added, Removed, Changed };
    What what;
    uint32_t before;  // node of the old database, or kNoNode
    uint32_t after;   // node of the new database, or kNoNode
    // An element of the lists `before` and `after`: its place in each, or kNoNode.
    uint32_t beforeElement = kNoNode;
    uint32_t afterElement = kNoNode;
};

// Aligns the digests `a` and `b`: what they have in common from the start and the end, a
// longest common subsequence of the rest, and the ones between two aligned ones paired in
// order. `pair(i, j)` for each pair, aligned or not; `removed(i)` and `added(j)` for the
// others; all in order.
template <class Pair, class Removed, class Added>
void alignSequence(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b, Pair&& pair,
                   Removed&& removed, Added&& added) {
    size_t front = 0;
    while (front < a.size() && front < b.size() && a[front] == b[front]) ++front;
    size_t back = 0;
    while (back < a.size() - front && back < b.size() - front && a[a.size() - 1 - back] == b[b.size() - 1 - back])
        ++back;
    const std::vector<uint64_t> da(a.begin() + static_cast<ptrdiff_t>(front), a.end() - static_cast<ptrdiff_t>(back));
    const std::vector<uint64_t> db(b.begin() + static_cast<ptrdiff_t>(front), b.end() - static_cast<ptrdiff_t>(back));
    std::vector<std::pair<uint32_t, uint32_t>> anchors = commonSubsequence(da, db, kMostDifferences);
    anchors.emplace_back(static_cast<uint32_t>(da.size()), static_cast<uint32_t>(db.size()));
    for (size_t i = 0; i < front; ++i) pair(i, i);
    size_t i = 0, j = 0;
    for (const auto& [ai, bj] : anchors) {
        while (i < ai && j < bj) pair(front + i++, front + j++);
        while (i < ai) removed(front + i++);
        while (j < bj) added(front + j++);
        if (ai < da.size()) pair(front + i++, front + j++);
    }
    for (size_t k = 0; k < back; ++k) pair(a.size() - back + k, b.size() - back + k);
}

class Differ {
public:
    Differ(const DiffTree& a, const DiffTree& b, DiffResult& result) : a_(a), b_(b), result_(result) {}

    std::vector<Change> run() {
        match(0, 0);
        return std::move(changes_);
    }

private:
    // Two matched nodes: a change when their own fields differ, a move when they stand
    // elsewhere, and what they hold matched in turn.
    void match(uint32_t x, uint32_t y) {
        const DiffNode& p = a_.nodes[x];
        const DiffNode& q = b_.nodes[y];
        if (p.whole == q.whole) {
            countMoves(x, y);
            return;
        }
        if (p.own != q.own) {
            changes_.push_back(Change{Change::What::Changed, x, y});
            ++result_.changed;
        } else if (x != 0 && p.offset != q.offset) {
            ++result_.moved;
        }
        if (p.kind == DiffNode::Kind::List) matchElements(x, y);
        else matchChildren(x, y);
    }

    // Two whole subtrees alike: each block and element of them that stands elsewhere has
    // moved.
    void countMoves(uint32_t x, uint32_t y) {
        const uint32_t end = a_.nodes[x].end;
        for (; x < end; ++x, ++y) {
            const DiffNode& p = a_.nodes[x];
            const DiffNode& q = b_.nodes[y];
            if (x == 0 || p.offset == q.offset) continue;
            result_.moved += 1 + (p.stride == q.stride ? p.count : 0);
        }
    }

    void matchChildren(uint32_t x, uint32_t y) {
        const std::vector<uint32_t> before = childrenOf(a_, x);
        const std::vector<uint32_t> after = childrenOf(b_, y);
        // The words of the children, in the order they first come (old first).
        std::vector<std::string_view> words;
        for (const auto* side : {&before, &after})
            for (const uint32_t c : *side) {
                const DiffNode& n = side == &before ? a_.nodes[c] : b_.nodes[c];
                if (std::find(words.begin(), words.end(), n.word()) == words.end()) words.push_back(n.word());
            }
        for (const std::string_view word : words) {
            std::vector<uint32_t> p, q;
            for (const uint32_t c : before)
                if (a_.nodes[c].word() == word) p.push_back(c);
            for (const uint32_t c : after)
                if (b_.nodes[c].word() == word) q.push_back(c);
            const DiffNode& sample = p.empty() ? b_.nodes[q.front()] : a_.nodes[p.front()];
            if (aligned(sample)) align(p, q);
            else byKey(p, q);
        }
    }

    // Keyed siblings: the same key and the same number among those of that key. Mostly both
    // sides hold the same keys in the same order, and are paired as they come until they
    // part.
    void byKey(const std::vector<uint32_t>& p, const std::vector<uint32_t>& q) {
        size_t same = 0;
        while (same < p.size() && same < q.size() && keyOf(a_.nodes[p[same]]) == keyOf(b_.nodes[q[same]])) ++same;
        for (size_t i = 0; i < same; ++i) match(p[i], q[i]);
        if (same == p.size() && same == q.size()) return;
        std::unordered_map<uint64_t, std::vector<size_t>> after;
        for (size_t i = same; i < q.size(); ++i) after[keyOf(b_.nodes[q[i]])].push_back(i);
        std::unordered_map<uint64_t, size_t> taken;
        std::vector<uint8_t> matched(q.size(), 0);
        for (size_t i = same; i < p.size(); ++i) {
            const uint32_t c = p[i];
            const uint64_t key = keyOf(a_.nodes[c]);
            auto found = after.find(key);
            size_t& next = taken[key];
            if (found == after.end() || next >= found->second.size()) {
                removed(c);
                continue;
            }
            const size_t other = found->second[next++];
            matched[other] = 1;
            match(c, q[other]);
        }
        for (size_t i = same; i < q.size(); ++i)
            if (!matched[i]) added(q[i]);
    }

    // Siblings without identity, aligned by their digests.
    void align(const std::vector<uint32_t>& p, const std::vector<uint32_t>& q) {
        std::vector<uint64_t> da, db;
        for (const uint32_t c : p) da.push_back(a_.nodes[c].whole);
        for (const uint32_t c : q) db.push_back(b_.nodes[c].whole);
        alignSequence(
            da, db, [&](size_t i, size_t j) { match(p[i], q[j]); }, [&](size_t i) { removed(p[i]); },
            [&](size_t j) { added(q[j]); });
    }

    // The elements of two matched lists, aligned by their digests: a pair alike has moved
    // when it stands elsewhere, a pair that is not has changed.
    void matchElements(uint32_t x, uint32_t y) {
        const DiffNode& p = a_.nodes[x];
        const DiffNode& q = b_.nodes[y];
        const std::vector<uint64_t> da(a_.elements.begin() + p.first, a_.elements.begin() + p.first + p.count);
        const std::vector<uint64_t> db(b_.elements.begin() + q.first, b_.elements.begin() + q.first + q.count);
        const auto at = [](const DiffNode& list, size_t i) { return list.offset + uint64_t{list.stride} * i; };
        alignSequence(
            da, db,
            [&](size_t i, size_t j) {
                if (da[i] != db[j]) {
                    changes_.push_back(Change{Change::What::Changed, x, y, static_cast<uint32_t>(i),
                                              static_cast<uint32_t>(j)});
                    ++result_.changed;
                } else if (at(p, i) != at(q, j)) {
                    ++result_.moved;
                }
            },
            [&](size_t i) {
                changes_.push_back(Change{Change::What::Removed, x, kNoNode, static_cast<uint32_t>(i)});
                ++result_.removed;
            },
            [&](size_t j) {
                changes_.push_back(Change{Change::What::Added, kNoNode, y, kNoNode, static_cast<uint32_t>(j)});
                ++result_.added;
            });
    }

    void added(uint32_t y) {
        changes_.push_back(Change{Change::What::Added, kNoNode, y});
        ++result_.added;
    }
    void removed(uint32_t x) {
        changes_.push_back(Change{Change::What::Removed, x, kNoNode});
        ++result_.removed;
    }

    const DiffTree& a_;
    const DiffTree& b_;
    DiffResult& result_;
    std::vector<Change> changes_;
};

// Where a node stands, by what it is (forms/identity.h), e.g.
// SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_PROCEDURE[3]. The counts among
// siblings are the tree's `among`, made once by countAmongSiblings.
std::string identityOf(const DiffTree& t, uint32_t at) {
    std::vector<uint32_t> path;
    for (uint32_t n = at; n != 0 && n != kNoNode; n = t.nodes[n].parent) path.push_back(n);
    std::string text;
    for (size_t i = path.size(); i-- > 0;) {
        const DiffNode& n = t.nodes[path[i]];
        if (!text.empty()) text += '/';
        char step[256 + kMostStepTail];
        const IdentityStep s{n.word(), n.mark, n.key, n.position, t.among[path[i]]};
        text.append(step, putIdentityStep(step, s));
    }
    return text;
}

// Each node's count among its earlier siblings of its word and key, in one pass over the
// tree in walk order: the counts of each open ancestor's children so far, on a stack.
void countAmongSiblings(DiffTree& t) {
    t.among.assign(t.nodes.size(), 0);
    std::vector<uint32_t> open{0};
    std::vector<SiblingCounts> counts(1);
    for (uint32_t n = 1; n < t.nodes.size(); ++n) {
        const DiffNode& node = t.nodes[n];
        while (open.back() != node.parent) open.pop_back();
        const size_t depth = open.size();
        if (countsAmongSiblings(node.word(), node.mark)) t.among[n] = counts[depth - 1].next(node.word(), node.key);
        if (counts.size() <= depth) counts.resize(depth + 1);
        counts[depth].clear();
        open.push_back(n);
    }
}

// One side of a change: a block, or an element of a list, of one database.
struct Side {
    const DiffTree* tree;
    uint32_t node;     // kNoNode: the change has no such side
    uint32_t element;  // kNoNode: the node itself

    bool has() const { return node != kNoNode; }
    const DiffNode& list() const { return tree->nodes[node]; }
    std::string_view word() const { return list().word(); }
    uint64_t offset() const {
        return element == kNoNode ? list().offset : list().offset + uint64_t{list().stride} * element;
    }
    std::string identity() const {
        std::string text = identityOf(*tree, node);
        if (element != kNoNode) {
            text += '/';
            text += word();
            text += '[';
            text += std::to_string(element);
            text += ']';
        }
        return text;
    }
    // What an added or removed one holds, at any depth: its blocks, and its lists' elements
    // (a list's own, for a list). An element holds nothing.
    struct Inside {
        uint64_t blocks = 0;
        uint64_t elements = 0;
    };
    Inside inside() const {
        Inside in;
        if (element != kNoNode) return in;
        for (uint32_t n = node; n < list().end; ++n) {
            const DiffNode& d = tree->nodes[n];
            if (d.kind == DiffNode::Kind::List) in.elements += d.count;
            else if (n != node) ++in.blocks;
        }
        return in;
    }
    const std::vector<Field>& fields() const {
        static const std::vector<Field> kNone;
        const auto found = tree->wanted.find(wantedKey(node, element));
        return found == tree->wanted.end() ? kNone : tree->fields[found->second];
    }
};
Side oldSide(const Change& c, const DiffTree& a) { return Side{&a, c.before, c.beforeElement}; }
Side newSide(const Change& c, const DiffTree& b) { return Side{&b, c.after, c.afterElement}; }
// The side a change is shown by: the old one of a removal, else the new one.
Side shownSide(const Change& c, const DiffTree& a, const DiffTree& b) {
    return c.what == Change::What::Removed ? oldSide(c, a) : newSide(c, b);
}

// The fields of a changed pair that differ by meaning: matched by name, in the old order,
// then the new fields no old one has. In a top block, an offset that is only printed and
// names a top block in both is compared by the block it names.
struct FieldChange {
    std::string_view name;
    const Field* before;
    const Field* after;
    uint32_t beforeNames = kNoNode;  // the top blocks the two name, when printed offsets do
    uint32_t afterNames = kNoNode;
};
// The top block that a printed offset of a top block names, or kNoNode.
uint32_t namedTopBlock(const DiffTree& t, bool top, const Field& f) {
    if (!top || f.role != Role::Offset || f.target.leads != Leads::Nothing) return kNoNode;
    return topBlockAt(t, f.value);
}
bool sameField(const Side& before, const Side& after, bool top, const Field& f, const Field& g) {
    const DiffTree& a = *before.tree;
    const DiffTree& b = *after.tree;
    if (f.described == g.described && f.described == kSourceLinesField &&
        before.element == kNoNode) {
        uint64_t x = 0, y = 0;
        const bool p = rowDistance(a, before.node, f.value, x);
        const bool q = rowDistance(b, after.node, g.value, y);
        if (p || q) return p && q && x == y;
    }
    const uint32_t x = namedTopBlock(a, top, f);
    const uint32_t y = namedTopBlock(b, top, g);
    if (x != kNoNode && y != kNoNode) return topBlockDigest(a, x) == topBlockDigest(b, y);
    if (x != kNoNode || y != kNoNode) return false;  // one names a block, the other none
    return sameByMeaning(f, g);
}
std::vector<FieldChange> changedFields(const Side& before, const Side& after) {
    const std::vector<Field>& p = before.fields();
    const std::vector<Field>& q = after.fields();
    const bool top = before.element == kNoNode && before.list().parent == 0;
    std::vector<FieldChange> changes;
    std::vector<uint8_t> used(q.size(), 0);
    for (const Field& f : p) {
        const Field* other = nullptr;
        for (size_t j = 0; j < q.size(); ++j)
            if (!used[j] && q[j].name == f.name) {
                used[j] = 1;
                other = &q[j];
                break;
            }
        if (other == nullptr || !sameField(before, after, top, f, *other))
            changes.push_back(FieldChange{f.name, &f, other, namedTopBlock(*before.tree, top, f),
                                          other ? namedTopBlock(*after.tree, top, *other) : kNoNode});
    }
    for (size_t j = 0; j < q.size(); ++j)
        if (!used[j]) changes.push_back(FieldChange{q[j].name, nullptr, &q[j]});
    return changes;
}

void hexOffset(ReportWriter& out, uint64_t offset) {
    out.text("0x");
    out.hex(offset);
}

// A line for a walk that stopped: its side and the report's error line.
void writeTextWalk(ReportWriter& out, std::string_view side, const Stop& stop) {
    if (stop.end == WalkEnd::Complete) return;
    out.text(side);
    out.text(" walk stopped: ");
    spellStop(out, stop);
    out.newline();
}

void writeText(ReportWriter& out, bool terminal, const DiffInput& before, const DiffInput& after,
               const DiffTree& a, const DiffTree& b, const std::vector<Change>& changes,
               const DiffResult& result) {
    out.text("--- ");
    out.text(before.name);
    out.text(" (");
    out.decimal(before.image->size);
    out.text(" bytes)\n+++ ");
    out.text(after.name);
    out.text(" (");
    out.decimal(after.image->size);
    out.text(" bytes)\n");
    for (const Change& c : changes) {
        const Side shown = shownSide(c, a, b);
        out.text(c.what == Change::What::Added ? "+ " : c.what == Change::What::Removed ? "- " : "~ ");
        out.text(shown.word());
        out.text("  ");
        out.text(shown.identity());
        if (c.before != kNoNode) {
            out.text("  old ");
            hexOffset(out, oldSide(c, a).offset());
        }
        if (c.after != kNoNode) {
            out.text("  new ");
            hexOffset(out, newSide(c, b).offset());
        }
        if (c.what != Change::What::Changed) {
            const Side::Inside in = shown.inside();
            // "holding 2 blocks, 12 elements", each count only where it is not 0.
            const char* lead = "  holding ";
            for (const auto& [count, one, many] : {std::tuple{in.blocks, " block", " blocks"},
                                                   std::tuple{in.elements, " element", " elements"}}) {
                if (count == 0) continue;
                out.text(lead);
                out.decimal(count);
                out.text(count == 1 ? one : many);
                lead = ", ";
            }
            out.newline();
            continue;
        }
        out.newline();
        for (const FieldChange& f : changedFields(oldSide(c, a), newSide(c, b))) {
            out.text("      ");
            out.text(f.name);
            out.text(": ");
            // A printed offset that names a top block is followed by that block.
            const auto value = [&](const Field* field, const DiffTree& t, uint32_t names) {
                if (field == nullptr) return out.text("(none)");
                spellValue(out, *field, terminal);
                if (names == kNoNode) return;
                out.text(" (");
                out.text(identityOf(t, names));
                out.ch(')');
            };
            value(f.before, a, f.beforeNames);
            out.text(" -> ");
            value(f.after, b, f.afterNames);
            out.newline();
        }
    }
    out.decimal(result.added);
    out.text(" added, ");
    out.decimal(result.removed);
    out.text(" removed, ");
    out.decimal(result.changed);
    out.text(" changed, ");
    out.decimal(result.moved);
    out.text(" moved\n");
    writeTextWalk(out, "old", result.oldStop);
    writeTextWalk(out, "new", result.newStop);
}

// A field's value in JSON: its text where it reads as one, else its number (negative where
// it is read signed).
void jsonValue(ReportWriter& out, const Field* f) {
    if (f == nullptr) {
        out.text("null");
    } else if (readsAsText(*f) || f->role == Role::Signature) {
        writeJsonString(out, f->text);
    } else if (f->isSigned && f->size == 4 && f->value >= 0x80000000u) {
        out.ch('-');
        out.decimal(uint64_t{0x100000000u} - f->value);
    } else {
        out.decimal(f->value);
    }
}

void jsonIdentity(ReportWriter& out, const DiffTree& t, uint32_t node) {
    if (node == kNoNode) out.text("null");
    else writeJsonString(out, identityOf(t, node));
}

void jsonSide(ReportWriter& out, const DiffInput& side) {
    out.text("{\"name\":");
    writeJsonString(out, side.name);
    out.text(",\"size\":");
    out.decimal(side.image->size);
    out.ch('}');
}

void writeJsonLines(ReportWriter& out, const DiffInput& before, const DiffInput& after, const DiffTree& a,
                    const DiffTree& b, const std::vector<Change>& changes, const DiffResult& result) {
    out.text("{\"line\":\"header\",\"format\":\"symdeck-diff-lines\",\"version\":1,\"old\":");
    jsonSide(out, before);
    out.text(",\"new\":");
    jsonSide(out, after);
    out.text("}\n");
    constexpr std::string_view kWhat[] = {"added", "removed", "changed"};
    for (const Change& c : changes) {
        const Side shown = shownSide(c, a, b);
        out.text("{\"line\":\"change\",\"change\":\"");
        out.text(kWhat[static_cast<unsigned>(c.what)]);
        out.text("\",\"block\":");
        writeJsonString(out, shown.word());
        out.text(",\"identity\":");
        writeJsonString(out, shown.identity());
        for (const auto& [name, side] : {std::pair{",\"old\":", oldSide(c, a)}, std::pair{",\"new\":", newSide(c, b)}}) {
            out.text(name);
            if (!side.has()) {
                out.text("null");
                continue;
            }
            out.text("{\"offset\":");
            out.decimal(side.offset());
            out.ch('}');
        }
        if (c.what != Change::What::Changed) {
            const Side::Inside in = shown.inside();
            out.text(",\"inner\":{\"blocks\":");
            out.decimal(in.blocks);
            out.text(",\"elements\":");
            out.decimal(in.elements);
            out.ch('}');
        } else {
            out.text(",\"fields\":[");
            bool first = true;
            for (const FieldChange& f : changedFields(oldSide(c, a), newSide(c, b))) {
                if (!first) out.ch(',');
                first = false;
                out.text("{\"name\":");
                writeJsonString(out, f.name);
                out.text(",\"old\":");
                jsonValue(out, f.before);
                out.text(",\"new\":");
                jsonValue(out, f.after);
                if (f.beforeNames != kNoNode || f.afterNames != kNoNode) {
                    out.text(",\"oldNames\":");
                    jsonIdentity(out, a, f.beforeNames);
                    out.text(",\"newNames\":");
                    jsonIdentity(out, b, f.afterNames);
                }
                out.ch('}');
            }
            out.ch(']');
        }
        out.text("}\n");
    }
    out.text("{\"line\":\"result\",\"same\":");
    out.text(result.same() ? "true" : "false");
    for (const auto& [name, count] : {std::pair{",\"added\":", result.added}, std::pair{",\"removed\":", result.removed},
                                      std::pair{",\"changed\":", result.changed}, std::pair{",\"moved\":", result.moved}}) {
        out.text(name);
        out.decimal(count);
    }
    out.text(",\"old\":{\"walk\":{");
    writeJsonWalkStatus(out, result.oldStop);
    out.text("}},\"new\":{\"walk\":{");
    writeJsonWalkStatus(out, result.newStop);
    out.text("}}}\n");
}

// Asks the second walk of `t` for the fields of `node` (or of its element `element`).
void want(DiffTree& t, uint32_t node, uint32_t element) {
    if (t.wanted.emplace(wantedKey(node, element), static_cast<uint32_t>(t.fields.size())).second)
        t.fields.emplace_back();
}

// A node's whole digest from its own and its children's, as the walk makes it.
uint64_t wholeOf(const DiffTree& t, uint32_t at) {
    uint64_t inside = 0;
    for (const uint32_t c : childrenOf(t, at)) inside = mixDigest(inside, t.nodes[c].whole);
    return mixDigest(mixDigest(t.nodes[at].own, inside), textDigest(t.nodes[at].word()));
}

}  // namespace

bool rowDistance(const DiffTree& t, uint32_t section, uint32_t value, uint64_t& distance) {
    const uint32_t segment = t.nodes[section].parent;
    if (segment == kNoNode || segment == 0) return false;
    // The segment's line table: a block of the rows' word holding their list, which stands
    // before the sections. The first walk asks while the segment is open (its end not yet
    // set, and neither is the end of the section asking).
    const auto end = t.nodes[segment].end != 0 ? t.nodes[segment].end : static_cast<uint32_t>(t.nodes.size());
    for (uint32_t c = segment + 1; c < end && t.nodes[c].end != 0; c = t.nodes[c].end) {
        if (t.nodes[c].word() != kLineRows.word || t.nodes[c].kind != DiffNode::Kind::Block) continue;
        if (c + 1 >= t.nodes[c].end || t.nodes[c + 1].kind != DiffNode::Kind::List) return false;
        distance = t.nodes[segment].offset + value - t.nodes[c + 1].offset;
        return true;
    }
    return false;
}

uint32_t topBlockAt(const DiffTree& t, uint64_t offset) {
    // 0 names none: the directory writes it for a kind it has no section of.
    if (t.nodes.empty() || offset == 0) return kNoNode;
    for (const uint32_t c : childrenOf(t, 0))
        if (t.nodes[c].offset == offset && t.nodes[c].kind == DiffNode::Kind::Block) return c;
    return kNoNode;
}

uint64_t topBlockDigest(const DiffTree& t, uint32_t node) {
    uint64_t count = 0;
    for (const uint32_t c : childrenOf(t, 0)) {
        if (c == node) break;
        if (t.nodes[c].word() == t.nodes[node].word()) ++count;
    }
    return mixDigest(mixDigest(textDigest(t.nodes[node].word()), count), 3);
}

void resolvePrintedOffsets(DiffTree& t) {
    bool changed = false;
    for (const PrintedOffset& p : t.printed) {
        const uint32_t target = topBlockAt(t, p.value);
        if (target == kNoNode) continue;
        DiffNode& node = t.nodes[p.node];
        node.own = node.own - p.digest + mixDigest(p.name, topBlockDigest(t, target));
        node.whole = wholeOf(t, p.node);
        changed = true;
    }
    if (changed) t.nodes[0].whole = wholeOf(t, 0);
}

bool isNmsDatabase(const NmsImage& image) {
    const auto header = recordAt(image, 0, nm32::kHeader.size);
    return header && header->startsWith(nm32::kHeader.signature);
}

namespace {

// Walks both databases (`walk(image, tree)`): a large pair on two threads, where there are
// threads.
template <class Walk>
void walkBoth(const DiffInput& before, DiffTree& a, const DiffInput& after, DiffTree& b, Walk&& walk) {
#ifndef SYMDECK_NO_THREADS
    constexpr uint64_t kLarge = uint64_t{4} << 20;
    if (before.image->size + after.image->size >= kLarge) {
        try {
            std::thread second([&] { walk(*after.image, b); });
            walk(*before.image, a);
            second.join();
            return;
        } catch (const std::system_error&) {
            // No second thread: one after the other.
        }
    }
#endif
    walk(*before.image, a);
    walk(*after.image, b);
}

}  // namespace

DiffResult writeDiff(const DiffInput& before, const DiffInput& after, const SectionSelection& selection,
                     DiffForm form, bool terminal, ReportWriter& out) {
    DiffTree a, b;
    walkBoth(before, a, after, b,
             [&](const NmsImage& image, DiffTree& tree) { walkDiffTree(image, selection, tree, false); });
    DiffResult result;
    result.oldStop = a.stop;
    result.newStop = b.stop;
    const std::vector<Change> changes = Differ(a, b, result).run();

    // The fields of the changed blocks and elements, from a second walk of each database.
    for (const Change& c : changes)
        if (c.what == Change::What::Changed) {
            want(a, c.before, c.beforeElement);
            want(b, c.after, c.afterElement);
        }
    if (!a.wanted.empty())
        walkBoth(before, a, after, b,
                 [&](const NmsImage& image, DiffTree& tree) { walkDiffTree(image, selection, tree, true); });

    if (!changes.empty()) {
        countAmongSiblings(a);
        countAmongSiblings(b);
    }
    if (form == DiffForm::JsonLines) writeJsonLines(out, before, after, a, b, changes, result);
    else writeText(out, terminal, before, after, a, b, changes, result);
    return result;
}

}  // namespace symdeck

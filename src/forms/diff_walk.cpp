// The walk of a whole database compiled for the diff's tree (forms/diff.h): the first walk
// makes the nodes and their digests, the second counts the same nodes again and keeps the
// fields of those that were asked for.
#include "format/file_structures.h"
#include "format/symbols/symbols.h"
#include "format/walk_database_definition.h"
#include "forms/diff.h"
#include "forms/identity.h"
#include "forms/text_measure.h"

namespace symdeck {

namespace {


class DiffPrinter {
public:
    DiffPrinter(DiffTree& tree, bool fieldsOnly, uint64_t imageSize) : tree_(tree), fieldsOnly_(fieldsOnly) {
        if (!fieldsOnly_) {
            tree_.nodes.clear();
            tree_.elements.clear();
            tree_.printed.clear();
            // Large databases hold about one block for every 40 bytes: room for more than that
            // at once spares the copies of a growing vector, and what is not used is never
            // touched.
            tree_.nodes.reserve(static_cast<size_t>(imageSize / 24) + 16);
            tree_.nodes.push_back(DiffNode{});
        }
        open_.push_back(Open{0, 0});
    }

    void begin() {}
    void open(const Title& title) {
        DiffNode node;
        node.setWord(title.word);
        node.offset = title.offset;
        node.position = title.position;
        node.mark = title.mark;
        if (title.mark == Mark::TypeIndex) node.key = static_cast<uint32_t>(title.number);
        push(node);
    }
    void close() { pop(); }
    void field(const Field& f) {
        const uint32_t at = open_.back().node;
        if (fieldsOnly_) {
            if (slot_ != kNoNode) tree_.fields[slot_].push_back(f);
            return;
        }
        uint64_t digest = meaningDigest(f);
        uint64_t distance = 0;
        if (f.described == kSourceLinesField && rowDistance(tree_, at, f.value, distance))
            digest = mixDigest(mixDigest(nameDigest(f), 5), distance);
        if (inElement_) {
            element_ += digest;
            return;
        }
        DiffNode& node = tree_.nodes[at];
        // A sum: a printed offset's part can be taken out again (resolvePrintedOffsets).
        node.own += digest;
        if (keysItsBlock(f)) node.key = f.value;
        if (f.role == Role::Offset && f.target.leads == Leads::Nothing && open_.size() == 2)
            tree_.printed.push_back(PrintedOffset{at, f.value, digest, nameDigest(f)});
    }
    void openList(const List& list) {
        DiffNode node;
        node.setWord(list.subject.key);
        node.offset = list.offset;
        node.kind = DiffNode::Kind::List;
        node.first = static_cast<uint32_t>(tree_.elements.size());
        node.stride = list.stride;
        push(node);
    }
    void element(const List&, uint32_t index, uint64_t) {
        inElement_ = true;
        element_ = 0;
        if (fieldsOnly_) slotOf(wantedKey(open_.back().node, index));
    }
    void endElement() {
        inElement_ = false;
        if (fieldsOnly_) {
            slotOf(wantedKey(open_.back().node));
            return;
        }
        DiffNode& list = tree_.nodes[open_.back().node];
        tree_.elements.push_back(mixDigest(element_, textDigest(list.word())));
        ++list.count;
    }
    void closeList(const List&) { pop(); }
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t) {}
    void end(const Stop& stop) {
        tree_.stop = stop;
        // What the walk left open ends where it stopped: an element it began is counted.
        if (inElement_) endElement();
        while (!open_.empty()) pop();
    }

private:
    struct Open {
        uint32_t node;
        uint64_t inside;  // the digests of what closed inside it so far
    };

    void slotOf(uint64_t key) {
        const auto found = tree_.wanted.find(key);
        slot_ = found == tree_.wanted.end() ? kNoNode : found->second;
    }
    void push(const DiffNode& node) {
        const auto at = static_cast<uint32_t>(next_++);
        if (!fieldsOnly_) {
            tree_.nodes.push_back(node);
            tree_.nodes.back().parent = open_.back().node;
        } else {
            slotOf(wantedKey(at));
        }
        open_.push_back(Open{at, 0});
    }
    void pop() {
        const Open done = open_.back();
        open_.pop_back();
        if (fieldsOnly_) {
            if (!open_.empty()) slotOf(wantedKey(open_.back().node));
            return;
        }
        DiffNode& node = tree_.nodes[done.node];
        node.end = static_cast<uint32_t>(tree_.nodes.size());
        uint64_t inside = done.inside;
        for (uint32_t e = 0; e < node.count; ++e) inside = mixDigest(inside, tree_.elements[node.first + e]);
        node.whole = mixDigest(mixDigest(node.own, inside), textDigest(node.word()));
        if (!open_.empty()) open_.back().inside = mixDigest(open_.back().inside, node.whole);
    }

    DiffTree& tree_;
    bool fieldsOnly_;
    size_t next_ = 1;
    std::vector<Open> open_;
    bool inElement_ = false;
    uint64_t element_ = 0;
    uint32_t slot_ = kNoNode;  // where the fields of the block or element being walked go
};

}  // namespace

static_assert(Printer<Measured<DiffPrinter>>);
template WalkEnd walkDatabase(Measured<DiffPrinter>&, const NmsImage&, const SectionSelection&);

void walkDiffTree(const NmsImage& image, const SectionSelection& selection, DiffTree& tree, bool fieldsOnly) {
    const auto walk = [&](Measure how) {
        ReportWriter counting(ReportSink{[](void*, const char*, size_t) { return true; }, nullptr}, 64 * 1024);
        TextMeasure text(counting, how);
        DiffPrinter print(tree, fieldsOnly, image.size);
        Measured<DiffPrinter> measured(text, print);
        walkDatabase(measured, image, selection);
    };
    // An upper bound of the text is enough where it stays below the size limit: no walk
    // stops at the limit then, and the events are the whole walk's. A walk that reached it
    // is walked again with the text measured.
    if (fieldsOnly) {
        walk(tree.exact ? Measure::Exact : Measure::Bound);
        return;
    }
    tree.exact = false;
    walk(Measure::Bound);
    if (tree.stop.end == WalkEnd::Limit) {
        tree.exact = true;
        walk(Measure::Exact);
    }
    resolvePrintedOffsets(tree);
}

}  // namespace symdeck

// The walk of a whole database compiled for the diff's tree (forms/diff.h): the first walk
// makes the nodes and their digests, the second counts the same nodes again and keeps the
// fields of those that were asked for.
#include "format/file_structures.h"
#include "format/symbols/symbols.h"
#include "format/walk_database_definition.h"
#include "forms/diff.h"
#include "forms/text_measure.h"

namespace symdeck {

namespace {

// The fields that tell a block from its siblings of the same word.
constexpr uint16_t kEntryKind = fieldOf(nmdr::kEntry, "entryIndex").id;
constexpr uint16_t kSegmentNumber = fieldOf(symd::kSegment, "nSeg").id;

class DiffPrinter {
public:
    DiffPrinter(DiffTree& tree, bool fieldsOnly) : tree_(tree), fieldsOnly_(fieldsOnly) {
        if (!fieldsOnly_) {
            tree_.nodes.clear();
            tree_.printed.clear();
            tree_.nodes.push_back(DiffNode{});
        }
        open_.push_back(Open{0, 0});
    }

    void begin() {}
    void open(const Title& title) {
        DiffNode node;
        node.word = title.word;
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
            if (tree_.wanted[at]) tree_.fields[tree_.fieldSlot[at]].push_back(f);
            return;
        }
        DiffNode& node = tree_.nodes[at];
        const uint64_t digest = meaningDigest(f);
        // A sum: a printed offset's part can be taken out again (resolvePrintedOffsets).
        node.own += digest;
        if (f.described == kEntryKind || f.described == kSegmentNumber) node.key = f.value;
        if (f.role == Role::Offset && f.target.leads == Leads::Nothing && open_.size() == 2)
            tree_.printed.push_back(PrintedOffset{at, f.value, digest, textDigest(f.name)});
    }
    void openList(const List& list) {
        DiffNode node;
        node.word = list.subject.key;
        node.offset = list.offset;
        node.kind = DiffNode::Kind::List;
        push(node);
    }
    void element(const List& list, uint32_t index, uint64_t offset) {
        DiffNode node;
        node.word = list.subject.key;
        node.offset = offset;
        node.position = index;
        node.kind = DiffNode::Kind::Element;
        push(node);
    }
    void endElement() { pop(); }
    void closeList(const List&) { pop(); }
    void openRun(const Run&) {}
    void closeRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void unknownSection(int32_t) {}
    void end(const Stop& stop) {
        tree_.stop = stop;
        // What the walk left open ends where it stopped.
        while (!open_.empty()) pop();
    }

private:
    struct Open {
        uint32_t node;
        uint64_t inside;  // the digests of what closed inside it so far
    };

    void push(const DiffNode& node) {
        const auto at = static_cast<uint32_t>(next_++);
        if (!fieldsOnly_) {
            tree_.nodes.push_back(node);
            tree_.nodes.back().parent = open_.back().node;
        }
        open_.push_back(Open{at, 0});
    }
    void pop() {
        const Open done = open_.back();
        open_.pop_back();
        if (fieldsOnly_) return;
        DiffNode& node = tree_.nodes[done.node];
        node.end = static_cast<uint32_t>(tree_.nodes.size());
        node.whole = mixDigest(mixDigest(node.own, done.inside), textDigest(node.word));
        if (!open_.empty()) open_.back().inside = mixDigest(open_.back().inside, node.whole);
    }

    DiffTree& tree_;
    bool fieldsOnly_;
    size_t next_ = 1;
    std::vector<Open> open_;
};

}  // namespace

static_assert(Printer<Measured<DiffPrinter>>);
template WalkEnd walkDatabase(Measured<DiffPrinter>&, const NmsImage&, const SectionSelection&);

void walkDiffTree(const NmsImage& image, const SectionSelection& selection, DiffTree& tree, bool fieldsOnly) {
    ReportWriter counting(ReportSink{[](void*, const char*, size_t) { return true; }, nullptr}, 64 * 1024);
    TextMeasure text(counting);
    DiffPrinter print(tree, fieldsOnly);
    Measured<DiffPrinter> measured(text, print);
    walkDatabase(measured, image, selection);
    if (!fieldsOnly) resolvePrintedOffsets(tree);
}

}  // namespace symdeck

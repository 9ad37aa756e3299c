// The structural diff of two databases. Each is walked into a tree of its blocks, lists and
// list elements (DiffTree), every node with digests of what it holds, read by meaning: a
// number by its value, a name index by the name it gives, a text by its text, and an offset
// that the walk follows by nothing of its own, since what it leads to is compared where it
// stands (an offset that only moved with its target is no change).
//
// The trees are then matched from the top: a block that has an identity of its own is
// matched by it (the header and the directory by their words; a directory entry by its kind
// and its number among that kind's entries; a section likewise by its word and number; a
// type record by its type index; an entry of a type table by its place; a segment by its
// number), the blocks of the runs that have none (procedures, variables, VLP entries, source
// sections, source files) and the elements of lists by a longest common subsequence of
// their digests, as `diff` aligns lines; elements left between two aligned ones are paired
// in order. A matched block whose own fields differ has changed; one whose fields are the
// same at another offset has moved (counted, not listed). An added or removed block is one
// change; what it holds is counted inside it. The fields of changed blocks are read by a
// second walk of both databases, which keeps only theirs.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/events.h"
#include "format/reader.h"
#include "format/symbols/symbols.h"
#include "format/selection.h"
#include "forms/writer.h"

namespace symdeck {

inline constexpr uint32_t kNoNode = ~uint32_t{0};

// Digests: a 64-bit mix, and the bytes of a text.
constexpr uint64_t mixDigest(uint64_t h, uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15u + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDu;
}
constexpr uint64_t textDigest(std::string_view text) {
    uint64_t h = 0xCBF29CE484222325u;
    for (const char c : text) h = (h ^ static_cast<uint8_t>(c)) * 0x100000001B3u;
    return h;
}

// A field that the walk follows to a block, a run, a list, an area or an array (or to a
// section the selection leaves out): compared by what it leads to, not by its value.
constexpr bool leadsOn(const Field& f) {
    switch (f.target.leads) {
        case Leads::Block:
        case Leads::Elements:
        case Leads::Area:
        case Leads::Array:
        case Leads::LeftOut: return true;
        default: return false;
    }
}
// A field read by the text it gives: a name index's name, a text of the file, a string
// list's row.
constexpr bool readsAsText(const Field& f) {
    return f.role == Role::NameIndex || f.role == Role::Text ||
           (f.role == Role::Offset && f.meaning == Meaning::Word);
}
// What a field is, as a digest: the id of its table's field, else its name.
constexpr uint64_t nameDigest(const Field& f) { return f.described != 0 ? f.described : textDigest(f.name); }
// The digest of a field by meaning, with what it is, so that the digests of a block's fields
// can be summed in any order.
constexpr uint64_t meaningDigest(const Field& f) {
    const uint64_t name = nameDigest(f);
    if (readsAsText(f)) return mixDigest(name, textDigest(f.text));
    if (leadsOn(f)) return mixDigest(name, 1);
    return mixDigest(mixDigest(name, 2), f.value);
}
// Two fields of the same name that say the same by meaning.
constexpr bool sameByMeaning(const Field& a, const Field& b) {
    if (readsAsText(a) || readsAsText(b)) return readsAsText(a) && readsAsText(b) && a.text == b.text;
    if (leadsOn(a) || leadsOn(b)) return leadsOn(a) && leadsOn(b);
    return a.value == b.value;
}

// An offset that the walk only prints, in one of the top blocks (the header, the directory's
// header, a section's header): where it names the start of a top block (the directory
// names the first section of each kind), it is compared by the block it names.
struct PrintedOffset {
    uint32_t node;
    uint32_t value;
    uint64_t digest;  // the field's part of its node's digest, by value
    uint64_t name;    // the digest of its name
};

// A block or a list of one database's walk. A list's elements are no nodes: each is the
// digest of its fields, in the tree's `elements`, and stands `stride` bytes after the one
// before it.
struct DiffNode {
    enum class Kind : uint8_t { Block, List };
    uint64_t offset = 0;
    uint64_t own = 0;    // digest of its own fields
    uint64_t whole = 0;  // digest of its own fields and of everything inside it
    uint32_t parent = kNoNode;
    uint32_t end = 0;       // one past its last descendant: nodes stand in walk order
    uint32_t position = 0;  // its place among its run's blocks or its list's elements
    uint32_t key = 0;       // what tells it from its siblings of the same word (see diff.cpp)
    uint32_t first = 0;     // a list: its first element in the tree's `elements`,
    uint32_t count = 0;     // ... how many the walk reported,
    uint32_t stride = 0;    // ... and the bytes from one to the next
    Kind kind = Kind::Block;
    Mark mark = Mark::None;
    // A block's word; a list's: its key. Words are the program's own and short, so a
    // node holds one in 9 bytes rather than 16.
    uint8_t wordSize = 0;
    const char* wordData = "";

    std::string_view word() const { return {wordData, wordSize}; }
    void setWord(std::string_view word) {
        wordData = word.data();
        wordSize = static_cast<uint8_t>(word.size() < 255 ? word.size() : 255);
    }
};

// One database's walk as nodes (node 0 stands for the whole database) and list elements,
// how the walk ended, and, after a second walk, the fields of the blocks and elements that
// were asked for.
struct DiffTree {
    std::vector<DiffNode> nodes;
    std::vector<uint64_t> elements;  // the digests of the lists' elements
    Stop stop{};
    bool exact = false;  // the walk measured the text exactly (it reached the size limit)
    std::vector<PrintedOffset> printed;
    // Asked for by node, or by list node and element (element + 1 in the low half, 0 for
    // the node itself): where its fields go in `fields`.
    std::unordered_map<uint64_t, uint32_t> wanted;
    std::vector<std::vector<Field>> fields;
    // Each node's count among its earlier siblings of its word and key (forms/identity.h),
    // made before the changes are written.
    std::vector<uint32_t> among;
};

// The key of `wanted` for a node, or for element `element` of a list node.
constexpr uint64_t wantedKey(uint32_t node, uint32_t element = kNoNode) {
    return uint64_t{node} << 32 | (element == kNoNode ? 0 : uint64_t{element} + 1);
}

// Walks `image` into `tree` (first walk), or, with `tree.wanted` set, gathers the fields of
// the wanted nodes (second walk). Defined with the walk, in diff_walk.cpp.
void walkDiffTree(const NmsImage& image, const SectionSelection& selection, DiffTree& tree, bool fieldsOnly);

// A source section's offset of its rows, which the walk only prints: compared by the row it
// names, counted in bytes from the first row of its segment's line table (`distance`),
// since the rows move with everything before them. False when the segment has no line
// table the walk reported.
inline constexpr uint16_t kSourceLinesField = fieldOf(symd::kSourceSection, "offSourceLines").id;
bool rowDistance(const DiffTree& tree, uint32_t section, uint32_t value, uint64_t& distance);

// The top block (a child of node 0) that begins at `offset` (not 0), or kNoNode; and the digest of
// what it is (its word and its number among the top blocks of that word).
uint32_t topBlockAt(const DiffTree& tree, uint64_t offset);
uint64_t topBlockDigest(const DiffTree& tree, uint32_t node);
// Gives the printed offsets that name a top block their part of the digests by that block.
void resolvePrintedOffsets(DiffTree& tree);

// Whether `image` is a database at all: its walk gets past the file header.
bool isNmsDatabase(const NmsImage& image);

enum class DiffForm { Text, JsonLines };

struct DiffInput {
    std::string_view name;
    const NmsImage* image;
};

struct DiffResult {
    uint64_t added = 0;
    uint64_t removed = 0;
    uint64_t changed = 0;
    uint64_t moved = 0;
    Stop oldStop{};
    Stop newStop{};

    bool same() const { return added == 0 && removed == 0 && changed == 0; }
};

// Compares the walks of `before` and `after` with `selection` and writes the changes in
// `form` into `out`; `terminal`: the text is shown on a terminal (texts of the databases
// escaped).
DiffResult writeDiff(const DiffInput& before, const DiffInput& after, const SectionSelection& selection,
                     DiffForm form, bool terminal, ReportWriter& out);

}  // namespace symdeck

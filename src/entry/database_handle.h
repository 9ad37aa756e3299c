// An open database: one walk of its bytes, as the JSON lines form makes it, keeps a compact
// record of every block the form writes as a block line (in the same order), how the walk
// ended, and the map of the database's units. The fields are not kept: a later walk of only
// the units that hold the blocks asked for gives them again, event for event as the first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/events.h"
#include "format/reader.h"
#include "format/selection.h"
#include "forms/database_map.h"
#include "symdeck.h"

namespace symdeck {

inline constexpr uint32_t kNoBlock = ~uint32_t{0};
inline constexpr uint32_t kNoPlace = ~uint32_t{0};

// One block line of the JSON lines form.
struct BlockRecord {
    uint64_t offset;       // its title's offset (0 for a directory entry of an unknown kind)
    uint64_t size;         // its extent: fixed part, own fields and list (the table form's)
    uint64_t identityEnd;  // its identity ends here in the database's identities (it begins
                           // where the block before's ends)
    uint64_t fieldCount;   // its own fields and its list's rows, as far as the walk went
    uint32_t parent;       // kNoBlock at the top
    uint32_t place;        // a directory entry's index, else kNoPlace
    uint16_t word;         // its word, in the database's words
    uint8_t depth;
};

struct Database {
    NmsImage image;
    std::vector<uint8_t> owned;  // the bytes, when the database read them itself
    uint32_t leftOut = 0;
    SectionSelection selection;
    std::string name;
    std::vector<std::string_view> words;  // the blocks' words, each once
    std::vector<BlockRecord> blocks;
    std::string identities;  // every block's identity, one after the other
    Stop stop{};
    FieldProblems problems;
    DatabaseMap map;  // planningMap's: the units later walks plan by
};

// Walks `db.image` with `db.selection` and fills the rest of `db`.
void openDatabase(Database& db);

// Where block `index`'s identity begins in db.identities: where the block before's ends.
inline uint64_t identityStart(const Database& db, uint64_t index) {
    return index == 0 ? 0 : db.blocks[index - 1].identityEnd;
}
inline std::string_view blockIdentity(const Database& db, uint64_t index) {
    const uint64_t from = identityStart(db, index);
    return std::string_view(db.identities).substr(from, db.blocks[index].identityEnd - from);
}

// Called with block `index` and its fields as the C interface gives them (their texts valid
// during the call); returns false to stop.
using BlockVisit = bool (*)(void* context, uint64_t index, std::span<const symdeck_field> fields);

// Visits blocks [first, end) in order, walking only the units of the map that hold them.
// Returns false when the visit stopped the walk.
bool visitBlocks(const Database& db, uint64_t first, uint64_t end, BlockVisit visit, void* context);

// The innermost block whose own fields or list rows hold byte `offset`, or kNoBlock.
uint32_t blockAt(const Database& db, uint64_t offset);

}  // namespace symdeck

#include "entry/database_handle.h"

#include <algorithm>
#include <memory>

#include "entry/handle_printers.h"
#include "entry/render.h"
#include "format/walk_database.h"

namespace symdeck {

namespace {

bool discard(void*, const char*, size_t) { return true; }

// The units a walk visits for blocks [first, end): those that hold one of them, or stand
// next to one (a group of a block's list begins after the block's own number), and every
// unit that holds these. The header and the directory are always walked.
std::unique_ptr<bool[]> unitsForBlocks(const DatabaseMap& map, uint64_t first, uint64_t end) {
    const size_t n = map.units.size();
    auto walked = std::make_unique<bool[]>(n);
    for (size_t i = 0; i < n; ++i) {
        const MapUnit& u = map.units[i];
        if (u.blocksBefore > end || u.blockEnd < first) continue;
        walked[i] = true;
        for (uint32_t p = u.parent; p != kNoUnit && !walked[p]; p = map.units[p].parent) walked[p] = true;
    }
    for (size_t i = 0; i < n && i < 2 && map.units[i].depth == 0; ++i) walked[i] = true;
    return walked;
}

}  // namespace

void openDatabase(Database& db) {
    // The JSON lines are only counted: the walk ends where the form ends, and its result is
    // the form's.
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    JsonPrinter json(counting, db.name, db.image.size, true);
    BlockRecorder record(db, json);
    walkDatabase(record, db.image, db.selection);
    db.stop = json.stopped();
    db.problems = json.problems();
    db.map = planningMap(db.image, db.selection);
}

bool visitBlocks(const Database& db, uint64_t first, uint64_t end, BlockVisit visit, void* context) {
    end = std::min<uint64_t>(end, db.blocks.size());
    if (first >= end) return true;
    const std::unique_ptr<bool[]> walked = unitsForBlocks(db.map, first, end);
    RowPrinter rows(db, first, end, visit, context);
    Skipping<RowPrinter> skipping(rows, db.map, std::span<const bool>(walked.get(), db.map.units.size()));
    walkDatabase(skipping, db.image, db.selection);
    return !rows.stoppedByVisit();
}

uint32_t blockAt(const Database& db, uint64_t offset) {
    const uint64_t at[] = {offset};
    const std::vector<bool> chosen = unitsToWalk(db.map, at);
    auto walked = std::make_unique<bool[]>(chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i) walked[i] = chosen[i];
    for (size_t i = 0; i < chosen.size() && i < 2 && db.map.units[i].depth == 0; ++i) walked[i] = true;
    RowPrinter find(db, offset);
    Skipping<RowPrinter> skipping(find, db.map, std::span<const bool>(walked.get(), chosen.size()));
    walkDatabase(skipping, db.image, db.selection);
    return find.holder();
}

}  // namespace symdeck

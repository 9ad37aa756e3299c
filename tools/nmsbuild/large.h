// Large, sound databases shaped like the debugging information of a big module: many
// segments, procedures with local and register variables, dense line tables, thousands of
// type records of every kind, a large string table, type and hash tables. Deterministic
// from the seed. Used by the benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "nmsbuild/nmsbuild.h"

namespace nmsbuild {

// How records refer to names: as a real module does (a few hundred common names used all
// over, every other name near where it entered the table), or evenly at random over the
// whole table (the worst case for the caches).
enum class NameOrder { Local, Random };

// A later build of the same module: the same database with a procedure added in the
// middle of four segments, four type records changed (each in one of its numbers) and its
// sections in another order. For comparing two databases.
struct LaterBuild {
    bool on = false;
};

// A database of roughly `targetBytes` bytes (within a few percent).
Database largeDescription(uint64_t targetBytes, uint64_t seed, NameOrder nameOrder = NameOrder::Local,
                          LaterBuild later = {});
std::vector<uint8_t> largeDatabase(uint64_t targetBytes, uint64_t seed,
                                   NameOrder nameOrder = NameOrder::Local, LaterBuild later = {});

}  // namespace nmsbuild

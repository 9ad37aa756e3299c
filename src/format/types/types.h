// Type information: the names of primitive type indices (primitiveTypeName, declared with
// the walk) and the three sections that hold the database's types: NMTP (the type
// records), TYTB (type tables pairing type indices with names) and HSHT (the hash table
// over type names).
//
// Each render function checks its section (size limit, bounds, signature), reports its
// block and returns true, or records why the walk stops and returns false.
#pragma once

#include <cstdint>

#include "format/walk.h"

namespace symdeck {

// Field offsets of each structure, in bytes from its first byte, and its fixed size.
namespace nmtp {
inline constexpr uint64_t kNTypes = 8, kN1 = 12, kSize = 20;
static_assert(kN1 + 2 * 4 == kSize);
}  // namespace nmtp

namespace tytb {
inline constexpr uint64_t kNTypeTables = 8, kOffTypeTables = 12, kN1 = 16, kSize = 24;
static_assert(kN1 + 2 * 4 == kSize);
// A TYPETABLE entry.
inline constexpr uint64_t kEntryType = 0, kEntryIName = 4, kEntrySize = 8;
static_assert(kEntryIName + 4 == kEntrySize);
}  // namespace tytb

namespace hsht {
inline constexpr uint64_t kSizeTableOffsets = 8, kNTypes = 12, kOffTableOffsets = 16,
                          kOffTypeTables = 20, kN1 = 24, kSize = 32;
static_assert(kN1 + 2 * 4 == kSize);
// An HSHT_TYPETABLE entry.
inline constexpr uint64_t kEntryOffPreviousTable = 0, kEntryHashNumber = 4, kEntryIName = 8,
                          kEntryType = 12, kEntryN1 = 16, kEntrySize = 20;
static_assert(kEntryN1 + 4 == kEntrySize);
}  // namespace hsht

// Makes the NMTP section at `sectionOffset` the one whose records type indices name, when
// its signature and header lie in the file; otherwise type indices name no record. Reports
// nothing and never stops the walk: the section's renderer reports its damage where it
// stands.
template <class P>
void installTypeRecords(Walk<P>& walk, uint64_t sectionOffset);

// NMTP: the header, then one block per record in type-index order.
template <class P>
bool renderTypeRecords(Walk<P>& walk, uint64_t sectionOffset);
// TYTB: the header, then one block per TYPETABLE entry.
template <class P>
bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset);
// HSHT: the header, the table offsets list as stored, then one block per entry.
template <class P>
bool renderHashTables(Walk<P>& walk, uint64_t sectionOffset);

}  // namespace symdeck

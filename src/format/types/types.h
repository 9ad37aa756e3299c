// Type information: the names of primitive type indices (primitiveTypeName, declared with
// the walk) and the three sections that hold the database's types: the type records, the
// type tables pairing type indices with names, and the hash table over type names. Their
// headers and table entries are described in the *.structures file beside each decoder.
//
// Each render function checks its section (size limit, bounds, signature), reports its
// block and returns true, or records why the walk stops and returns false.
#pragma once

#include <cstdint>

#include "format/types/hash_tables_description.h"
#include "format/types/type_records_description.h"
#include "format/types/type_tables_description.h"
#include "format/walk.h"

namespace symdeck {

// The lists of the type sections: an argument or derivation list's type indices, and the
// hash table's offsets of its type tables.
inline constexpr Subject kTypeList{"types", "type"};
inline constexpr Subject kTableOffsets{"typeTableOffsets", "Type Table Offsets"};

// Makes the type records section at `sectionOffset` the one whose records type indices name, when
// its signature and header lie in the file; otherwise type indices name no record. Reports
// nothing and never stops the walk: the section's renderer reports its damage where it
// stands.
template <class P> void installTypeRecords(Walk<P>& walk, uint64_t sectionOffset);

// The type records: the header, then one block per record in type-index order.
template <class P> bool renderTypeRecords(Walk<P>& walk, uint64_t sectionOffset);
// The type tables: the header, then one block per entry.
template <class P> bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset);
// The hash table: the header, the table offsets list as stored, then one block per entry.
template <class P> bool renderHashTables(Walk<P>& walk, uint64_t sectionOffset);

}  // namespace symdeck

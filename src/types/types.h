// Type information: the names of primitive type indices and the three sections that hold
// the database's types: NMTP (the type records), TYTB (type tables pairing type indices
// with names) and HSHT (the hash table over type names).
//
// Each render function checks its section (size limit, bounds, signature), writes its
// block and returns true, or writes one error line and returns false, which ends the walk.
#pragma once

#include <cstdint>
#include <string_view>

#include "report/walk.h"

namespace symdeck {

// Type indices from this value on name the records of the NMTP section: index
// kFirstRecordType + i is record number i.
inline constexpr uint32_t kFirstRecordType = 0x1000;

// The text for a type index: the name of one of the primitive types the report knows,
// "unknown primitive type(not all are set in symdeck)" for any other index below 0x1000,
// and "one of NM types" for every record index (0x1000 and above).
std::string_view primitiveTypeName(uint32_t index);

// A type-index field line: "ULONG", `name`, then "0x%X(%s)" with the index and its
// primitiveTypeName() text.
inline void typeLine(ReportWriter& out, unsigned indent, std::string_view name,
                     uint32_t typeIndex, bool blank = false) {
    out.field(indent, "ULONG", name);
    out.hex0x(typeIndex);
    out.ch('(');
    out.text(primitiveTypeName(typeIndex));
    out.ch(')');
    endLine(out, blank);
}

// Fixed sizes of the section headers and table entries, in bytes.
inline constexpr uint64_t kNmtpHeaderSize = 20;
inline constexpr uint64_t kTytbHeaderSize = 24;
inline constexpr uint64_t kTypeTableEntrySize = 8;
inline constexpr uint64_t kHshtHeaderSize = 32;
inline constexpr uint64_t kHashTableEntrySize = 20;

// NMTP: the header, then one block per record in type-index order.
bool renderTypeRecords(DumpContext& ctx, uint64_t sectionOffset);
// TYTB: the header, then one block per TYPETABLE entry.
bool renderTypeTables(DumpContext& ctx, uint64_t sectionOffset);
// HSHT: the header, the table offsets list as stored, then one block per entry.
bool renderHashTables(DumpContext& ctx, uint64_t sectionOffset);

}  // namespace symdeck

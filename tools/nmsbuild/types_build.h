// Builder support for the type sections: NMTP type records, TYTB type tables and HSHT hash
// tables, described field by field.
//
// Every emitter fills in what the description leaves unset (counts, lengths, offsets) from
// what it writes; a test that wants a field wrong sets it explicitly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "nmsbuild/nmsbuild.h"

namespace nmsbuild {

// ---- NMTP type records, one struct per kind; the lf_index is implied by the struct ----
struct Label {  // lf_index 0xE, 8 bytes
    uint32_t mode = 0;
};
struct Procedure {  // lf_index 0x8, 20 bytes
    uint32_t argList = 0, rType = 0, call = 0, argCount = 0;
};
struct Array {  // lf_index 0x1003, 32 bytes
    uint32_t elemType = 0, n1 = 0;
    uint16_t n2 = 0;
    uint32_t length = 0, indexType = 0, n3 = 0, nElements = 0;
    uint16_t n4 = 0;
};
struct Struct {  // lf_index 0x1005, 32 bytes
    uint32_t derivedType = 0, iName = 0;
    uint16_t property = 0;
    uint32_t nFields = 0, length = 0, n1 = 0, n2 = 0;
    uint16_t n3 = 0;
};
struct Union {  // lf_index 0x1006, the layout of Struct
    uint32_t derivedType = 0, iName = 0;
    uint16_t property = 0;
    uint32_t nFields = 0, length = 0, n1 = 0, n2 = 0;
    uint16_t n3 = 0;
};
struct Member {  // lf_index 0x1406, 20 bytes
    uint32_t indexType = 0, iName = 0;
    uint16_t access = 0, offset = 0;
    uint32_t n1 = 0;
};
struct ArgList {  // lf_index 0x2201, 12 bytes and 4 per entry
    uint32_t n1 = 0;
    std::vector<uint32_t> types;
    std::optional<uint32_t> argCount;  // unset: types.size()
};
struct Derived {  // lf_index 0x2204, the layout of ArgList
    uint32_t n1 = 0;
    std::vector<uint32_t> types;
    std::optional<uint32_t> argCount;
};
// Any lf_index, followed by `body` as it is (also a known kind with a hand-made body).
struct RawRecord {
    uint32_t lfIndex = 0;
    std::string body;
};
using TypeRecord =
    std::variant<Label, Procedure, Array, Struct, Union, Member, ArgList, Derived, RawRecord>;

// The number of bytes `record` takes in the section.
uint64_t recordSize(const TypeRecord& record);

// The section: the header, the offset table, then the records back to back in the order
// given. Unset typeOffsets: one entry per record, pointing at it. Set: the table holds
// exactly these values (records are still written in order, so record k begins at the sum
// of the sizes of records 0..k-1).
struct TypeRecords {
    std::string signature = "NMTP";
    std::vector<TypeRecord> records;
    std::optional<uint32_t> sectionLength;  // unset: the section's size
    std::optional<uint32_t> nTypes;         // unset: the number of table entries
    std::optional<std::vector<uint32_t>> typeOffsets;
    uint32_t n1 = 0, n2 = 0;
};
SectionEmitter typeRecords(TypeRecords section);

// ---- TYTB ----
struct TypeTableEntry {
    uint32_t type = 0, iName = 0;
};
// The header (24 bytes), then the entries right behind it.
struct TypeTables {
    std::string signature = "TYTB";
    std::vector<TypeTableEntry> entries;
    std::optional<uint32_t> sectionLength;  // unset: the section's size
    std::optional<uint32_t> nTypeTables;    // unset: entries.size()
    std::optional<uint32_t> offTypeTables;  // unset: the image offset of the first entry
    uint32_t n1 = 0, n2 = 0;
};
SectionEmitter typeTables(TypeTables section);

// ---- HSHT ----
struct HashEntry {
    uint32_t offPreviousTable = 0, hashNumber = 0, iName = 0, type = 0, n1 = 0;
};
// The header (32 bytes), the table offsets list, then the entries.
struct HashTables {
    std::string signature = "HSHT";
    std::vector<uint32_t> tableOffsets;
    std::vector<HashEntry> entries;
    std::optional<uint32_t> sectionLength;     // unset: the section's size
    std::optional<uint32_t> sizeTableOffsets;  // unset: tableOffsets.size()
    std::optional<uint32_t> nTypes;            // unset: entries.size()
    std::optional<uint32_t> offTableOffsets;   // unset: the image offset of the list
    std::optional<uint32_t> offTypeTables;     // unset: the image offset of the first entry
    uint32_t n1 = 0, n2 = 0;
};
SectionEmitter hashTables(HashTables section);

}  // namespace nmsbuild

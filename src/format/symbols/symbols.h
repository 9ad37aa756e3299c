// Symbol data: the symbol data section with its segments, and under each segment its procedures
// (with local and register variables), its source-line rows and source sections, and its
// VLP entries; after the segments comes the list of source files.
//
// Offsets inside the section have three bases: offSData_header counts from the image's
// first byte, subSectionLength from the SEGMENTDATA_HEADER, and every offset field of a
// SEGMENTDATA record from that record's first byte (the segment base). All of them are
// added in 64-bit arithmetic, so no sum wraps. Every bounds or size-limit error in the
// section names SYMD_HEADER and ends the walk: the render functions then return false.
#pragma once

#include <cstdint>
#include <string_view>

#include "format/symbols/symbol_data_description.h"
#include "format/walk.h"

namespace symdeck {

// The runs of blocks and the list of the symbol data. The line rows are one list of rows
// behind the bare title SEGDATA_SOURCELINES, or an empty run where there are none.
inline constexpr Subject kSegmentBlocks = blocksTitled(symd::kSegment.word);
inline constexpr Subject kProcedures = blocksTitled("SEGDATA_PROCEDURE");
inline constexpr Subject kVlpEntries = blocksTitled("SEGDATA_VLPTABLE");  // locals, VLP tables
inline constexpr Subject kRegisters = blocksTitled("SEGDATA_REGISTER");
inline constexpr Subject kSourceSections = blocksTitled("SEGDATA_SOURCESECTION");
inline constexpr Subject kSourceFiles = blocksTitled(symd::kSourceFile.word);
inline constexpr Subject kLineRows{"lineRows", "SEGDATA_SOURCELINES"};

// A procedure's bytes: without the trailing N1 in format minor version 1.
constexpr uint64_t procedureSize(uint32_t formatMinorVersion) {
    return formatMinorVersion == 1 ? fieldOf(symd::kProcedure, "N1").offset : symd::kProcedure.size;
}

// The name of an x86 register number, or "unknown register".
std::string_view registerName(uint32_t number);
// Whether the register number has a name.
bool isKnownRegister(uint32_t number);

// The whole symbol data section at `sectionOffset`.
template <class P>
bool renderSymbolData(Walk<P>& walk, uint64_t sectionOffset);

// The blocks under the SEGMENTDATA record `segment`, in the order they are reported: the
// procedures with their variables, the line table and source sections, the VLP entries.
// Each returns false only when the walk stops.
template <class P>
bool renderSegmentProcedures(Walk<P>& walk, const Record& segment);
template <class P>
bool renderSegmentSources(Walk<P>& walk, const Record& segment);
template <class P>
bool renderSegmentVlpTables(Walk<P>& walk, const Record& segment);

// The kinds of entry a variable table may hold, and what its tableType line reads for any
// other value: `error` and the number, with the type word `errorType`.
template <size_t N>
struct TableTypes {
    const EnumName (&known)[N];
    std::string_view error;
    std::string_view errorType;
};

// Opens the block of a variable entry (SEGDATA_VLPTABLE or SEGDATA_REGISTER: both begin
// with size, tableType, type and iName at the same offsets), element i of `count`, and
// reports those four fields.
template <class P, size_t N>
void openVariable(Walk<P>& walk, const Record& entry, std::string_view word, uint32_t i,
                  uint32_t count, const TableTypes<N>& types) {
    static_assert(fieldOf(symd::kVlpEntry, "type").offset == fieldOf(symd::kRegisterEntry, "type").offset &&
                  fieldOf(symd::kVlpEntry, "iName").offset == fieldOf(symd::kRegisterEntry, "iName").offset);
    walk.print.open(Title{word, entry.offset, entry.width, Mark::None, 0, i, count});
    Fields<P> f{walk, entry};
    constexpr auto& d = symd::kVlpEntry;
    // The entry's size in bytes, printed only: entries lie a fixed distance apart.
    f.emit(f.field(entry, fieldOf(d, "size")));
    Field field = f.asSigned(f.field(entry, fieldOf(d, "tableType")));
    if (const EnumName* name = findName(types.known, field.value)) {
        field.meaning = Meaning::Word;
        field.text = name->name;
    } else {
        field.meaning = Meaning::ErrorDec;
        field.type = types.errorType;
        field.text = types.error;
        field.problem = Problem::WrongTableType;
    }
    f.emit(field);
    f.type(fieldOf(d, "type"));
    f.name(fieldOf(d, "iName"));
}

}  // namespace symdeck

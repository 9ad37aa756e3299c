// nmsbuild: SYMD sections (symbol data) from a readable description.
//
// symbolData() lays a section out in this order, filling in every offset, count and length
// that the description leaves unset:
//
//   SYMD header (44 bytes)
//   `gapBeforeSegmentData` zero bytes
//   SEGMENTDATA_HEADER (12 bytes; its image offset is offSData_header)
//   one 54-byte SEGMENTDATA record per segment
//   per segment, in segment order, the areas its record points into:
//     procedure records (procedureSize bytes each)
//     local-variable area: every procedure's local variables, procedure by procedure
//     register area: every procedure's register variables, procedure by procedure
//     source-section records (20 bytes each)
//     line rows: every source section's rows, section by section (8 bytes each)
//     VLP area: the VLP entries (16 bytes each)
//     VLP offsets array (4 bytes per offset)
//   `gapBeforeSourceFiles` zero bytes
//   source-file records (20 bytes each), at header base + subSectionLength
//
// Offsets in a SEGMENTDATA record count from the record's first byte; a procedure's
// offLocVariables and offRegVariables count from its segment's local-variable and register
// areas. Overrides change only the value written: the layout stays as above, so a test can
// point a field anywhere it likes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "nmsbuild/nmsbuild.h"

namespace nmsbuild {

// SEGDATA_VLPTABLE: a local variable (tableType 1) or a segment VLP entry (4 to 9).
struct VlpEntry {
    uint16_t size = 16;
    uint16_t tableType = 1;
    uint32_t type = 0;
    uint32_t iName = 0;
    uint32_t offVLP = 0;
};

// SEGDATA_REGISTER: a register variable (tableType 2 or 3).
struct RegisterVariable {
    uint16_t size = 18;
    uint16_t tableType = 2;
    uint32_t type = 0;
    uint32_t iName = 0;
    uint32_t parameterOffset = 0;
    uint16_t registerNumber = 0;
};

// SEGDATA_PROCEDURE with the variables it owns.
struct SegmentProcedure {
    uint32_t offStartProc = 0;
    uint32_t offEndProc = 0;
    std::vector<VlpEntry> locals;
    std::vector<RegisterVariable> registers;
    std::optional<uint32_t> offLocVariables;   // unset: where its locals were put
    std::optional<uint32_t> nLocalVariables;   // unset: locals.size()
    std::optional<uint32_t> offRegVariables;   // unset: where its registers were put
    std::optional<uint32_t> sizeRegVariables;  // unset: 18 * registers.size()
    uint32_t m1 = 0;
    uint32_t n1 = 0;  // written only in the 32-byte record
};

struct LineRow {
    uint32_t offInCode = 0;
    uint32_t lineNumber = 0;
};

struct SourceSection {
    uint32_t offStart = 0;
    uint32_t offEnd = 0;
    std::vector<LineRow> lines;
    std::optional<uint32_t> offSourceLines;  // unset: its first row, from the segment base
    std::optional<uint32_t> nLineTables;     // unset: lines.size()
    uint32_t offInSFDef = 0;
};

struct Segment {
    uint16_t nSeg = 0;
    uint32_t iName = 0;
    uint32_t n1 = 0;
    uint32_t physSize = 0;
    std::vector<SegmentProcedure> procedures;
    std::vector<SourceSection> sourceSections;
    std::vector<VlpEntry> vlpEntries;
    // unset: one offset per VLP entry, in entry order (0, 16, 32, ...)
    std::optional<std::vector<uint32_t>> vlpOffsets;
    // unset: where the area was put, or the number of records
    std::optional<uint32_t> offProcDef, nProcedures, offLVarDef, offRegDef, offVLPDef, nVLP,
        offVLPOffsets, offSourceSDef, nSourceSec, offSCLineDef;
};

struct SourceFile {
    uint32_t iName = 0;
    uint32_t offSource = 0;
    uint32_t sourceLength = 0;
    uint32_t n1 = 0;
    uint32_t n2 = 0;
};

struct SymbolData {
    std::string signature = "SYMD";
    std::optional<uint32_t> sectionLength;    // unset: the section's size
    std::optional<uint32_t> offSData_header;  // unset: the image offset of the header
    std::array<uint32_t, 8> n{};              // N1..N8
    // 32, or 28 for a database whose NM32 verMinor is 1 (records without the final N1).
    uint32_t procedureSize = 32;
    std::vector<Segment> segments;
    std::vector<SourceFile> sourceFiles;
    std::optional<uint32_t> subSectionLength;  // unset: up to the first source file
    std::optional<uint32_t> nSourceFiles;      // unset: sourceFiles.size()
    std::optional<uint32_t> nSegments;         // unset: segments.size()
    uint32_t gapBeforeSegmentData = 0;
    uint32_t gapBeforeSourceFiles = 0;
};

SectionEmitter symbolData(SymbolData section);

}  // namespace nmsbuild

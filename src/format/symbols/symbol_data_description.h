// The symbol data section's structures: its header, the header of its segment data, the
// record of a segment (54 bytes, beginning with a USHORT, so its ULONGs are unaligned), the
// structures inside a segment, and the record of a source file.
#pragma once

#include "format/description.h"

namespace symdeck::symd {

// offSData_header counts from the image's first byte, not from the section.
inline constexpr auto kHeader = described("SYMD_HEADER", "SYMD", 44, [] {
    return "SYMD=signature sectionLength=size offSData_header=offset N1..N8";
});

inline constexpr auto kSegmentDataHeader = described("SEGMENTDATA_HEADER", "", 12, [] {
    return "subSectionLength=size nSourceFiles=count nSegments=count";
});

// A segment's offsets count from its record.
inline constexpr auto kSegment = described("SEGMENTDATA", "", 54, [] {
    return "nSeg=number/USHORT iName=nameIndex N1 physSize=size offProcDef=offset "
           "nProcedures=count offLVarDef=offset offRegDef=offset offVLPDef=offset nVLP=count "
           "offVLPOffsets=offset offSourceSDef=offset nSourceSec=count offSCLineDef=offset";
});

// The structures inside a segment. A procedure is 32 bytes, but 28 in format minor
// version 1, which lacks the trailing N1 (procedureSize).
inline constexpr auto kProcedure = described("SEGDATA_PROCEDURE", "", 32, [] {
    return "offStartProc=offset offEndProc=offset offLocVariables=offset nLocalVariables=count "
           "offRegVariables=offset sizeRegVariables=size M1 N1";
});

// The entry of a local variable and of a segment's VLP table, and of a register variable:
// both begin with size, tableType, type and iName.
inline constexpr auto kVlpEntry = described("SEGDATA_VLPTABLE", "", 16, [] {
    return "size=size/USHORT tableType=enum/USHORT type=typeIndex iName=nameIndex offVLP=offset";
});

inline constexpr auto kRegisterEntry = described("SEGDATA_REGISTER", "", 18, [] {
    return "size=size/USHORT tableType=enum/USHORT type=typeIndex iName=nameIndex "
           "parameterOffset=offset registerNumber=enum/USHORT";
});

// A source section's offsets are places in the code, not in the file, but for offInSFDef.
inline constexpr auto kSourceSection = described("SEGDATA_SOURCESECTION", "", 20, [] {
    return "offStart=offset offEnd=offset offSourceLines=offset nLineTables=count offInSFDef=offset";
});

// A row of a segment's line table, an element of its list of rows.
inline constexpr auto kLineRow = described("SEGDATA_SOURCELINES", "", 8, [] {
    return "offInCode=offset lineNumber";
});

inline constexpr auto kSourceFile = described("SEGDATA_SOURCEFILE", "", 20, [] {
    return "iName=nameIndex offSource=offset sourceLength=size N1..N2";
});

}  // namespace symdeck::symd

// The frame of the symbol data section: its header, the header of its segment data, the
// record of a segment (54 bytes, beginning with a USHORT, so its ULONGs are unaligned) and
// the record of a source file.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace symd {
// offSData_header counts from the image's first byte, not from the section.
inline constexpr std::string_view kHeaderFields =
    "SYMD=signature sectionLength=size offSData_header=offset N1..N8";
inline constexpr StructureDescription kHeader{"SYMD_HEADER", "SYMD", 44,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));
}  // namespace symd

namespace segmentdata_header {
inline constexpr std::string_view kHeaderFields =
    "subSectionLength=size nSourceFiles=count nSegments=count";
inline constexpr StructureDescription kHeader{"SEGMENTDATA_HEADER", "", 12,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSound(kHeader));
}  // namespace segmentdata_header

namespace segment {
// Its offsets count from the segment's record.
inline constexpr std::string_view kRecordFields =
    "nSeg=number/USHORT iName=nameIndex N1 physSize=size offProcDef=offset nProcedures=count "
    "offLVarDef=offset offRegDef=offset offVLPDef=offset nVLP=count offVLPOffsets=offset "
    "offSourceSDef=offset nSourceSec=count offSCLineDef=offset";
inline constexpr StructureDescription kRecord{"SEGMENTDATA", "", 54,
                                              laidOut<fieldCount(kRecordFields)>(kRecordFields)};
static_assert(isSound(kRecord));
}  // namespace segment

namespace source_file {
inline constexpr std::string_view kRecordFields =
    "iName=nameIndex offSource=offset sourceLength=size N1..N2";
inline constexpr StructureDescription kRecord{"SEGDATA_SOURCEFILE", "", 20,
                                              laidOut<fieldCount(kRecordFields)>(kRecordFields)};
static_assert(isSound(kRecord));
}  // namespace source_file

}  // namespace symdeck

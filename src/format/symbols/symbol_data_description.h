// The frame of the symbol data section: its header, the header of its segment data, the
// record of a segment (54 bytes, beginning with a USHORT, so its ULONGs are unaligned) and
// the record of a source file.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace symd {
inline constexpr StructureDescription kHeader{
    "SYMD_HEADER", "SYMD", 44,
    std::array{
        ulongField("SYMD", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        // Counts from the image's first byte, not from the section.
        ulongField("offSData_header", 8, Role::Offset),
        ulongField("N1", 12, Role::Number),
        ulongField("N2", 16, Role::Number),
        ulongField("N3", 20, Role::Number),
        ulongField("N4", 24, Role::Number),
        ulongField("N5", 28, Role::Number),
        ulongField("N6", 32, Role::Number),
        ulongField("N7", 36, Role::Number),
        ulongField("N8", 40, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));
}  // namespace symd

namespace segmentdata_header {
inline constexpr StructureDescription kHeader{
    "SEGMENTDATA_HEADER", "", 12,
    std::array{
        ulongField("subSectionLength", 0, Role::Size),
        ulongField("nSourceFiles", 4, Role::Count),
        ulongField("nSegments", 8, Role::Count),
    }};
static_assert(isSound(kHeader));
}  // namespace segmentdata_header

namespace segment {
inline constexpr StructureDescription kRecord{
    "SEGMENTDATA", "", 54,
    std::array{
        FieldDescription{"nSeg", "USHORT", 0, 2, Role::Number},
        ulongField("iName", 2, Role::NameIndex),
        ulongField("N1", 6, Role::Number),
        ulongField("physSize", 10, Role::Size),
        // The offsets count from the segment's record.
        ulongField("offProcDef", 14, Role::Offset),
        ulongField("nProcedures", 18, Role::Count),
        ulongField("offLVarDef", 22, Role::Offset),
        ulongField("offRegDef", 26, Role::Offset),
        ulongField("offVLPDef", 30, Role::Offset),
        ulongField("nVLP", 34, Role::Count),
        ulongField("offVLPOffsets", 38, Role::Offset),
        ulongField("offSourceSDef", 42, Role::Offset),
        ulongField("nSourceSec", 46, Role::Count),
        ulongField("offSCLineDef", 50, Role::Offset),
    }};
static_assert(isSound(kRecord));
}  // namespace segment

namespace source_file {
inline constexpr StructureDescription kRecord{
    "SEGDATA_SOURCEFILE", "", 20,
    std::array{
        ulongField("iName", 0, Role::NameIndex),
        ulongField("offSource", 4, Role::Offset),
        ulongField("sourceLength", 8, Role::Size),
        ulongField("N1", 12, Role::Number),
        ulongField("N2", 16, Role::Number),
    }};
static_assert(isSound(kRecord));
}  // namespace source_file

}  // namespace symdeck

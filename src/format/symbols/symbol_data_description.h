// The frame of the symbol data section: its header, the header of its segment data, the
// record of a segment (54 bytes, beginning with a USHORT, so its ULONGs are unaligned) and
// the record of a source file.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace symd {
// offSData_header counts from the image's first byte, not from the section.
inline constexpr auto kHeader = described("SYMD_HEADER", "SYMD", 44, [] {
    return "SYMD=signature sectionLength=size offSData_header=offset N1..N8";
});
}  // namespace symd

namespace segmentdata_header {
inline constexpr auto kHeader = described("SEGMENTDATA_HEADER", "", 12, [] {
    return "subSectionLength=size nSourceFiles=count nSegments=count";
});
}  // namespace segmentdata_header

namespace segment {
// Its offsets count from the segment's record.
inline constexpr auto kRecord = described("SEGMENTDATA", "", 54, [] {
    return "nSeg=number/USHORT iName=nameIndex N1 physSize=size offProcDef=offset "
           "nProcedures=count offLVarDef=offset offRegDef=offset offVLPDef=offset nVLP=count "
           "offVLPOffsets=offset offSourceSDef=offset nSourceSec=count offSCLineDef=offset";
});
}  // namespace segment

namespace source_file {
inline constexpr auto kRecord = described("SEGDATA_SOURCEFILE", "", 20, [] {
    return "iName=nameIndex offSource=offset sourceLength=size N1..N2";
});
}  // namespace source_file

}  // namespace symdeck

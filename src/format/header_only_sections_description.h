// The three sections reported by their fixed header alone: the global types' offsets, the
// source files' offset, and a header of ten unnamed words.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace gtyp {
inline constexpr StructureDescription kHeader{
    "GTYP_HEADER", "GTYP", 32,
    laidOut<"GTYP=signature sectionLength=size offNMTP=offset offSTTB=offset offTYTB=offset "
    "offHSHT=offset N1..N2">()};
static_assert(isSectionHeader(kHeader));
}  // namespace gtyp

namespace srcp {
inline constexpr StructureDescription kHeader{
    "SRCP_HEADER", "SRCP", 20,
    laidOut<"SRCP=signature sectionLength=size offSourceFiles=offset N1..N2">()};
static_assert(isSectionHeader(kHeader));
}  // namespace srcp

namespace fpod {
inline constexpr StructureDescription kHeader{
    "FPOD_HEADER", "FPOD", 48,
    laidOut<"FPOD=signature sectionLength=size N1..N10">()};
static_assert(isSectionHeader(kHeader));
}  // namespace fpod

}  // namespace symdeck

// The three sections reported by their fixed header alone: the global types' offsets, the
// source files' offset, and a header of ten unnamed words.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace gtyp {
inline constexpr std::string_view kHeaderFields =
    "GTYP=signature sectionLength=size offNMTP=offset offSTTB=offset offTYTB=offset "
    "offHSHT=offset N1..N2";
inline constexpr StructureDescription kHeader{"GTYP_HEADER", "GTYP", 32,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));
}  // namespace gtyp

namespace srcp {
inline constexpr std::string_view kHeaderFields =
    "SRCP=signature sectionLength=size offSourceFiles=offset N1..N2";
inline constexpr StructureDescription kHeader{"SRCP_HEADER", "SRCP", 20,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));
}  // namespace srcp

namespace fpod {
inline constexpr std::string_view kHeaderFields = "FPOD=signature sectionLength=size N1..N10";
inline constexpr StructureDescription kHeader{"FPOD_HEADER", "FPOD", 48,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));
}  // namespace fpod

}  // namespace symdeck

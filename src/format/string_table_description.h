// STTB: the string table's header; the offsets of its names follow it.
#pragma once

#include "format/description.h"

namespace symdeck::sttb {

inline constexpr std::string_view kHeaderFields =
    "STTB=signature sectionLength=size nNames=count N1..N2";
inline constexpr StructureDescription kHeader{"STTB_HEADER", "STTB", 20,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));

}  // namespace symdeck::sttb

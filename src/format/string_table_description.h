// STTB: the string table's header; the offsets of its names follow it.
#pragma once

#include "format/description.h"

namespace symdeck::sttb {

inline constexpr StructureDescription kHeader{
    "STTB_HEADER", "STTB", 20,
    laidOut<"STTB=signature sectionLength=size nNames=count N1..N2">()};
static_assert(isSectionHeader(kHeader));

}  // namespace symdeck::sttb

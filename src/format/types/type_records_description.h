// The type records section's header; the table of record offsets follows it.
#pragma once

#include "format/description.h"

namespace symdeck::nmtp {

inline constexpr StructureDescription kHeader{
    "NMTP_HEADER", "NMTP", 20,
    laidOut<"NMTP=signature sectionLength=size nTypes=count N1..N2">()};
static_assert(isSectionHeader(kHeader));

}  // namespace symdeck::nmtp

// The type records section's header; the table of record offsets follows it.
#pragma once

#include "format/description.h"

namespace symdeck::nmtp {

inline constexpr std::string_view kHeaderFields =
    "NMTP=signature sectionLength=size nTypes=count N1..N2";
inline constexpr StructureDescription kHeader{"NMTP_HEADER", "NMTP", 20,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));

}  // namespace symdeck::nmtp

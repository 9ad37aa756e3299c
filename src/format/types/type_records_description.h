// The type records section's header; the table of record offsets follows it.
#pragma once

#include "format/description.h"

namespace symdeck::nmtp {

inline constexpr StructureDescription kHeader{
    "NMTP_HEADER", "NMTP", 20,
    std::array{
        ulongField("NMTP", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        ulongField("nTypes", 8, Role::Count),
        ulongField("N1", 12, Role::Number),
        ulongField("N2", 16, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));

}  // namespace symdeck::nmtp

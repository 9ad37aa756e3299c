// STTB: the string table's header; the offsets of its names follow it.
#pragma once

#include "format/description.h"

namespace symdeck::sttb {

inline constexpr StructureDescription kHeader{
    "STTB_HEADER", "STTB", 20,
    std::array{
        ulongField("STTB", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        ulongField("nNames", 8, Role::Count),
        ulongField("N1", 12, Role::Number),
        ulongField("N2", 16, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));

}  // namespace symdeck::sttb

// The type tables section's header, and one of its entries: a type index and its name.
#pragma once

#include "format/description.h"

namespace symdeck::tytb {

inline constexpr StructureDescription kHeader{
    "TYTB_HEADER", "TYTB", 24,
    std::array{
        ulongField("TYTB", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        // Steers the walk; the entries it counts are the report's.
        ulongField("nTypeTables", 8, Role::Count, true),
        ulongField("offTypeTables", 12, Role::Offset),
        ulongField("N1", 16, Role::Number),
        ulongField("N2", 20, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));

inline constexpr StructureDescription kEntry{
    "TYPETABLE", "", 8,
    std::array{
        ulongField("type", 0, Role::TypeIndex),
        ulongField("iName", 4, Role::NameIndex),
    }};
static_assert(isSound(kEntry));

}  // namespace symdeck::tytb

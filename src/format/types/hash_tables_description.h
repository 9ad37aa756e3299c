// The hash table section's header, and one entry of its table of types.
#pragma once

#include "format/description.h"

namespace symdeck::hsht {

inline constexpr StructureDescription kHeader{
    "HSHT_HEADER", "HSHT", 32,
    std::array{
        ulongField("HSHT", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        ulongField("sizeTableOffsets", 8, Role::Count),
        ulongField("nTypes", 12, Role::Count),
        ulongField("offTableOffsets", 16, Role::Offset),
        ulongField("offTypeTables", 20, Role::Offset),
        ulongField("N1", 24, Role::Number),
        ulongField("N2", 28, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));

inline constexpr StructureDescription kEntry{
    "HSHT_TYPETABLE", "", 20,
    std::array{
        ulongField("offPreviousTable", 0, Role::Offset),
        ulongField("hashNumber", 4, Role::Number),
        ulongField("iName", 8, Role::NameIndex),
        ulongField("type", 12, Role::TypeIndex),
        ulongField("N1", 16, Role::Number),
    }};
static_assert(isSound(kEntry));

}  // namespace symdeck::hsht

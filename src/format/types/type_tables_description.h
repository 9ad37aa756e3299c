// The type tables section's header, and one of its entries: a type index and its name.
#pragma once

#include "format/description.h"

namespace symdeck::tytb {

// nTypeTables steers the walk and is shown in no form: the entries it counts are the report's.
inline constexpr StructureDescription kHeader{
    "TYTB_HEADER", "TYTB", 24,
    laidOut<"TYTB=signature sectionLength=size nTypeTables=count! offTypeTables=offset "
    "N1..N2">()};
static_assert(isSectionHeader(kHeader));

inline constexpr StructureDescription kEntry{
    "TYPETABLE", "", 8,
    laidOut<"type=typeIndex iName=nameIndex">()};
static_assert(isSound(kEntry));

}  // namespace symdeck::tytb

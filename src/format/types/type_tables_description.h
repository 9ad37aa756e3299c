// The type tables section's header, and one of its entries: a type index and its name.
#pragma once

#include "format/description.h"

namespace symdeck::tytb {

// nTypeTables steers the walk; the entries it counts are the report's.
inline constexpr std::string_view kHeaderFields =
    "TYTB=signature sectionLength=size nTypeTables=count! offTypeTables=offset N1..N2";
inline constexpr StructureDescription kHeader{"TYTB_HEADER", "TYTB", 24,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));

inline constexpr std::string_view kEntryFields = "type=typeIndex iName=nameIndex";
inline constexpr StructureDescription kEntry{"TYPETABLE", "", 8,
                                             laidOut<fieldCount(kEntryFields)>(kEntryFields)};
static_assert(isSound(kEntry));

}  // namespace symdeck::tytb

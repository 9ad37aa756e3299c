// The hash table section's header, and one entry of its table of types.
#pragma once

#include "format/description.h"

namespace symdeck::hsht {

inline constexpr std::string_view kHeaderFields =
    "HSHT=signature sectionLength=size sizeTableOffsets=count nTypes=count "
    "offTableOffsets=offset offTypeTables=offset N1..N2";
inline constexpr StructureDescription kHeader{"HSHT_HEADER", "HSHT", 32,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSectionHeader(kHeader));

inline constexpr std::string_view kEntryFields =
    "offPreviousTable=offset hashNumber iName=nameIndex type=typeIndex N1";
inline constexpr StructureDescription kEntry{"HSHT_TYPETABLE", "", 20,
                                             laidOut<fieldCount(kEntryFields)>(kEntryFields)};
static_assert(isSound(kEntry));

}  // namespace symdeck::hsht

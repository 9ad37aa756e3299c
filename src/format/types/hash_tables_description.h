// The hash table section's header, and one entry of its table of types.
#pragma once

#include "format/description.h"

namespace symdeck::hsht {

inline constexpr auto kHeader = described("HSHT_HEADER", "HSHT", 32, [] {
    return "HSHT=signature sectionLength=size sizeTableOffsets=count nTypes=count "
           "offTableOffsets=offset offTypeTables=offset N1..N2";
});

inline constexpr auto kEntry = described("HSHT_TYPETABLE", "", 20, [] {
    return "offPreviousTable=offset hashNumber iName=nameIndex type=typeIndex N1";
});

}  // namespace symdeck::hsht

// The type tables section's header, and one of its entries: a type index and its name.
#pragma once

#include "format/description.h"

namespace symdeck::tytb {

// nTypeTables steers the walk; the entries it counts are the report's.
inline constexpr auto kHeader = described("TYTB_HEADER", "TYTB", 24, [] {
    return "TYTB=signature sectionLength=size nTypeTables=count! offTypeTables=offset N1..N2";
});

inline constexpr auto kEntry = described("TYPETABLE", "", 8, [] {
    return "type=typeIndex iName=nameIndex";
});

}  // namespace symdeck::tytb

// STTB: the string table's header; the offsets of its names follow it.
#pragma once

#include "format/description.h"

namespace symdeck::sttb {

inline constexpr auto kHeader = described("STTB_HEADER", "STTB", 20, [] {
    return "STTB=signature sectionLength=size nNames=count N1..N2";
});

}  // namespace symdeck::sttb

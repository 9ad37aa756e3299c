// The three sections reported by their fixed header alone: the global types' offsets, the
// source files' offset, and a header of ten unnamed words.
#pragma once

#include "format/description.h"

namespace symdeck {

inline constexpr auto kGtypHeader = described("GTYP_HEADER", "GTYP", 32, [] {
    return "GTYP=signature sectionLength=size offNMTP=offset offSTTB=offset offTYTB=offset "
           "offHSHT=offset N1..N2";
});

inline constexpr auto kSrcpHeader = described("SRCP_HEADER", "SRCP", 20, [] {
    return "SRCP=signature sectionLength=size offSourceFiles=offset N1..N2";
});

inline constexpr auto kFpodHeader = described("FPOD_HEADER", "FPOD", 48, [] {
    return "FPOD=signature sectionLength=size N1..N10";
});

}  // namespace symdeck

// The three sections reported by their fixed header alone: the global types' offsets, the
// source files' offset, and a header of ten unnamed words.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace gtyp {
inline constexpr auto kHeader = described("GTYP_HEADER", "GTYP", 32, [] {
    return "GTYP=signature sectionLength=size offNMTP=offset offSTTB=offset offTYTB=offset "
           "offHSHT=offset N1..N2";
});
}  // namespace gtyp

namespace srcp {
inline constexpr auto kHeader = described("SRCP_HEADER", "SRCP", 20, [] {
    return "SRCP=signature sectionLength=size offSourceFiles=offset N1..N2";
});
}  // namespace srcp

namespace fpod {
inline constexpr auto kHeader = described("FPOD_HEADER", "FPOD", 48, [] {
    return "FPOD=signature sectionLength=size N1..N10";
});
}  // namespace fpod

}  // namespace symdeck

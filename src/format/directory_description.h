// NMDR: the section directory's header, and NMDE, one entry of the directory.
#pragma once

#include "format/description.h"

namespace symdeck::nmdr {

inline constexpr auto kHeader = described("NMDR_HEADER", "NMDR", 56, [] {
    return "NMDR=signature nNMDE=count offGTYP=offset offSTTB=offset offSYMD=offset offSRCP=offset "
           "offFPOD=offset N1..N7";
});

inline constexpr auto kEntry = described("NMDE_S", "NMDE", 36, [] {
    return "NMDE=signature entryIndex=enum offEntry=offset entryLength=size N1..N5";
});

}  // namespace symdeck::nmdr

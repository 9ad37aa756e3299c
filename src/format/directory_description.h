// NMDR: the section directory's header, and NMDE, one entry of the directory.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace nmdr {
inline constexpr std::string_view kHeaderFields =
    "NMDR=signature nNMDE=count offGTYP=offset offSTTB=offset offSYMD=offset offSRCP=offset "
    "offFPOD=offset N1..N7";
inline constexpr StructureDescription kHeader{"NMDR_HEADER", "NMDR", 56,
                                              laidOut<fieldCount(kHeaderFields)>(kHeaderFields)};
static_assert(isSound(kHeader));
}  // namespace nmdr

namespace nmde {
inline constexpr std::string_view kEntryFields =
    "NMDE=signature entryIndex=enum offEntry=offset entryLength=size N1..N5";
inline constexpr StructureDescription kEntry{"NMDE_S", "NMDE", 36,
                                             laidOut<fieldCount(kEntryFields)>(kEntryFields)};
static_assert(isSound(kEntry));
}  // namespace nmde

}  // namespace symdeck

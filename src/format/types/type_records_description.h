// The type records section's header; the table of record offsets follows it.
#pragma once

#include "format/description.h"

namespace symdeck::nmtp {

inline constexpr auto kHeader = described("NMTP_HEADER", "NMTP", 20, [] {
    return "NMTP=signature sectionLength=size nTypes=count N1..N2";
});

}  // namespace symdeck::nmtp

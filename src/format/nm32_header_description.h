// NM32: the file header at the image's first byte.
#pragma once

#include "format/description.h"

namespace symdeck::nm32 {

// The two texts at its end are each read up to their first NUL.
inline constexpr auto kHeader = described("NM32_HEADER", "NM32", 580, [] {
    return "NM32=signature verMajor verMinor offNMDR=offset creationTime creationNumber "
           "fileType=enum fileLength=size N1..N8 filePath=text/CHAR[0x104] "
           "copyrightString=text/CHAR[0x100]";
});

}  // namespace symdeck::nm32

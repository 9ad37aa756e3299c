// The sample database that ships with the project (built by make_sample) and seeds the
// fuzzer: every section kind, with a few records of each kind.
#pragma once

#include <cstdint>
#include <vector>

#include "nmsbuild/nmsbuild.h"

namespace nmsbuild {

// `verMinor` is the header's format minor version; 1 selects the 28-byte procedure
// records of the SYMD section.
Database sampleDescription(uint32_t verMinor = 2);
std::vector<uint8_t> sampleDatabase();

}  // namespace nmsbuild

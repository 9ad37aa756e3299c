// The sample database that ships with the project (built by make_sample) and seeds the
// fuzzer: every section kind, with a few records of each kind.
#pragma once

#include <cstdint>
#include <vector>

#include "nmsbuild/nmsbuild.h"

namespace nmsbuild {

Database sampleDescription();
std::vector<uint8_t> sampleDatabase();

}  // namespace nmsbuild

// Seed inputs for the fuzzer: small sound databases that reach every kind of structure.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nmsbuild {

// Named databases: the sample, each section kind alone, and variants of the records.
std::vector<std::pair<std::string, std::vector<uint8_t>>> corpusDatabases();

}  // namespace nmsbuild

// Shared helpers for the tests: render a database built in memory, and cut a report into
// the pieces a test compares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "nmsbuild/nmsbuild.h"

namespace symdeck::test {

inline const std::string kSep =
    "-------------------------------------------------------------------------------\n";
inline const std::string kBanner =
    kSep + "--  NMS symbol database to text converter 1.0 (by Zobrik) ---------------------\n" +
    kSep;

// The whole report of `bytes`.
std::string report(const std::vector<uint8_t>& bytes, const SectionSelection& selection = {});

// What follows the directory block in a report: the sections' text. Empty when the report
// has no complete directory block.
std::string afterDirectory(const std::string& report);

// The last line of `text` (without its line feed).
std::string lastLine(const std::string& text);

// "%X" of `value`, for expected texts that name computed offsets.
std::string hex(uint64_t value);

}  // namespace symdeck::test

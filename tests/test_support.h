// Shared helpers for the tests: render a database built in memory, and cut a report into
// the pieces a test compares.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/selection.h"
#include "forms/recorder.h"
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

// The events of the walk over `bytes`, one line each, as the roles and targets tests write
// them: what each field is, holds and leads to; where blocks, lists and runs lie and what
// counts them, lists, runs and counts named by their subject's key. `word`: only the events
// of the first section block titled so.
std::string eventLines(const std::vector<uint8_t>& bytes, const SectionSelection& selection = {},
                       std::string_view word = {});
std::string eventLines(const std::vector<WalkEvent>& events);

// A small database whose whole document the form tests spell out: a file path with a
// backslash and a quote, a copyright of a control byte and a byte of no valid UTF-8, one
// type table entry, and a directory entry of a kind the program does not know.
std::vector<uint8_t> smallAwkwardDatabase();

// "%X" of `value`, for expected texts that name computed offsets.
std::string hex(uint64_t value);

}  // namespace symdeck::test

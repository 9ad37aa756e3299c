// Properties of the JSON form, checked against the text form of the same walk: used by
// checkReport() for every input of the damage sweeps and the fuzzer, and by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace symdeck::checks {

// Checks that `json` is one valid JSON document of the report's shape, with its keys in
// order; that every field lies inside the database of `size` bytes; that its blocks, in
// pre-order, are the block titles of `text` in order; and that its end is the end of
// `text` (complete, or the same error line). Returns an empty string when all hold, else
// what failed.
std::string checkJsonAgainstText(const std::string& json, const std::string& text,
                                 uint64_t size);

// The text-form title of each block of `json`, in pre-order, without its indentation
// ("TYPETABLE (offset: 0x2C0)"; "UNKNOWN SubSection (value 9)"). Throws when `json` does
// not parse.
std::vector<std::string> blockTitles(const std::string& json);

}  // namespace symdeck::checks

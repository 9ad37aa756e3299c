// Properties of the JSON form, checked against the text form of the same walk: used by
// checkReport() for every input of the damage sweeps and the fuzzer, and by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checks/walk_checks.h"

namespace symdeck::checks {

// Checks that `json` is one valid JSON document of the report's shape, with its keys in
// order; that every field lies inside the database of `size` bytes; that its blocks, in
// pre-order, are the block titles of `text` in order; and that its end is the end of
// `text` (complete, or the same error line). Returns an empty string when all hold, else
// what failed.
std::string checkJsonAgainstText(const std::string& json, const std::string& text,
                                 uint64_t size);

// Checks what the version 2 document `json` says against itself and against `lines`, the
// --json-lines form of the same walk:
// - each block's `values` holds exactly its own fields' names and values, in their order;
// - every target of a field that leads to a block, or to a run or list that is not empty,
//   is the offset of a block or list element of the document (unless the walk stopped);
// - when the walk is complete, every count of a run or list equals the blocks of that word
//   nested in the count's block, or the elements of its list of that name;
// - every `bytes` decodes, with one U+FFFD per maximal invalid subsequence, to its text;
// - the lines, read in order, give the same blocks (with the path of their enclosing
//   blocks), fields, values and result; where the size limit cut either form, one form's
//   blocks are a prefix of the other's.
// Adds what it checked to `tally`. Returns an empty string when all hold, else what failed.
std::string checkJsonProperties(const std::string& json, const std::string& lines, WalkTally& tally);

// `bytes` decoded as UTF-8, each maximal invalid subsequence replaced by U+FFFD.
std::string replaceInvalidUtf8(std::string_view bytes);

// The text-form title of each block of `json`, in pre-order, without its indentation
// ("TYPETABLE (offset: 0x2C0)"; "UNKNOWN SubSection (value 9)"). Throws when `json` does
// not parse.
std::vector<std::string> blockTitles(const std::string& json);

}  // namespace symdeck::checks

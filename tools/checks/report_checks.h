// Properties that every report must have, whatever the input: used by the damage sweeps in
// the tests and by the fuzz target.
#pragma once

#include <cstdint>
#include <string>

#include "checks/walk_checks.h"
#include "format/selection.h"

namespace symdeck::checks {

// Renders `size` bytes at `data` twice with `selection` and checks the report:
// - it begins with the banner;
// - it is no longer than the size limit plus the input's size plus 4 KiB (after the last
//   check point at most one block, holding at most one name, can follow);
// - it ends with a section's closing separator, with an unknown-kind text, or with a last
//   line that begins "ERROR in";
// - both renderings are the same bytes;
// - its JSON form has the properties checkJsonAgainstText() checks, and stays within the
//   limit plus what one name can add; with its lines form, those of checkJsonProperties();
// - the events of the same walk have the properties checkWalk() checks (what it checked is
//   added to `tally` when one is given).
// Returns an empty string when all hold, else what failed.
std::string checkReport(const uint8_t* data, uint64_t size, const SectionSelection& selection,
                        WalkTally* tally = nullptr);

// The selection encoded in the eight bits of `bits` (bit 0 NMTP ... bit 7 GTYP).
SectionSelection selectionFromBits(uint8_t bits);

}  // namespace symdeck::checks

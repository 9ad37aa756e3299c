// Properties of the map of a database (forms/database_map.h), checked against the whole
// walk: used by checkReport() for the damage sweeps and the fuzzer, and by the tests.
#pragma once

#include <cstdint>
#include <string>

#include "checks/walk_checks.h"
#include "format/reader.h"
#include "format/selection.h"
#include "forms/database_map.h"

namespace symdeck::checks {

// Checks, for `image` walked with `selection`:
// - the map's units are the whole walk's units (the blocks that follow each place where the
//   walk offers a unit), in order, each with the walk's title, parent, depth, completeness
//   and field count; each unit's own fields and the names they read lie in its spans; its
//   text range lies in the text report and holds its title's word;
// - the map made with the text's bound has the same units and spans, and a bound at least
//   the text's at each unit;
// - units walked alone: with every unit passed over but `pick` (by walk order, modulo the
//   unit count) and the units that hold it, the walk gives exactly the whole walk's events
//   less those of the units passed over, and ends the same way.
// Counts the units checked (`units`) and walked alone (`unitsAlone`) in `tally`. Returns an
// empty string when all hold, else what failed.
std::string checkMap(const NmsImage& image, const SectionSelection& selection, uint64_t pick,
                     const std::string& text, WalkTally& tally);

// Where two maps differ in any member of any unit, or in the whole walk's figures; empty
// when they are the same.
std::string sameMap(const DatabaseMap& a, const DatabaseMap& b);

}  // namespace symdeck::checks

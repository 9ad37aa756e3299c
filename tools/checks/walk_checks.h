// Properties of what the walk says, whatever the input: the targets of its fields and what
// its counts count. Used by checkReport() for the damage sweeps and the fuzzer, and by the
// tests. Each property counts what it checked, so that a caller can tell that it did check
// something.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/selection.h"
#include "forms/recorder.h"

namespace symdeck::checks {

struct WalkTally {
    uint64_t targets = 0;       // targets checked to lie in the file or be flagged
    uint64_t followed = 0;      // followed offsets checked to lead to a reported block or element
    uint64_t typeRecords = 0;   // type indices checked to name a reported NMTP record
    uint64_t counts = 0;        // counts checked against the blocks or elements reported
    uint64_t runs = 0;          // runs and lists checked to hold the number they announced
    uint64_t explained = 0;     // fields of explain's answers checked against the byte asked
    // The JSON forms (checkJsonProperties):
    uint64_t values = 0;        // blocks whose values were checked against their fields
    uint64_t jsonTargets = 0;   // targets found at a block or list element of the document
    uint64_t jsonCounts = 0;    // counts checked against the blocks or elements of the document
    uint64_t invalidTexts = 0;  // texts with bytes, checked to decode to their text
    uint64_t lines = 0;         // lines of --json-lines checked against the document
    // The map (checkMap):
    uint64_t units = 0;         // units of the map checked against the walk
    uint64_t unitsAlone = 0;    // units walked alone and checked against the whole walk
    uint64_t windows = 0;       // windows of the view form walked on the map, checked byte for byte
    // Fields whose signedness was checked against the text's spelling of them (checkWalk).
    uint64_t signs = 0;
    // Of the map's units, groups of a long list or run (checkMap).
    uint64_t groups = 0;
    // Units of maps made by two walks sharing the units out, checked against one walk's map.
    uint64_t shared = 0;
    // Blocks whose own fields were checked to end with the one marked last (checkWalk).
    uint64_t lastFields = 0;

    WalkTally& operator+=(const WalkTally& other);
};

// Checks the events of one walk over a file of `size` bytes with `selection`:
// - every field is read signed exactly when the text spells it as a signed number;
// - a block's own fields end with the one marked last, and no list's row is marked;
// - every target lies inside the file or is flagged as not there;
// - when the walk is complete, every followed offset that leads to a block, or to a run or
//   list that is not empty, targets the offset of a block or list element that the walk
//   reports (an empty run or list reported at the target also answers it); when the walk
//   stopped, a target it reports or where it stopped is checked, others are not;
// - when the walk is complete and reports the NMTP sections, every type index that names a
//   record targets a type record's block that the walk reports;
// - when the walk is complete, every count of a run or list equals the number of blocks or
//   elements reported for it and names it by its subject's key, and every run and list
//   holds the number it announced.
// Returns an empty string when all hold, else what failed; adds what it checked to `tally`.
std::string checkWalk(const std::vector<WalkEvent>& events, uint64_t size,
                      const SectionSelection& selection, WalkTally& tally);

}  // namespace symdeck::checks

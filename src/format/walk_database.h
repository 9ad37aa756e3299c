// The walk of a whole database: the report's start, the NM32 header, the NMDR directory,
// the string table's install, then every directory entry's section in directory order, and
// the end of the walk with its reason. The same walk feeds every form of the report.
//
// Only declared here: each form compiles the walk for its own printer, once, in its own
// source file (src/forms/*_walk.cpp), from walk_database_definition.h.
#pragma once

#include "format/reader.h"
#include "format/selection.h"
#include "format/walk.h"

namespace symdeck {

// Walks `image` through `print` with the size limit for the image's size: begin(), every
// block, then end() with how the walk ended, which is also returned.
template <class P>
WalkEnd walkDatabase(P& print, const NmsImage& image, const SectionSelection& selection);

}  // namespace symdeck

// The walks of an open database compiled for its printers: the one place where every
// decoder is built for them.
#include "entry/handle_printers.h"
#include "format/walk_database_definition.h"
#include "forms/database_map.h"

namespace symdeck {

static_assert(Printer<BlockRecorder>);
static_assert(Printer<Skipping<RowPrinter>>);
template WalkEnd walkDatabase(BlockRecorder&, const NmsImage&, const SectionSelection&);
template WalkEnd walkDatabase(Skipping<RowPrinter>&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

// The walk of a whole database compiled for the map: the one place where every decoder is built
// for MapPrinter, paired with the text's measure.
#include "format/walk_database_definition.h"
#include "forms/database_map.h"
#include "forms/text_measure.h"

namespace symdeck {

static_assert(Printer<Measured<MapPrinter>>);
template WalkEnd walkDatabase(Measured<MapPrinter>&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

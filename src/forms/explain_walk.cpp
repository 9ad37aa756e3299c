// The walk of a whole database compiled for explain: the one place where every decoder is built
// for ExplainPrinter.
#include "format/walk_database_definition.h"
#include "forms/database_map.h"
#include "forms/explain_printer.h"
#include "forms/text_measure.h"

namespace symdeck {

// Explain walks the units of the map that may hold the asked bytes, and passes over the rest.
static_assert(Printer<Measured<Skipping<ExplainPrinter>>>);
template WalkEnd walkDatabase(Measured<Skipping<ExplainPrinter>>&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

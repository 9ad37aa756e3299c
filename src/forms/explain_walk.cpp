// The walk of a whole database compiled for explain: the one place where every decoder is built
// for ExplainPrinter.
#include "format/walk_database_definition.h"
#include "forms/explain_printer.h"
#include "forms/text_measure.h"

namespace symdeck {

static_assert(Printer<Measured<ExplainPrinter>>);
template WalkEnd walkDatabase(Measured<ExplainPrinter>&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

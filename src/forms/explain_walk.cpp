// The walk of a whole database compiled for explain: the one place where every decoder is built
// for ExplainPrinter.
#include "format/walk_database_definition.h"
#include "forms/explain_printer.h"

namespace symdeck {

static_assert(Printer<ExplainPrinter>);
template WalkEnd walkDatabase(ExplainPrinter&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

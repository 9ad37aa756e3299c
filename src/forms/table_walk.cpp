// The walk of a whole database compiled for the table form: the one place where every
// decoder is built for TablePrinter.
#include "format/walk_database_definition.h"
#include "forms/table_printer.h"

namespace symdeck {

static_assert(Printer<TablePrinter>);
template WalkEnd walkDatabase(TablePrinter&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

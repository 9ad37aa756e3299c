// The walk of a whole database compiled for the view form: the one place where every decoder is
// built for ViewPrinter.
#include "format/walk_database_definition.h"
#include "forms/view_printer.h"

namespace symdeck {

static_assert(Printer<ViewPrinter>);
template WalkEnd walkDatabase(ViewPrinter&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

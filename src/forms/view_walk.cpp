// The walk of a whole database compiled for the view form: the one place where every decoder is
// built for ViewPrinter, paired with the text's measure.
#include "format/walk_database_definition.h"
#include "forms/database_map.h"
#include "forms/view_printer.h"

namespace symdeck {

static_assert(Printer<Measured<ViewPrinter>>);
template WalkEnd walkDatabase(Measured<ViewPrinter>&, const NmsImage&, const SectionSelection&);
// ... and passing over the units a plan leaves out.
static_assert(Printer<Measured<Skipping<ViewPrinter>>>);
template WalkEnd walkDatabase(Measured<Skipping<ViewPrinter>>&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

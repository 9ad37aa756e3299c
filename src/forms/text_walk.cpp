// The walk of a whole database compiled for the text report: the one place where every decoder
// is built for TextPrinter.
#include "format/walk_database_definition.h"
#include "forms/text_printer.h"

namespace symdeck {

static_assert(Printer<TextPrinter>);
template WalkEnd walkDatabase(TextPrinter&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

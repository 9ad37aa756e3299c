// The walk of a whole database compiled for the JSON document and JSON lines: the one place
// where every decoder is built for JsonPrinter.
#include "format/walk_database_definition.h"
#include "forms/json_printer.h"

namespace symdeck {

static_assert(Printer<JsonPrinter>);
template WalkEnd walkDatabase(JsonPrinter&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

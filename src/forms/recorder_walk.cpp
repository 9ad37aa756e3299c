// The walk of a whole database compiled for the event recorder (tools and tests): the one place
// where every decoder is built for EventRecorder.
#include "format/walk_database_definition.h"
#include "forms/recorder.h"

namespace symdeck {

static_assert(Printer<EventRecorder>);
template WalkEnd walkDatabase(EventRecorder&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

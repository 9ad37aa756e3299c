// The walk of a whole database compiled for the event recorder (tools and tests): the one place
// where every decoder is built for EventRecorder, paired with the text's measure.
#include "format/walk_database_definition.h"
#include "forms/database_map.h"
#include "forms/recorder.h"
#include "forms/text_measure.h"

namespace symdeck {

static_assert(Printer<Measured<EventRecorder>>);
template WalkEnd walkDatabase(Measured<EventRecorder>&, const NmsImage&, const SectionSelection&);
// The events of chosen units of the map alone (the map's checks).
static_assert(Printer<Measured<Skipping<EventRecorder>>>);
template WalkEnd walkDatabase(Measured<Skipping<EventRecorder>>&, const NmsImage&, const SectionSelection&);

}  // namespace symdeck

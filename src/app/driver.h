// The dump driver: the banner, the NM32 header, the NMDR directory, the string table's
// install, and then every directory entry's section, in directory order.
#pragma once

#include <string>

#include "app/command_line.h"
#include "report/walk.h"

namespace symdeck {

// Walks the whole database into ctx.out. Returns false when the walk ended early on an
// error line (the report is still complete up to and including that line).
bool renderReport(DumpContext& ctx, const SectionSelection& selection);

// Renders the report of `image` through `out`, with the size limit for the image's size.
// Does not flush `out`.
bool renderImage(const NmsImage& image, const SectionSelection& selection, ReportWriter& out);

// The whole report of `image` as one string (tests, the fuzzer, tools).
std::string renderToString(const NmsImage& image, const SectionSelection& selection = {});

}  // namespace symdeck

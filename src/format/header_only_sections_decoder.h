// GTYP, SRCP and FPOD are reported by their fixed header alone; the bytes behind the header
// are never read.
#pragma once

#include "format/file_structures.h"

namespace symdeck {

namespace {

// The section `name`: its title, signature and sectionLength, then `report(fields)` for
// the fields up to `unnamedAt`, then `unnamed` N fields from there, the last closing the
// block.
template <class P, class Report>
bool renderHeaderOnly(Walk<P>& walk, uint64_t offset, std::string_view name,
                      std::string_view header, uint64_t size, uint64_t unnamedAt, int unnamed,
                      Report&& report) {
    return renderSection(walk, offset, header, name, size, TitleSpelling::Section,
                         [&](Cursor<P>&, Fields<P>& f) {
                             report(f);
                             f.unnamed(unnamedAt, unnamed, false, true);
                             return true;
                         });
}

}  // namespace

template <class P>
bool renderGtyp(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, "GTYP", "GTYP_HEADER", gtyp::kSize, gtyp::kN1, 2,
                            [](Fields<P>& f) {
                                // Printed, not followed.
                                f.offset(gtyp::kOffNmtp, "offNMTP");
                                f.offset(gtyp::kOffSttb, "offSTTB");
                                f.offset(gtyp::kOffTytb, "offTYTB");
                                f.offset(gtyp::kOffHsht, "offHSHT");
                            });
}

template <class P>
bool renderSrcp(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, "SRCP", "SRCP_HEADER", srcp::kSize, srcp::kN1, 2,
                            [](Fields<P>& f) { f.offset(srcp::kOffSourceFiles, "offSourceFiles"); });
}

template <class P>
bool renderFpod(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, "FPOD", "FPOD_HEADER", fpod::kSize, fpod::kN1,
                            10, [](Fields<P>&) {});
}

}  // namespace symdeck

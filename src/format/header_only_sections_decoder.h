// The sections reported by their fixed header alone (header_only_sections.structures);
// the bytes behind the header are never read.
#pragma once

#include "format/file_structures.h"

namespace symdeck {

namespace {

// The section described by `header`: its title, signature and sectionLength, then
// `report(fields)` for its named fields, then its unnamed words, the last closing the block.
template <class P, size_t N, class Report>
bool renderHeaderOnly(Walk<P>& walk, uint64_t offset, const StructureDescription<N>& header,
                      std::span<const FieldDescription> unnamed, Report&& report) {
    return renderSection(walk, offset, header, Mark::SectionEnd,
                         [&](Cursor<P>&, Fields<P>& f) {
                             report(f);
                             f.unnamed(unnamed, false, true);
                             return true;
                         });
}

}  // namespace

template <class P>
bool renderGtyp(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, kGtypHeader, unnamedWords(kGtypHeader),
                            [](Fields<P>& f) {
                                // Printed, not followed.
                                f.hex(fieldOf(kGtypHeader, "offNMTP"));
                                f.hex(fieldOf(kGtypHeader, "offSTTB"));
                                f.hex(fieldOf(kGtypHeader, "offTYTB"));
                                f.hex(fieldOf(kGtypHeader, "offHSHT"));
                            });
}

template <class P>
bool renderSrcp(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, kSrcpHeader, unnamedWords(kSrcpHeader),
                            [](Fields<P>& f) { f.hex(fieldOf(kSrcpHeader, "offSourceFiles")); });
}

template <class P>
bool renderFpod(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, kFpodHeader, unnamedWords(kFpodHeader),
                            [](Fields<P>&) {});
}

}  // namespace symdeck

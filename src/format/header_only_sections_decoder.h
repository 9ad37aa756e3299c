// The sections reported by their fixed header alone (header_only_sections_description.h);
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
    return renderSection(walk, offset, header, TitleSpelling::Section,
                         [&](Cursor<P>&, Fields<P>& f) {
                             report(f);
                             f.unnamed(unnamed, false, true);
                             return true;
                         });
}

}  // namespace

template <class P>
bool renderGtyp(Walk<P>& walk, uint64_t sectionOffset) {
    using gtyp::kHeader;
    return renderHeaderOnly(walk, sectionOffset, kHeader, unnamedWords(kHeader), [](Fields<P>& f) {
        // Printed, not followed.
        f.hex(fieldOf(kHeader, "offNMTP"));
        f.hex(fieldOf(kHeader, "offSTTB"));
        f.hex(fieldOf(kHeader, "offTYTB"));
        f.hex(fieldOf(kHeader, "offHSHT"));
    });
}

template <class P>
bool renderSrcp(Walk<P>& walk, uint64_t sectionOffset) {
    using srcp::kHeader;
    return renderHeaderOnly(walk, sectionOffset, kHeader, unnamedWords(kHeader),
                            [](Fields<P>& f) { f.hex(fieldOf(kHeader, "offSourceFiles")); });
}

template <class P>
bool renderFpod(Walk<P>& walk, uint64_t sectionOffset) {
    using fpod::kHeader;
    return renderHeaderOnly(walk, sectionOffset, kHeader, unnamedWords(kHeader), [](Fields<P>&) {});
}

}  // namespace symdeck

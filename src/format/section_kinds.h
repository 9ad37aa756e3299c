// The kinds of section a directory entry can name, in one table: each kind's number in the
// directory, its name (the entryIndex line's word and its +/- flag; the signature of the
// section's header where the header is described), its skip flag and that
// flag's place on the command line, and its renderer. The walk of the database, the
// directory's lines, the command line's flags and help, the checks, the fuzzer and the
// benchmark all read it, so a new kind is its decoder (declared in a header, defined in a
// *_decoder.h that walk_database_definition.h includes) and one row here.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>

#include "format/file_structures.h"
#include "format/selection.h"
#include "format/symbols/symbols.h"
#include "format/types/types.h"

namespace symdeck {

// What the table says of a kind, apart from its renderer.
struct SectionKindInfo {
    uint32_t entryIndex;  // the kind's number in the directory
    std::string_view name;
    bool SectionSelection::*skip;  // the flag that leaves the kind out
    // The place of the kind's flags on the command line and in its help, and the kind's
    // bit in a selection's bits (tools/checks, the fuzzer).
    unsigned flagOrder;
};

// A row: the kind and its renderer, `render(walk, sectionOffset)` for any printer.
template <class Render>
struct SectionKind {
    SectionKindInfo info;
    Render render;
};

template <class Render>
SectionKind(SectionKindInfo, Render) -> SectionKind<Render>;

#define SYMDECK_RENDERER(function) \
    [](auto& walk, uint64_t sectionOffset) { return function(walk, sectionOffset); }

inline constexpr auto kSectionKinds = std::tuple{
    SectionKind{{1, sectionSignature(kGtypHeader), &SectionSelection::skipGtyp, 7},
                SYMDECK_RENDERER(renderGtyp)},
    SectionKind{{2, sectionSignature(sttb::kHeader), &SectionSelection::skipSttb, 1},
                SYMDECK_RENDERER(renderStringTable)},
    SectionKind{{3, sectionSignature(nmtp::kHeader), &SectionSelection::skipNmtp, 0},
                SYMDECK_RENDERER(renderTypeRecords)},
    SectionKind{{4, sectionSignature(tytb::kHeader), &SectionSelection::skipTytb, 3},
                SYMDECK_RENDERER(renderTypeTables)},
    SectionKind{{5, sectionSignature(hsht::kHeader), &SectionSelection::skipHsht, 4},
                SYMDECK_RENDERER(renderHashTables)},
    SectionKind{{6, sectionSignature(symd::kHeader), &SectionSelection::skipSymd, 2},
                SYMDECK_RENDERER(renderSymbolData)},
    SectionKind{{7, sectionSignature(kSrcpHeader), &SectionSelection::skipSrcp, 6},
                SYMDECK_RENDERER(renderSrcp)},
    SectionKind{{8, sectionSignature(kFpodHeader), &SectionSelection::skipFpod, 5},
                SYMDECK_RENDERER(renderFpod)},
};

#undef SYMDECK_RENDERER

// The table without its renderers, in the table's order.
inline constexpr auto kSectionKindInfo = std::apply(
    [](const auto&... kind) { return std::array{kind.info...}; }, kSectionKinds);

// The kinds in the order of their flags.
inline constexpr auto kSectionKindsByFlag = [] {
    auto kinds = kSectionKindInfo;
    for (size_t i = 0; i < kinds.size(); ++i)
        for (size_t j = i + 1; j < kinds.size(); ++j)
            if (kinds[j].flagOrder < kinds[i].flagOrder) std::swap(kinds[i], kinds[j]);
    return kinds;
}();

// Each flag has its own place.
static_assert([] {
    for (size_t i = 0; i < kSectionKindsByFlag.size(); ++i)
        if (kSectionKindsByFlag[i].flagOrder != i) return false;
    return true;
}());

// The kinds whose first section serves every other section: the string table's names and
// the type records that type indices name.
inline constexpr uint32_t kStringTableKind = 2;
inline constexpr uint32_t kTypeRecordsKind = 3;

// The table's entry for `entryIndex`, or nullptr for a kind the walk does not know.
constexpr const SectionKindInfo* sectionKind(uint32_t entryIndex) {
    for (const SectionKindInfo& kind : kSectionKindInfo)
        if (kind.entryIndex == entryIndex) return &kind;
    return nullptr;
}

// Calls `visit(row)` with the row of `entryIndex`; false (and no call) for a kind the walk
// does not know.
template <class Visit>
bool withSectionKind(uint32_t entryIndex, Visit&& visit) {
    return std::apply(
        [&](const auto&... kind) {
            return ((kind.info.entryIndex == entryIndex && (visit(kind), true)) || ...);
        },
        kSectionKinds);
}

}  // namespace symdeck

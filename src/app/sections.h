// The kinds of section a directory entry can name: the one table that the driver, the
// directory's entryIndex lines, the section flags' checks and the benchmark read, so that
// a new kind is added here alone.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/command_line.h"
#include "report/containers.h"
#include "symbols/symbols.h"
#include "types/types.h"

namespace symdeck {

template <class P>
struct SectionKind {
    uint32_t entryIndex;  // the kind's number in the directory
    std::string_view name;
    bool SectionSelection::*skip;  // the flag that leaves the kind out
    // The bit of the kind in a selection's bits (tools/checks, the fuzzer): the order of
    // the flags on the command line.
    unsigned selectionBit;
    bool (*render)(Walk<P>&, uint64_t sectionOffset);
};

// By entryIndex - 1.
template <class P>
inline constexpr SectionKind<P> kSectionKinds[] = {
    {1, "GTYP", &SectionSelection::skipGtyp, 7, &renderGtyp<P>},
    {2, "STTB", &SectionSelection::skipSttb, 1, &renderStringTable<P>},
    {3, "NMTP", &SectionSelection::skipNmtp, 0, &renderTypeRecords<P>},
    {4, "TYTB", &SectionSelection::skipTytb, 3, &renderTypeTables<P>},
    {5, "HSHT", &SectionSelection::skipHsht, 4, &renderHashTables<P>},
    {6, "SYMD", &SectionSelection::skipSymd, 2, &renderSymbolData<P>},
    {7, "SRCP", &SectionSelection::skipSrcp, 6, &renderSrcp<P>},
    {8, "FPOD", &SectionSelection::skipFpod, 5, &renderFpod<P>},
};

// The kind the string table's entries have: the first of them serves every section's names.
inline constexpr uint32_t kStringTableKind = 2;

// The table's entry for `entryIndex`, or nullptr for a kind the walk does not know.
template <class P>
constexpr const SectionKind<P>* sectionKind(uint32_t entryIndex) {
    constexpr uint32_t count = sizeof kSectionKinds<P> / sizeof kSectionKinds<P>[0];
    return entryIndex >= 1 && entryIndex <= count ? &kSectionKinds<P>[entryIndex - 1] : nullptr;
}

}  // namespace symdeck

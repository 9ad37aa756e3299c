// The walk of a whole database (format/walk_database.h) with every structure's decoder: the
// template definitions a form's walk file compiles for its printer. Included by those files
// alone (src/forms/*_walk.cpp), so each decoder is compiled once per form.
#pragma once

#include "format/directory_decoder.h"
#include "format/file_structures.h"
#include "format/header_only_sections_decoder.h"
#include "format/nm32_header_decoder.h"
#include "format/section_kinds.h"
#include "format/string_table_decoder.h"
#include "format/symbols/procedures_decoder.h"
#include "format/symbols/source_lines_decoder.h"
#include "format/symbols/symbol_data_decoder.h"
#include "format/symbols/vlp_tables_decoder.h"
#include "format/types/hash_tables_decoder.h"
#include "format/types/type_records_decoder.h"
#include "format/types/type_tables_decoder.h"
#include "format/walk_database.h"

namespace symdeck {

namespace {

struct Entry {
    uint32_t entryIndex;
    uint32_t offEntry;
};

// Entry i of the directory at `directory`. The directory's render has already proven that
// every entry lies inside the image, so these reads cannot fail.
Entry entryAt(const NmsImage& image, uint64_t directory, uint32_t i) {
    using nmdr::kEntry;
    auto entry = recordAt(image, directory + nmdr::kHeader.size + kEntry.size * i, kEntry.size);
    if (!entry) return {0, 0};
    return {entry->u32(fieldOf(kEntry, "entryIndex").offset),
            entry->u32(fieldOf(kEntry, "offEntry").offset)};
}

template <class P>
bool walkSections(Walk<P>& walk) {
    // The header, the directory and every section are units of the map: a printer that
    // walks part of the database passes over those it does not want (the checks that the
    // rest of the walk relies on were passed when the unit was mapped).
    if (!skipsUnit(walk.print) && !renderNm32Header(walk)) return false;
    // The header's fixed part has been checked, so offNMDR can be read.
    using nm32::kHeader;
    auto header = recordAt(walk.image, 0, kHeader.size);
    if (!header) return false;
    // verMinor decides the length of the symbol data's procedure records.
    walk.formatMinorVersion = header->u32(fieldOf(kHeader, "verMinor").offset);
    const uint64_t directory = header->u32(fieldOf(kHeader, "offNMDR").offset);
    if (!skipsUnit(walk.print) && !renderDirectory(walk, directory)) return false;
    auto directoryHeader = recordAt(walk.image, directory, nmdr::kHeader.size);
    if (!directoryHeader) return false;
    const uint32_t nNMDE = directoryHeader->u32(fieldOf(nmdr::kHeader, "nNMDE").offset);

    // The first type records entry holds the records that type indices name, and the first
    // string table entry serves the names of every section, whatever the selection.
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(walk.image, directory, i);
        if (entry.entryIndex != kTypeRecordsKind) continue;
        installTypeRecords(walk, entry.offEntry);
        break;
    }
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(walk.image, directory, i);
        if (entry.entryIndex != kStringTableKind) continue;
        if (!installStringTable(walk, entry.offEntry)) return false;
        break;
    }

    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(walk.image, directory, i);
        bool rendered = true;
        const bool known = withSectionKind(entry.entryIndex, [&](const auto& kind) {
            if (!(walk.selection.*kind.info.skip) && !skipsUnit(walk.print))
                rendered = kind.render(walk, entry.offEntry);
        });
        if (!known) walk.print.unknownSection(static_cast<int32_t>(entry.entryIndex));
        if (!rendered) return false;
    }
    return true;
}

}  // namespace

template <class P>
WalkEnd walkDatabase(P& print, const NmsImage& image, const SectionSelection& selection) {
    Walk<P> walk{image, print, reportLimit(image.size), selection};
    print.begin();
    walkSections(walk);
    print.end(walk.stop);
    return walk.stop.end;
}

}  // namespace symdeck

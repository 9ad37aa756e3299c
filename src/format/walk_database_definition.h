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

// Entry i of the directory at `directory`, when it lies in the image and bears its
// signature. Once the directory's render has come to its end, every entry does but those a
// walk that goes on past damage has recorded as damaged: they lead nowhere.
std::optional<Entry> entryAt(const NmsImage& image, uint64_t directory, uint32_t i) {
    using nmdr::kEntry;
    auto entry = recordAt(image, directory + nmdr::kHeader.size + kEntry.size * i, kEntry.size);
    if (!entry || !entry->startsWith(kEntry.signature)) return std::nullopt;
    return Entry{entry->u32(fieldOf(kEntry, "entryIndex").offset),
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
    // A walk that goes on past damage has every damaged entry recorded in the directory's
    // run, where the walk without it stopped: the entries that lead nowhere end it.
    const uint32_t entries = walk.damages.count == 0 ? nNMDE : [&] {
        uint32_t n = 0;
        while (n < nNMDE && fits(walk.image, directory + nmdr::kHeader.size + uint64_t{nmdr::kEntry.size} * n,
                                 nmdr::kEntry.size))
            ++n;
        return n;
    }();
    for (uint32_t i = 0; i < entries; ++i) {
        const auto entry = entryAt(walk.image, directory, i);
        if (!entry || entry->entryIndex != kTypeRecordsKind) continue;
        installTypeRecords(walk, entry->offEntry);
        break;
    }
    // A string table that fails its checks is a damage where the walk meets it, ahead of the
    // sections; the walk goes on without names, and its section is not walked again.
    uint32_t damagedTable = entries;
    for (uint32_t i = 0; i < entries; ++i) {
        const auto entry = entryAt(walk.image, directory, i);
        if (!entry || entry->entryIndex != kStringTableKind) continue;
        if (!installStringTable(walk, entry->offEntry)) {
            if (!goOnPast(walk, levelOf(walk.print))) return false;
            damagedTable = i;
        }
        break;
    }

    for (uint32_t i = 0; i < entries; ++i) {
        const auto entry = entryAt(walk.image, directory, i);
        if (!entry || i == damagedTable) continue;
        bool rendered = true;
        const uint32_t level = levelOf(walk.print);
        const bool known = withSectionKind(entry->entryIndex, [&](const auto& kind) {
            if (!(walk.selection.*kind.info.skip) && !skipsUnit(walk.print))
                rendered = kind.render(walk, entry->offEntry);
        });
        if (!known) walk.print.unknownSection(static_cast<int32_t>(entry->entryIndex));
        // The sections stand where their own entries say: past a damaged one, the next.
        if (!rendered && !goOnPast(walk, level)) return false;
    }
    return true;
}

}  // namespace

template <class P>
WalkEnd walkDatabase(P& print, const NmsImage& image, const SectionSelection& selection) {
    Walk<P> walk{image, print, reportLimit(image.size), selection};
    print.begin();
    walkSections(walk);
    tellOverlaps(walk);
    print.end(walk.stop);
    // The first damage the walk went on past is the first error of the walk.
    return walk.selection.keepGoing && walk.damages.count != 0 ? walk.damages.first.end : walk.stop.end;
}

}  // namespace symdeck

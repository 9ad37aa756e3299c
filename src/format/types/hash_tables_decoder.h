// HSHT: a 32-byte header, a list of sizeTableOffsets ULONGs at offTableOffsets, and nTypes
// entries of 20 bytes back to back from offTypeTables on; both offsets count from the
// image's first byte. The list values and the entries' links are printed as stored and
// never followed, and nothing is hashed.
#pragma once

#include "format/types/types.h"

#include "format/file_structures.h"

namespace symdeck {

template <class P>
bool renderHashTables(Walk<P>& walk, uint64_t sectionOffset) {
    return renderSection(
        walk, sectionOffset, "HSHT_HEADER", "HSHT", hsht::kSize, TitleSpelling::Record,
        [&](Cursor<P>& cursor, Fields<P>& f) {
            const Record& header = f.record;
            // A count, but printed in hexadecimal.
            Field size = f.ulong(header, hsht::kSizeTableOffsets, "sizeTableOffsets", Role::Count,
                                 Spelling::Hex);
            size.counts = "Type Table Offsets";
            f.emit(size);
            f.count(hsht::kNTypes, "nTypes", "HSHT_TYPETABLE");
            f.offsetTo(hsht::kOffTableOffsets, "offTableOffsets", Leads::Elements, 0);
            f.offsetTo(hsht::kOffTypeTables, "offTypeTables", Leads::Elements, 0);
            f.unnamed(hsht::kN1, 2, false, true);

            // The list's values are printed as stored and not followed.
            const List list{"Type Table Offsets", header.u32(hsht::kOffTableOffsets),
                            header.u32(hsht::kSizeTableOffsets), 4,
                            sectionOffset + hsht::kSizeTableOffsets, ListSpelling::TableOffsets};
            if (!cursor.list(list, [&](const Record& value, uint32_t) {
                    Fields<P>{walk, value}.offset(0, "offset");
                }))
                return false;

            const Run run{"HSHT_TYPETABLE", header.u32(hsht::kOffTypeTables), header.u32(hsht::kNTypes),
                          hsht::kEntrySize, sectionOffset + hsht::kNTypes, Lead::TypeTables};
            return cursor.blocks(run, TitleLayout{2}, [](Fields<P>& e, uint32_t) {
                // A link to another entry, printed as stored and not followed.
                e.offset(hsht::kEntryOffPreviousTable, "offPreviousTable");
                e.number(hsht::kEntryHashNumber, "hashNumber");
                e.name(hsht::kEntryIName);
                e.type(hsht::kEntryType, "type");
                e.number(hsht::kEntryN1, "N1", true);
                return true;
            });
        });
}

}  // namespace symdeck

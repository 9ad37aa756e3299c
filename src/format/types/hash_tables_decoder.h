// The hash table: a 32-byte header, a list of sizeTableOffsets ULONGs at offTableOffsets, and
// nTypes entries of 20 bytes back to back from offTypeTables on; both offsets count from the
// image's first byte. The list values and the entries' links are printed as stored and never
// followed, and nothing is hashed.
#pragma once

#include "format/types/types.h"

#include "format/file_structures.h"

namespace symdeck {

// The list of the type tables' offsets, and the run of the entries.
inline constexpr Subject kTableOffsets{"typeTableOffsets", "Type Table Offsets"};
inline constexpr Subject kHashEntries = blocksTitled(hsht::kEntry.word);

template <class P>
bool renderHashTables(Walk<P>& walk, uint64_t sectionOffset) {
    using hsht::kEntry, hsht::kHeader;
    return renderSection(
        walk, sectionOffset, kHeader, TitleSpelling::Record,
        [&](Cursor<P>& cursor, Fields<P>& f) {
            const Record& header = f.record;
            constexpr FieldDescription sizeTableOffsets = fieldOf(kHeader, "sizeTableOffsets");
            constexpr FieldDescription nTypes = fieldOf(kHeader, "nTypes");
            constexpr FieldDescription offTableOffsets = fieldOf(kHeader, "offTableOffsets");
            constexpr FieldDescription offTypeTables = fieldOf(kHeader, "offTypeTables");
            // A count, but printed in hexadecimal.
            Field size = f.field(header, sizeTableOffsets, Spelling::Hex);
            size.counts = kTableOffsets.key;
            f.emit(size);
            f.count(nTypes, kHashEntries.key);
            f.offsetTo(offTableOffsets, Leads::Elements, 0);
            f.offsetTo(offTypeTables, Leads::Elements, 0);
            f.unnamed(unnamedWords(kHeader), false, true);

            // The list's values are printed as stored and not followed.
            const List list{kTableOffsets, header.u32(offTableOffsets.offset),
                            header.u32(sizeTableOffsets.offset), 4,
                            sectionOffset + sizeTableOffsets.offset, ListSpelling::TableOffsets};
            if (!cursor.list(list, [&](const Record& value, uint32_t) {
                    Fields<P>{walk, value}.offset(0, "offset");
                }))
                return false;

            const Run run{kHashEntries, header.u32(offTypeTables.offset), header.u32(nTypes.offset),
                          kEntry.size, sectionOffset + nTypes.offset, Lead::TypeTables};
            return cursor.blocks(run, TitleLayout{2}, [](Fields<P>& e, uint32_t) {
                // A link to another entry, printed as stored and not followed.
                e.hex(fieldOf(kEntry, "offPreviousTable"));
                e.hex(fieldOf(kEntry, "hashNumber"));
                e.name(fieldOf(kEntry, "iName"));
                e.type(fieldOf(kEntry, "type"));
                e.hex(fieldOf(kEntry, "N1"), true);
                return true;
            });
        });
}

}  // namespace symdeck

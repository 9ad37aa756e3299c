// The hash table: a 32-byte header, a list of sizeTableOffsets ULONGs at offTableOffsets, and
// nTypes entries of 20 bytes back to back from offTypeTables on; both offsets count from the
// image's first byte. The list values and the entries' links are printed as stored and never
// followed, and nothing is hashed.
#pragma once

#include "format/types/types.h"

#include "format/file_structures.h"

namespace symdeck {

// The header and the list of the type tables' offsets (kTableOffsets), then the run of
// entries.
template <class P>
bool renderHashTables(Walk<P>& walk, uint64_t sectionOffset) {
    using hsht::kEntry, hsht::kHeader;
    static constexpr FieldDescription sizeTableOffsets = fieldOf(kHeader, "sizeTableOffsets");
    static constexpr FieldDescription nTypes = fieldOf(kHeader, "nTypes");
    static constexpr FieldDescription offTableOffsets = fieldOf(kHeader, "offTableOffsets");
    static constexpr FieldDescription offTypeTables = fieldOf(kHeader, "offTypeTables");
    return renderSectionEntries(
        walk, sectionOffset, kHeader, kEntry, nTypes, offTypeTables,
        [&](Cursor<P>& cursor, Fields<P>& f) {
            const Record& header = f.record;
            // A count, but read without sign.
            Field size = f.field(header, sizeTableOffsets);
            size.counts = kTableOffsets.key;
            f.emit(size);
            f.count(nTypes, kEntry.word);
            f.offsetTo(offTableOffsets, Leads::Elements, 0);
            f.offsetTo(offTypeTables, Leads::Elements, 0);
            f.unnamed(unnamedWords(kHeader), false, true);

            // The list's values are printed as stored and not followed.
            const List list{kTableOffsets, header.u32(offTableOffsets.offset),
                            header.u32(sizeTableOffsets.offset), 4,
                            sectionOffset + sizeTableOffsets.offset};
            return cursor.list(list, [&](const Record& value, uint32_t) {
                Fields<P>{walk, value}.offset(0, "offset");
            });
        },
        [](Fields<P>& e) {
            // A link to another entry, printed as stored and not followed.
            e.hex(fieldOf(kEntry, "offPreviousTable"));
            e.hex(fieldOf(kEntry, "hashNumber"));
            e.name(fieldOf(kEntry, "iName"));
            e.type(fieldOf(kEntry, "type"));
            e.hex(fieldOf(kEntry, "N1"), true);
        });
}

}  // namespace symdeck

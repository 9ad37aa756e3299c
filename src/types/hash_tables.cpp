// HSHT: a 32-byte header, a list of sizeTableOffsets ULONGs at offTableOffsets, and nTypes
// entries of 20 bytes back to back from offTypeTables on; both offsets count from the
// image's first byte. The list values and the entries' links are printed as stored and
// never followed, and nothing is hashed.
#include "types/types.h"

#include "report/containers.h"
#include "report/printers.h"

namespace symdeck {

template <class P>
bool renderHashTables(Walk<P>& walk, uint64_t sectionOffset) {
    return renderSection(
        walk, sectionOffset, "HSHT_HEADER", "HSHT", hsht::kSize, TitleForm::Record,
        [&](Cursor<P>& cursor, Fields<P>& f) {
            const Record& header = f.record;
            // A count, but printed in hexadecimal.
            f.hex(hsht::kSizeTableOffsets, "sizeTableOffsets");
            f.dec(hsht::kNTypes, "nTypes");
            f.hex(hsht::kOffTableOffsets, "offTableOffsets");
            f.hex(hsht::kOffTypeTables, "offTypeTables");
            f.unnamed(hsht::kN1, 2, false, true);

            const List list{"Type Table Offsets", header.u32(hsht::kOffTableOffsets),
                            ListForm::TableOffsets, header.u32(hsht::kSizeTableOffsets)};
            if (!cursor.list(list, 4, [&](const Record& value, uint32_t) {
                    Fields<P>{walk, value}.hex(0, "offset");
                }))
                return false;

            walk.print.heading(Heading::TypeTables);
            return cursor.blocks("HSHT_TYPETABLE", 2, header.u32(hsht::kOffTypeTables),
                                 hsht::kEntrySize, header.u32(hsht::kNTypes),
                                 [](Fields<P>& e, uint32_t) {
                                     e.hex(hsht::kEntryOffPreviousTable, "offPreviousTable");
                                     e.hex(hsht::kEntryHashNumber, "hashNumber");
                                     e.name(hsht::kEntryIName);
                                     e.type(hsht::kEntryType, "type");
                                     e.hex(hsht::kEntryN1, "N1", true);
                                     return true;
                                 });
        });
}

SYMDECK_INSTANTIATE(renderHashTables, uint64_t);

}  // namespace symdeck

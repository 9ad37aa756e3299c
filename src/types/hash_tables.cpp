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
    Cursor<P> cursor{walk, "HSHT_HEADER"};
    auto header = openSection(cursor, sectionOffset, "HSHT", hsht::kSize, TitleForm::Record);
    if (!header) return false;
    P& print = walk.print;
    Fields<P> f{walk, *header};
    // A count, but printed in hexadecimal.
    f.hex(hsht::kSizeTableOffsets, "sizeTableOffsets");
    f.dec(hsht::kNTypes, "nTypes");
    f.hex(hsht::kOffTableOffsets, "offTableOffsets");
    f.hex(hsht::kOffTypeTables, "offTypeTables");
    f.unnamed(hsht::kN1, 2, false, true);

    const uint32_t sizeTableOffsets = header->u32(hsht::kSizeTableOffsets);
    const uint32_t offTableOffsets = header->u32(hsht::kOffTableOffsets);
    const List list{"Type Table Offsets", offTableOffsets, ListForm::TableOffsets,
                    sizeTableOffsets};
    bool complete = cursor.list(list, 4, [&](const Record& value, uint32_t) {
        Fields<P>{walk, value}.hex(0, "offset");
    });
    if (!complete) return false;

    print.heading(Heading::TypeTables);
    const uint32_t nTypes = header->u32(hsht::kNTypes);
    complete = cursor.each(
        header->u32(hsht::kOffTypeTables), hsht::kEntrySize, nTypes,
        [&](const Record& entry, uint32_t j) {
            print.open(Title{"HSHT_TYPETABLE", entry.offset, 2, TitleForm::Record, 0, j, nTypes});
            Fields<P> e{walk, entry};
            e.hex(hsht::kEntryOffPreviousTable, "offPreviousTable");
            e.hex(hsht::kEntryHashNumber, "hashNumber");
            e.name(hsht::kEntryIName);
            e.type(hsht::kEntryType, "type");
            e.hex(hsht::kEntryN1, "N1", true);
            print.close(Close::Quiet);
            return true;
        });
    if (!complete) return false;
    print.close(Close::Separator);
    return true;
}

SYMDECK_INSTANTIATE(renderHashTables, uint64_t);

}  // namespace symdeck

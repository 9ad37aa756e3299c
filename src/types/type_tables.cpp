// TYTB: a 24-byte header, then nTypeTables TYPETABLE entries of 8 bytes (a type index and
// a name index), back to back from offTypeTables on. offTypeTables counts from the image's
// first byte, not from the section. The count steers the walk but has no line of its own.
#include "types/types.h"

#include "report/containers.h"
#include "report/printers.h"

namespace symdeck {

template <class P>
bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset) {
    Cursor<P> cursor{walk, "TYTB_HEADER"};
    auto header = openSection(cursor, sectionOffset, "TYTB", tytb::kSize, TitleForm::Record);
    if (!header) return false;
    P& print = walk.print;
    Fields<P> f{walk, *header};
    f.hex(tytb::kOffTypeTables, "offTypeTables");
    f.unnamed(tytb::kN1, 2, false, true);

    const uint32_t count = header->u32(tytb::kNTypeTables);
    print.reads(Fields<P>::ulong(*header, tytb::kNTypeTables, "nTypeTables", Shape::Dec, false), kNoIndex);
    const bool complete = cursor.each(
        header->u32(tytb::kOffTypeTables), tytb::kEntrySize, count,
        [&](const Record& entry, uint32_t i) {
            print.open(Title{"TYPETABLE", entry.offset, 2, TitleForm::Record, 0, i, count});
            Fields<P> e{walk, entry};
            e.type(tytb::kEntryType, "type");
            e.name(tytb::kEntryIName, true);
            print.close(Close::Quiet);
            return true;
        });
    if (!complete) return false;
    print.close(Close::Separator);
    return true;
}

SYMDECK_INSTANTIATE(renderTypeTables, uint64_t);

}  // namespace symdeck

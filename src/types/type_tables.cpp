// TYTB: a 24-byte header, then nTypeTables TYPETABLE entries of 8 bytes (a type index and
// a name index), back to back from offTypeTables on. offTypeTables counts from the image's
// first byte, not from the section. The count steers the walk but has no line of its own.
#include "types/types.h"

#include "report/containers.h"
#include "report/printers.h"

namespace symdeck {

template <class P>
bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset) {
    return renderSection(
        walk, sectionOffset, "TYTB_HEADER", "TYTB", tytb::kSize, TitleForm::Record,
        [](Cursor<P>& cursor, Fields<P>& f) {
            f.hex(tytb::kOffTypeTables, "offTypeTables");
            f.unnamed(tytb::kN1, 2, false, true);
            f.print.reads(Fields<P>::ulong(f.record, tytb::kNTypeTables, "nTypeTables", Shape::Dec,
                                           false),
                          kNoIndex);
            return cursor.blocks("TYPETABLE", 2, f.record.u32(tytb::kOffTypeTables),
                                 tytb::kEntrySize, f.record.u32(tytb::kNTypeTables),
                                 [](Fields<P>& e, uint32_t) {
                                     e.type(tytb::kEntryType, "type");
                                     e.name(tytb::kEntryIName, true);
                                     return true;
                                 });
        });
}

SYMDECK_INSTANTIATE(renderTypeTables, uint64_t);

}  // namespace symdeck

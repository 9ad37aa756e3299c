// TYTB: a 24-byte header, then nTypeTables TYPETABLE entries of 8 bytes (a type index and
// a name index), back to back from offTypeTables on. offTypeTables counts from the image's
// first byte, not from the section. The count steers the walk but has no line of its own.
#pragma once

#include "format/types/types.h"

#include "format/file_structures.h"

namespace symdeck {

template <class P>
bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset) {
    return renderSection(
        walk, sectionOffset, "TYTB_HEADER", "TYTB", tytb::kSize, TitleSpelling::Record,
        [sectionOffset](Cursor<P>& cursor, Fields<P>& f) {
            f.offsetTo(tytb::kOffTypeTables, "offTypeTables", Leads::Elements, 0);
            f.unnamed(tytb::kN1, 2, false, true);
            Field count = Fields<P>::ulong(f.record, tytb::kNTypeTables, "nTypeTables", Role::Count,
                                           Spelling::Dec);
            count.counts = "TYPETABLE";
            f.print.reads(count, kNoIndex);
            const Run run{"TYPETABLE", f.u32(tytb::kOffTypeTables), f.u32(tytb::kNTypeTables),
                          tytb::kEntrySize, sectionOffset + tytb::kNTypeTables};
            return cursor.blocks(run, TitleLayout{2}, [](Fields<P>& e, uint32_t) {
                e.type(tytb::kEntryType, "type");
                e.name(tytb::kEntryIName, true);
                return true;
            });
        });
}

}  // namespace symdeck

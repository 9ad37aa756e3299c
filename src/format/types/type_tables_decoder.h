// The type tables: a 24-byte header, then nTypeTables TYPETABLE entries of 8 bytes (a type index
// and a name index), back to back from offTypeTables on. offTypeTables counts from the image's
// first byte, not from the section. The count steers the walk but has no line of its own.
#pragma once

#include "format/types/types.h"

#include "format/file_structures.h"

namespace symdeck {

template <class P>
bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset) {
    using tytb::kEntry, tytb::kHeader;
    return renderSectionEntries(
        walk, sectionOffset, kHeader, kEntry, fieldOf(kHeader, "nTypeTables"),
        fieldOf(kHeader, "offTypeTables"),
        [](Cursor<P>&, Fields<P>& f) {
            f.offsetTo(fieldOf(kHeader, "offTypeTables"), Leads::Elements, 0);
            f.unnamed(unnamedWords(kHeader), false, true);
            Field count = f.asSigned(Fields<P>::field(f.record, fieldOf(kHeader, "nTypeTables")));
            count.counts = kEntry.word;
            f.print.reads(count, kNoIndex);
            return true;
        },
        [](Fields<P>& e) {
            e.type(fieldOf(kEntry, "type"));
            e.name(fieldOf(kEntry, "iName"), true);
        });
}

}  // namespace symdeck

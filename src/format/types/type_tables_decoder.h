// The type tables: a 24-byte header, then nTypeTables TYPETABLE entries of 8 bytes (a type index
// and a name index), back to back from offTypeTables on. offTypeTables counts from the image's
// first byte, not from the section. The count steers the walk but has no line of its own.
#pragma once

#include "format/types/types.h"

#include "format/file_structures.h"

namespace symdeck {

// The run of the entries.
inline constexpr Subject kTypeTables = blocksTitled(tytb::kEntry.word);

template <class P>
bool renderTypeTables(Walk<P>& walk, uint64_t sectionOffset) {
    using tytb::kEntry, tytb::kHeader;
    return renderSection(
        walk, sectionOffset, kHeader, TitleSpelling::Record,
        [sectionOffset](Cursor<P>& cursor, Fields<P>& f) {
            f.offsetTo(fieldOf(kHeader, "offTypeTables"), Leads::Elements, 0);
            f.unnamed(unnamedWords(kHeader), false, true);
            constexpr FieldDescription nTypeTables = fieldOf(kHeader, "nTypeTables");
            Field count = f.asSigned(Fields<P>::field(f.record, nTypeTables, Spelling::Dec));
            count.counts = kTypeTables.key;
            f.print.reads(count, kNoIndex);
            const Run run{kTypeTables, f.u32(fieldOf(kHeader, "offTypeTables").offset),
                          f.u32(nTypeTables.offset), kEntry.size,
                          sectionOffset + nTypeTables.offset};
            return cursor.blocks(run, TitleLayout{2}, [](Fields<P>& e, uint32_t) {
                e.type(fieldOf(kEntry, "type"));
                e.name(fieldOf(kEntry, "iName"), true);
                return true;
            });
        });
}

}  // namespace symdeck

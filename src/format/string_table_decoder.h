// The string table: a header (string_table.structures), then one ULONG offset per name, then the
// NUL-terminated names. Name i begins at (start of the string data) + offset i, where the string
// data begins right behind the offsets array.
#pragma once

#include "format/file_structures.h"

namespace symdeck {

template <class P>
bool installStringTable(Walk<P>& walk, uint64_t sectionOffset) {
    using sttb::kHeader;
    auto header =
        Cursor<P>{walk, kHeader.word}.signedAt(sectionOffset, kHeader.signature, kHeader.size);
    if (!header) return false;
    const uint32_t count = header->u32(fieldOf(kHeader, "nNames").offset);
    walk.strings.count = count;
    walk.strings.offsets = sectionOffset + kHeader.size;
    walk.strings.stringBase = sectionOffset + kHeader.size + uint64_t{4} * count;
    return true;
}

template <class P>
bool renderStringTable(Walk<P>& walk, uint64_t sectionOffset) {
    using sttb::kHeader;
    return renderSection(
        walk, sectionOffset, kHeader, Mark::SectionEnd,
        [&](Cursor<P>& cursor, Fields<P>& f) {
            f.count(fieldOf(kHeader, "nNames"), kStringList.key);
            f.unnamed(unnamedWords(kHeader), false, true);
            // The count is this section's own; the names come through the installed table,
            // which is the directory's first string table. The offsets of that section
            // lead to the names shown; another section's are not followed.
            const uint64_t offsets = sectionOffset + kHeader.size;
            const bool installed = walk.strings.count != 0 && walk.strings.offsets == offsets;
            constexpr uint64_t nNames = fieldOf(kHeader, "nNames").offset;
            const List list{kStringList, offsets, f.u32(nNames), 4, sectionOffset + nNames};
            return cursor.list(list, [&](const Record& entry, uint32_t i) {
                Field name = Fields<P>::ulong(entry, 0, "offset", Role::Offset);
                const NameText text = stringAt(walk.image, walk.strings, i);
                name.meaning = Meaning::Word;
                name.text = text.text;
                name.textOffset = text.offset;
                name.problem = text.problem;
                if (installed) name.target = f.follow(Leads::Text, walk.strings.stringBase, name.value);
                walk.print.field(name);
            });
        });
}

}  // namespace symdeck

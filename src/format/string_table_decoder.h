// STTB: a header, then one ULONG offset per name, then the NUL-terminated names. Name i
// begins at (start of the string data) + offset i, where the string data begins right
// behind the offsets array.
#pragma once

#include "format/file_structures.h"

namespace symdeck {

template <class P>
bool installStringTable(Walk<P>& walk, uint64_t sectionOffset) {
    auto header = Cursor<P>{walk, "STTB_HEADER"}.signedAt(sectionOffset, "STTB", sttb::kSize);
    if (!header) return false;
    const uint32_t count = header->u32(sttb::kNNames);
    walk.strings.count = count;
    walk.strings.offsets = sectionOffset + sttb::kSize;
    walk.strings.stringBase = sectionOffset + sttb::kSize + uint64_t{4} * count;
    return true;
}

template <class P>
bool renderStringTable(Walk<P>& walk, uint64_t sectionOffset) {
    return renderSection(
        walk, sectionOffset, "STTB_HEADER", "STTB", sttb::kSize, TitleSpelling::SectionSpaced,
        [&](Cursor<P>& cursor, Fields<P>& f) {
            f.count(sttb::kNNames, "nNames", "Strings");
            f.unnamed(sttb::kN1, 2, false, true);
            // The count is this section's own; the names come through the installed table,
            // which is the first STTB section of the directory. The offsets of that section
            // lead to the names shown; another section's are not followed.
            const uint64_t offsets = sectionOffset + sttb::kSize;
            const bool installed = walk.strings.count != 0 && walk.strings.offsets == offsets;
            const List list{"Strings", offsets, f.u32(sttb::kNNames), 4, sectionOffset + sttb::kNNames,
                            ListSpelling::Strings};
            return cursor.list(list, [&](const Record& entry, uint32_t i) {
                Field name = Fields<P>::ulong(entry, 0, "offset", Role::Offset, Spelling::ListName);
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

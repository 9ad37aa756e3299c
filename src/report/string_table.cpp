// STTB: a header, then one ULONG offset per name, then the NUL-terminated names. Name i
// begins at (start of the string data) + offset i, where the string data begins right
// behind the offsets array.
#include "report/containers.h"
#include "report/printers.h"

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

NameText stringAt(const NmsImage& image, const StringTableView& table, uint32_t iName) {
    if (iName >= table.count) return {"iName is out of range"};
    auto nameOffset = readU32(image, table.offsets + uint64_t{4} * iName);
    if (!nameOffset || table.stringBase + *nameOffset >= image.size)
        return {"iName points past the end of the file"};
    const uint64_t at = table.stringBase + *nameOffset;
    return {textAt(image, at), at};
}

template <class P>
bool renderStringTable(Walk<P>& walk, uint64_t sectionOffset) {
    Cursor<P> cursor{walk, "STTB_HEADER"};
    auto header = openSection(cursor, sectionOffset, "STTB", sttb::kSize, TitleForm::SectionSpaced);
    if (!header) return false;
    P& print = walk.print;
    Fields<P> f{walk, *header};
    const uint32_t nNames = header->u32(sttb::kNNames);
    f.dec(sttb::kNNames, "nNames");
    f.unnamed(sttb::kN1, 2, false, true);

    // The count is this section's own; the names come through the installed table, which
    // is the first STTB section of the directory.
    const uint64_t offsets = sectionOffset + sttb::kSize;
    const List list{"Strings", offsets, ListForm::Strings, nNames};
    const bool complete = cursor.list(list, 4, [&](const Record& entry, uint32_t i) {
        Field name = Fields<P>::ulong(entry, 0, "offset", Shape::ListName, false);
        const NameText text = stringAt(walk.image, walk.strings, i);
        name.text = text.text;
        name.textOffset = text.offset;
        print.field(name);
    });
    if (!complete) return false;
    print.close(Close::Separator);
    return true;
}

SYMDECK_INSTANTIATE(installStringTable, uint64_t);
SYMDECK_INSTANTIATE(renderStringTable, uint64_t);

}  // namespace symdeck

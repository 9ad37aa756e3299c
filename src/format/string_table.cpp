// A name of the string table: the lookup every decoder shares, compiled once.
#include "format/file_structures.h"

namespace symdeck {

NameText stringAt(const NmsImage& image, const StringTableView& table, uint32_t iName) {
    if (iName >= table.count) return {"iName is out of range", kNotInFile, Problem::NameIndexOutOfRange};
    auto nameOffset = readU32(image, table.offsets + uint64_t{4} * iName);
    if (!nameOffset || table.stringBase + *nameOffset >= image.size)
        return {"iName points past the end of the file", kNotInFile, Problem::NamePastEndOfFile};
    const uint64_t at = table.stringBase + *nameOffset;
    return {textAt(image, at), at};
}

}  // namespace symdeck

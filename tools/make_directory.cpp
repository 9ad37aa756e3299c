// Writes a database whose directory has very many entries of one kind, all of them naming
// the same small section: the case where work done once per directory entry shows.
//   make_directory OUTPUT.nms ENTRIES       (GTYP entries, behind one string table entry)
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "nmsbuild/nmsbuild.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_directory OUTPUT.nms ENTRIES\n");
        return 2;
    }
    const unsigned long entries = std::strtoul(argv[2], nullptr, 10);
    if (entries == 0 || entries > 50'000'000) {
        std::fprintf(stderr, "make_directory: ENTRIES from 1 to 50000000\n");
        return 2;
    }
    nmsbuild::Database db;
    // A string table first, so that names resolve, then the GTYP entries: the first one
    // writes the section, the others point at it. The section lies right behind the
    // directory: its header (56 bytes) and its entries (36 bytes each) from 0x244 on.
    db.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable({.names = {"shared"}})});
    const uint64_t directoryEnd = 0x244 + 56 + 36 * (uint64_t{entries} + 1);
    const auto sttb = nmsbuild::build(nmsbuild::Database{.entries = {db.entries[0]}}).bytes.size() - (0x244 + 56 + 36);
    const auto section = static_cast<uint32_t>(directoryEnd + sttb);
    db.entries.push_back({nmsbuild::kGtyp, nmsbuild::gtyp({.body = std::string(64, '\0')})});
    for (unsigned long i = 1; i < entries; ++i) {
        nmsbuild::Entry e{.entryIndex = nmsbuild::kGtyp, .offEntry = section, .entryLength = 96};
        db.entries.push_back(std::move(e));
    }
    const auto built = nmsbuild::build(db);
    if (built.sectionOffsets[1] != section) {
        std::fprintf(stderr, "make_directory: the section is not where it was expected\n");
        return 1;
    }
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(built.bytes.data()), static_cast<std::streamsize>(built.bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_directory: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

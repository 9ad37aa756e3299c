#include "nmsbuild/sample.h"

namespace nmsbuild {

Database sampleDescription() {
    Database db;
    db.header.verMajor = 1;
    db.header.verMinor = 2;
    db.header.creationTime = 0x5F3E2A10;
    db.header.creationNumber = 7;
    db.header.fileType = 2;
    db.header.fileLength = 245760;
    db.header.filePath = "c:\\work\\app\\release\\app.exe";
    db.header.copyrightString = "Sample database for symdeck";

    db.entries.push_back({kGtyp, gtyp({.offNMTP = 0, .offSTTB = 0, .n1 = 1})});
    db.entries.push_back({kSttb, stringTable({.names = {"_TEXT", "_DATA", "main", "argc", "argv",
                                                         "count", "POINT", "x", "y", "app.c",
                                                         "util.c", "printf", "total"}})});
    db.entries.push_back({kSrcp, srcp({.offSourceFiles = 0x14})});
    db.entries.push_back({kFpod, fpod({.n = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}})});
    return db;
}

std::vector<uint8_t> sampleDatabase() { return build(sampleDescription()).bytes; }

}  // namespace nmsbuild

#include "nmsbuild/sample.h"

#include "nmsbuild/types_build.h"
#include "nmsbuild/symbols_build.h"

namespace nmsbuild {

Database sampleDescription(uint32_t verMinor) {
    Database db;
    db.header.verMajor = 1;
    db.header.verMinor = verMinor;
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
    // Types: main(argc, argv) returning long, struct POINT {long x, y}, a union, an array,
    // a label and one record of a kind the report does not decode.
    db.entries.push_back({kNmtp, typeRecords({.records = {
        Procedure{.argList = 0x1001, .rType = 0x0012, .call = 0, .argCount = 2},
        ArgList{.types = {0x0012, 0x1002}},
        Array{.elemType = 0x0110, .length = 8, .indexType = 0x0012, .nElements = 2},
        Struct{.derivedType = 0x1007, .iName = 6, .nFields = 2, .length = 8},
        Member{.indexType = 0x0012, .iName = 7, .access = 3, .offset = 0},
        Member{.indexType = 0x0012, .iName = 8, .access = 1, .offset = 4},
        Union{.iName = 5, .property = 0x10, .nFields = 2, .length = 4},
        Derived{.types = {0x1003}},
        Label{.mode = 4},
        Procedure{.argList = 0x100A, .rType = 0x0003, .call = 7, .argCount = 1},
        ArgList{.n1 = 1, .types = {0x0110}},
        RawRecord{.lfIndex = 0x1203, .body = std::string(8, '\0')},
    }})});
    db.entries.push_back({kTytb, typeTables({.entries = {{.type = 0x1003, .iName = 6},
                                                         {.type = 0x0012, .iName = 12},
                                                         {.type = 0x1000, .iName = 2}}})});
    db.entries.push_back({kHsht, hashTables({.tableOffsets = {0, 0x14},
                                             .entries = {{.hashNumber = 0x2A, .iName = 6, .type = 0x1003},
                                                         {.offPreviousTable = 0, .hashNumber = 0x17,
                                                          .iName = 2, .type = 0x1000}}})});
    // Names by string-table index: 0 _TEXT, 1 _DATA, 2 main, 3 argc, 4 argv, 5 count,
    // 6 POINT, 7 x, 8 y, 9 app.c, 10 util.c, 11 printf, 12 total.
    Segment text{
        .nSeg = 1,
        .iName = 0,
        .physSize = 0x2400,
        .procedures =
            {{.offStartProc = 0x10,
              .offEndProc = 0x7F,
              .locals = {{.type = 0x0012, .iName = 3, .offVLP = 8},
                         {.type = 0x0110, .iName = 4, .offVLP = 12}},
              .registers = {{.type = 0x0012, .iName = 5, .registerNumber = 17},
                            {.tableType = 3, .type = 0x1001, .iName = 12, .registerNumber = 23}},
              .m1 = 0x1000},
             {.offStartProc = 0x80,
              .offEndProc = 0xC3,
              .locals = {{.type = 0x1000, .iName = 7, .offVLP = 0xFFFFFFF8}},
              .registers = {{.type = 0x0022, .iName = 8, .parameterOffset = 4,
                             .registerNumber = 9}},
              .m1 = 0x1002,
              .n1 = 1}},
        .sourceSections = {{.offStart = 0x10,
                            .offEnd = 0x7F,
                            .lines = {{0x10, 12}, {0x1A, 13}, {0x2E, 15}, {0x70, 16}}},
                           {.offStart = 0x80,
                            .offEnd = 0xC3,
                            .lines = {{0x80, 4}, {0xA2, 5}},
                            .offInSFDef = 0x14}},
        .vlpEntries = {{.tableType = 7, .type = 0x1001, .iName = 2, .offVLP = 0x10},
                       {.tableType = 4, .type = 0x0000, .iName = 11, .offVLP = 0x80}},
    };
    Segment data{
        .nSeg = 2,
        .iName = 1,
        .physSize = 0x200,
        .vlpEntries = {{.tableType = 6, .type = 0x0012, .iName = 12, .offVLP = 0},
                       {.tableType = 6, .type = 0x1002, .iName = 6, .offVLP = 4},
                       {.tableType = 9, .type = 0x0003, .iName = 11, .offVLP = 0x20}},
    };
    db.entries.push_back({kSymd, symbolData({.procedureSize = verMinor == 1 ? 28u : 32u,
                                             .segments = {text, data},
                                             .sourceFiles = {{.iName = 9, .sourceLength = 1834},
                                                             {.iName = 10, .offSource = 0x72A,
                                                              .sourceLength = 602}}})});
    db.entries.push_back({kSrcp, srcp({.offSourceFiles = 0x14})});
    db.entries.push_back({kFpod, fpod({.n = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}})});
    return db;
}

std::vector<uint8_t> sampleDatabase() { return build(sampleDescription()).bytes; }

}  // namespace nmsbuild

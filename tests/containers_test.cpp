// The container structures: NM32 header, NMDR directory, STTB string table and the
// header-only sections, each compared as whole blocks of exact text.
#include <gtest/gtest.h>

#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;

std::string nm32Block(const std::string& fileTypeValue, const std::string& fileLength,
                      const std::string& filePath, const std::string& copyright) {
    return "NM32_HEADER (offset: 0x0 )\n"
           "  type         name             value\n"
           "  ULONG        NM32             NM32\n"
           "  ULONG        verMajor         0x1\n"
           "  ULONG        verMinor         0xA2\n"
           "  ULONG        offNMDR          0x244\n"
           "  ULONG        creationTime     0x5F3E2A10\n"
           "  ULONG        creationNumber   0x0\n"
           "  ULONG        fileType         " + fileTypeValue + "\n"
           "  ULONG        fileLength       " + fileLength + " bytes\n"
           "  ULONG        N1               0x1\n"
           "  ULONG        N2               0x2\n"
           "  ULONG        N3               0x3\n"
           "  ULONG        N4               0x4\n"
           "  ULONG        N5               0x5\n"
           "  ULONG        N6               0x6\n"
           "  ULONG        N7               0x7\n"
           "  ULONG        N8               0xFFFFFFFF\n"
           "  CHAR[0x104]  filePath         " + filePath + "\n"
           "  CHAR[0x100]  copyrightString  " + copyright + "\n\n" + kSep;
}

const std::string kEmptyDirectory =
    "NMDR_HEADER (offset: 0x244)\n"
    "  type         name             value\n"
    "  ULONG        NMDR             NMDR\n"
    "  ULONG        nNMDE            0\n"
    "  ULONG        offGTYP          0x0\n"
    "  ULONG        offSTTB          0x0\n"
    "  ULONG        offSYMD          0x0\n"
    "  ULONG        offSRCP          0x0\n"
    "  ULONG        offFPOD          0x0\n"
    "  ULONG        N1               0\n"
    "  ULONG        N2               0\n"
    "  ULONG        N3               0\n"
    "  ULONG        N4               0\n"
    "  ULONG        N5               0\n"
    "  ULONG        N6               0\n"
    "  ULONG        N7               -1\n"
    "\n\n" + kSep;

Database headerOnly(uint32_t fileType, uint32_t fileLength) {
    Database db;
    db.header.verMinor = 0xA2;
    db.header.creationTime = 0x5F3E2A10;
    db.header.fileType = fileType;
    db.header.fileLength = fileLength;
    db.header.n = {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFF};
    db.header.filePath = "c:\\work\\app.exe";
    db.header.copyrightString = "(c) 1999";
    db.directory.n[6] = 0xFFFFFFFF;
    return db;
}

TEST(Nm32Header, WholeReportOfAnEmptyDatabaseForEveryFileType) {
    const struct {
        uint32_t fileType;
        const char* value;
    } cases[] = {
        {2, "0x02(PE_EXE)"}, {4, "0x04(PE_DLL)"}, {6, "0x06(LE_VXD)"}, {7, "0x07(NE)"},
        {10, "0x0A"},        {11, "0x0B(MAP)"},   {13, "0x0D(TDS)"},   {14, "0x0E(LX)"},
        {0, "0x0(unknown)"}, {3, "0x3(unknown)"}, {12, "0xC(unknown)"}, {15, "0xF(unknown)"},
        {0xFFFFFFFF, "0xFFFFFFFF(unknown)"},
    };
    for (const auto& c : cases) {
        const auto bytes = build(headerOnly(c.fileType, 4096)).bytes;
        EXPECT_EQ(report(bytes),
                  kBanner + nm32Block(c.value, "4096", "c:\\work\\app.exe", "(c) 1999") +
                      kEmptyDirectory)
            << "fileType " << c.fileType;
    }
}

TEST(Nm32Header, TextsAndSignedLength) {
    // A fileLength of 0x80000000 or more prints negative; an empty path leaves the value
    // column empty.
    Database db = headerOnly(2, 0xFFFFFFFF);
    db.header.filePath = "";
    EXPECT_EQ(report(build(db).bytes),
              kBanner + nm32Block("0x02(PE_EXE)", "-1", "", "(c) 1999") + kEmptyDirectory);

    // A path that fills all 260 bytes of its field runs on into the copyright text.
    db.header.filePath = std::string(260, 'p');
    EXPECT_EQ(report(build(db).bytes),
              kBanner + nm32Block("0x02(PE_EXE)", "-1", std::string(260, 'p') + "(c) 1999",
                                  "(c) 1999") +
                  kEmptyDirectory);
}

TEST(Nm32Header, WrongSignatureEndsTheReportAfterTheBanner) {
    for (const char* signature : {"NM33", "nm32", "XM32", "NM3\x01"}) {
        Database db = headerOnly(2, 0);
        db.header.signature = signature;
        EXPECT_EQ(report(build(db).bytes),
                  kBanner + "ERROR in NM32_HEADER -> the signature was not correct.\n")
            << signature;
    }
}

std::string entryBlock(int i, uint64_t at, const std::string& kind, const std::string& offEntry,
                       const std::string& length) {
    return "  NMDE_S (" + std::to_string(i) + ")(offset: 0x" + hex(at) + ")\n" +
           "    type         name             value\n"
           "    ULONG        NMDE             NMDE\n"
           "    ULONG        entryIndex       " + kind + "\n" +
           "    ULONG        offEntry         0x" + offEntry + "\n" +
           "    ULONG        entryLength      " + length + "\n" +
           "    ULONG        N1               0x0\n"
           "    ULONG        N2               0x0\n"
           "    ULONG        N3               0x0\n"
           "    ULONG        N4               0x0\n"
           "    ULONG        N5               0xABC\n";
}

TEST(Directory, EntriesOfKnownAndUnknownKinds) {
    Database db;
    // Every kind but STTB, whose table the driver installs whatever the selection says.
    const uint32_t kinds[] = {1, 3, 4, 5, 6, 7, 8, 0, 9, 0xFFFFFFFF};
    const char* texts[] = {"1(GTYP)", "3(NMTP)", "4(TYTB)", "5(HSHT)", "6(SYMD)",
                           "7(SRCP)", "8(FPOD)", "0(unknown)", "9(unknown)", "-1(unknown)"};
    for (uint32_t kind : kinds)
        db.entries.push_back({.entryIndex = kind, .offEntry = 0x1234, .entryLength = 4096,
                              .n = {0, 0, 0, 0, 0xABC}});
    // Only the directory: every kind's section is left out and the unknown kinds' texts
    // follow, on one line, with no line feed at the end.
    const std::string text = report(build(db).bytes, {true, true, true, true, true, true, true, true});
    std::string expected =
        "NMDR_HEADER (offset: 0x244)\n"
        "  type         name             value\n"
        "  ULONG        NMDR             NMDR\n"
        "  ULONG        nNMDE            10\n"
        "  ULONG        offGTYP          0x0\n"
        "  ULONG        offSTTB          0x0\n"
        "  ULONG        offSYMD          0x0\n"
        "  ULONG        offSRCP          0x0\n"
        "  ULONG        offFPOD          0x0\n"
        "  ULONG        N1               0\n"
        "  ULONG        N2               0\n"
        "  ULONG        N3               0\n"
        "  ULONG        N4               0\n"
        "  ULONG        N5               0\n"
        "  ULONG        N6               0\n"
        "  ULONG        N7               0\n\n";
    for (int i = 0; i < 10; ++i)
        expected += entryBlock(i, 0x244 + 0x38 + 0x24 * i, texts[i], "1234", "4096(0x1000) bytes");
    expected += "\n" + kSep;
    expected += "UNKNOWN SubSection (value 0)UNKNOWN SubSection (value 9)"
                "UNKNOWN SubSection (value -1)";
    const size_t dir = text.find("NMDR_HEADER");
    ASSERT_NE(dir, std::string::npos);
    EXPECT_EQ(text.substr(dir), expected);
}

TEST(Directory, StringTableIsCheckedEvenWhenAllSectionsAreLeftOut) {
    Database db;
    db.entries.push_back({.entryIndex = 2, .offEntry = 0x1234});
    const auto bytes = build(db).bytes;
    const std::string text = report(bytes, {true, true, true, true, true, true, true, true});
    EXPECT_EQ(afterDirectory(text),
              "ERROR in STTB_HEADER -> the data at offset 0x1234 runs past the end of the file "
              "(size 0x" + hex(bytes.size()) + ").\n");
    db.entries[0].offEntry = 0x0;
    EXPECT_EQ(afterDirectory(report(build(db).bytes, {true, true, true, true, true, true, true, true})),
              "ERROR in STTB_HEADER -> the signature was not correct.\n");
}

TEST(Directory, BadEntrySignatureEndsTheReportAfterTheEntriesBeforeIt) {
    Database db;
    for (int i = 0; i < 5; ++i)
        db.entries.push_back({.entryIndex = 8, .offEntry = 0, .entryLength = 0,
                              .n = {0, 0, 0, 0, 0xABC}});
    db.entries[2].signature = "NMDF";
    const std::string text = report(build(db).bytes);
    const std::string tail = entryBlock(1, 0x244 + 0x5C, "8(FPOD)", "0", "0(0x0) bytes") +
                             "ERROR in NMDR_HEADER -> the signature was not correct.\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.find("NMDE_S (2)"), std::string::npos);
}

TEST(Directory, WrongSignatureAtAMovedDirectory) {
    Database db;
    db.header.offNMDR = 0x100;  // inside the header's text fields: zeros there
    const std::string text = report(build(db).bytes);
    EXPECT_EQ(afterDirectory(text), "");
    EXPECT_EQ(lastLine(text), "ERROR in NMDR_HEADER -> the signature was not correct.");
    EXPECT_NE(text.find("  ULONG        offNMDR          0x100\n\n"), std::string::npos - 1);
}

std::string sttbBlock(uint64_t start, const std::string& lengthText, const std::string& end,
                      uint32_t nNames, const std::vector<std::string>& rows) {
    std::string s = "STTB_HEADER (offset: 0x" + hex(start) + "(start), 0x" + end + "(end) )\n" +
                    "  type         name             value\n"
                    "  ULONG        STTB             STTB\n"
                    "  ULONG        sectionLength    " + lengthText + "\n" +
                    "  ULONG        nNames           " + std::to_string(nNames) + "\n" +
                    "  ULONG        N1               0x7\n"
                    "  ULONG        N2               0x0\n\n"
                    " Strings:\n";
    for (const auto& row : rows) s += row + "\n";
    return s + "\n" + kSep;
}

TEST(StringTable, ListsEveryNameOfTheInstalledTable) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {"alpha", "", "gamma"}, .n1 = 7})});
    const auto built = build(db);
    const uint64_t start = built.sectionOffsets[0];
    // 20 header bytes, 3 offsets, "alpha\0" "\0" "gamma\0"
    const uint32_t length = 20 + 12 + 6 + 1 + 6;
    EXPECT_EQ(afterDirectory(report(built.bytes)),
              sttbBlock(start, "45(0x2D) bytes", hex(start + length), 3,
                        {"  [0] alpha", "  [1] ", "  [2] gamma"}));
}

TEST(StringTable, NoNamesAndWrappingEnd) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.sectionLength = 0xFFFFFFFF, .n1 = 7})});
    const auto built = build(db);
    const uint64_t start = built.sectionOffsets[0];
    EXPECT_EQ(afterDirectory(report(built.bytes)),
              sttbBlock(start, "-1(0xFFFFFFFF) bytes", hex(start - 1), 0, {}));
}

TEST(StringTable, SecondTableListsItsCountWithTheFirstTablesNames) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {"one", "two"}, .n1 = 7})});
    db.entries.push_back({kSttb, stringTable({.names = {"x", "y", "z", "w"}, .n1 = 7})});
    const auto built = build(db);
    const std::string text = afterDirectory(report(built.bytes));
    const uint64_t second = built.sectionOffsets[1];
    const std::string expected =
        sttbBlock(second, "44(0x2C) bytes", hex(second + 44), 4,
                  {"  [0] one", "  [1] two", "  [2] iName is out of range",
                   "  [3] iName is out of range"});
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

TEST(StringTable, NamesOutsideTheImage) {
    // Index 1's offset points far past the end; index 2's name runs to the end of the file
    // without a NUL.
    Database db;
    db.entries.push_back({kSttb, [](Bytes& out) {
                              const uint64_t start = out.pos();
                              out.raw("STTB");
                              out.u32(0x30);
                              out.u32(3);  // nNames
                              out.u32(7);
                              out.u32(0);
                              out.u32(0);           // [0] "ok"
                              out.u32(0x7FFFFFFF);  // [1] far away
                              out.u32(3);           // [2] "tail", no NUL
                              out.raw("ok");
                              out.u8(0);
                              out.raw("tail");
                              (void)start;
                          }});
    const auto built = build(db);
    const uint64_t start = built.sectionOffsets[0];
    EXPECT_EQ(afterDirectory(report(built.bytes)),
              sttbBlock(start, "48(0x30) bytes", hex(start + 0x30), 3,
                        {"  [0] ok", "  [1] iName points past the end of the file",
                         "  [2] tail"}));
}

TEST(StringTable, CountFarBeyondTheFile) {
    // A count of 0x40000000 puts the string data far past the end: every name points past
    // it, and the listing stops at the first element of its offsets array that the file
    // does not hold.
    Database db;
    db.entries.push_back({kSttb, [](Bytes& out) {
                              out.raw("STTB");
                              out.u32(0x30);
                              out.u32(0x40000000);
                              out.u32(7);
                              out.u32(0);
                              out.u32(0);
                              out.u32(4);
                          }});
    const auto built = build(db);
    const uint64_t start = built.sectionOffsets[0];
    EXPECT_EQ(afterDirectory(report(built.bytes)),
              "STTB_HEADER (offset: 0x" + hex(start) + "(start), 0x" + hex(start + 0x30) +
                  "(end) )\n"
                  "  type         name             value\n"
                  "  ULONG        STTB             STTB\n"
                  "  ULONG        sectionLength    48(0x30) bytes\n"
                  "  ULONG        nNames           1073741824\n"
                  "  ULONG        N1               0x7\n"
                  "  ULONG        N2               0x0\n\n"
                  " Strings:\n"
                  "  [0] iName points past the end of the file\n"
                  "  [1] iName points past the end of the file\n"
                  "ERROR in STTB_HEADER -> the data at offset 0x" +
                  hex(start + 28) + " runs past the end of the file (size 0x" +
                  hex(built.bytes.size()) + ").\n");
}

TEST(HeaderOnlySections, WholeBlocks) {
    Database db;
    db.entries.push_back({kGtyp, gtyp({.offNMTP = 0x10, .offSTTB = 0x20, .offTYTB = 0x30,
                                       .offHSHT = 0x40, .n1 = 0x50, .n2 = 0x60,
                                       .body = std::string(10, '\xEE')})});
    db.entries.push_back({kSrcp, srcp({.sectionLength = 0xFFFFFFFF, .offSourceFiles = 0xAB,
                                       .n1 = 1, .n2 = 2})});
    db.entries.push_back({kFpod, fpod({.n = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0x10}})});
    const auto built = build(db);
    const uint64_t g = built.sectionOffsets[0], s = built.sectionOffsets[1],
                   f = built.sectionOffsets[2];
    EXPECT_EQ(afterDirectory(report(built.bytes)),
              "GTYP_HEADER (offset: 0x" + hex(g) + "(start), 0x" + hex(g + 42) + "(end))\n" +
                  "  type         name             value\n"
                  "  ULONG        GTYP             GTYP\n"
                  "  ULONG        sectionLength    42(0x2A) bytes\n"
                  "  ULONG        offNMTP          0x10\n"
                  "  ULONG        offSTTB          0x20\n"
                  "  ULONG        offTYTB          0x30\n"
                  "  ULONG        offHSHT          0x40\n"
                  "  ULONG        N1               0x50\n"
                  "  ULONG        N2               0x60\n\n" +
                  kSep +
                  "SRCP_HEADER (offset: 0x" + hex(s) + "(start), 0x" + hex(s - 1) + "(end))\n" +
                  "  type         name             value\n"
                  "  ULONG        SRCP             SRCP\n"
                  "  ULONG        sectionLength    -1(0xFFFFFFFF) bytes\n"
                  "  ULONG        offSourceFiles   0xAB\n"
                  "  ULONG        N1               0x1\n"
                  "  ULONG        N2               0x2\n\n" +
                  kSep +
                  "FPOD_HEADER (offset: 0x" + hex(f) + "(start), 0x" + hex(f + 0x30) + "(end))\n" +
                  "  type         name             value\n"
                  "  ULONG        FPOD             FPOD\n"
                  "  ULONG        sectionLength    48(0x30) bytes\n"
                  "  ULONG        N1               0x1\n"
                  "  ULONG        N2               0x2\n"
                  "  ULONG        N3               0x3\n"
                  "  ULONG        N4               0x4\n"
                  "  ULONG        N5               0x5\n"
                  "  ULONG        N6               0x6\n"
                  "  ULONG        N7               0x7\n"
                  "  ULONG        N8               0x8\n"
                  "  ULONG        N9               0x9\n"
                  "  ULONG        N10              0x10\n\n" +
                  kSep);
}

TEST(HeaderOnlySections, WrongSignatures) {
    const struct {
        uint32_t kind;
        SectionEmitter section;
        const char* error;
    } cases[] = {
        {kGtyp, gtyp({.signature = "GTYQ"}), "ERROR in GTYP_HEADER -> the signature was not correct.\n"},
        {kSrcp, srcp({.signature = "SRCp"}), "ERROR in SRCP_HEADER -> the signature was not correct.\n"},
        {kFpod, fpod({.signature = "FPOF"}), "ERROR in FPOD_HEADER -> the signature was not correct.\n"},
        {kSttb, stringTable({.signature = "STTA"}), "ERROR in STTB_HEADER -> the signature was not correct.\n"},
    };
    for (const auto& c : cases) {
        Database db;
        // A string table first, so that the driver installs that one and the broken STTB
        // meets its error only when its own turn comes.
        db.entries.push_back({kSttb, stringTable({})});
        db.entries.push_back({kFpod, fpod({})});
        db.entries.push_back({c.kind, c.section});
        db.entries.push_back({kFpod, fpod({})});
        const std::string text = afterDirectory(report(build(db).bytes));
        // The first section in full, then the error line, and nothing after it.
        const std::string end = "  ULONG        N10              0x0\n\n" + kSep + c.error;
        ASSERT_GE(text.size(), end.size()) << c.error;
        EXPECT_EQ(text.substr(text.size() - end.size()), end);
        EXPECT_EQ(text.find("FPOD_HEADER (offset"), text.rfind("FPOD_HEADER (offset")) << c.error;
    }
}

}  // namespace
}  // namespace symdeck::test

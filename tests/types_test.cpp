// NMTP, TYTB and HSHT sections rendered from databases built in memory, compared as whole
// blocks of text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nmsbuild/types_build.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;

// Names 0..3 of the string table every test database carries.
const std::vector<std::string> kNames = {"_TEXT", "POINT", "x", "count"};

const std::string kCols2 = "  type         name             value\n";
const std::string kCols4 = "    type         name             value\n";
const std::string kHint = "    (Read 'Type Strings Explained.txt' in Source\\Readings.)\n\n";

std::string dec(uint64_t v) { return std::to_string(v); }

// A database with the string table and one section of `kind`, rendered without the string
// table's block, so the text is the type section's alone. `cut` bytes are taken off the
// image's end (the type section is the last thing in it).
struct Rendered {
    std::string text;
    uint64_t section = 0;  // the section's image offset
};
Rendered render(uint32_t kind, SectionEmitter section, uint64_t cut = 0) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = kNames})});
    db.entries.push_back({kind, std::move(section)});
    Built built = build(db);
    built.bytes.resize(built.bytes.size() - cut);
    return {afterDirectory(report(built.bytes, {.skipSttb = true})), built.sectionOffsets[1]};
}

std::string boundsError(const std::string& header, uint64_t offset, uint64_t size) {
    return "ERROR in " + header + " -> the data at offset 0x" + hex(offset) +
           " runs past the end of the file (size 0x" + hex(size) + ").\n";
}

// ---- NMTP ----

std::string nmtpHead(uint64_t start, uint32_t length, uint32_t nTypes) {
    return "NMTP_HEADER (offset: 0x" + hex(start) + "(start), 0x" + hex(start + length) +
           "(end))\n" + kCols2 +
           "  ULONG        NMTP             NMTP\n"
           "  ULONG        sectionLength    " + dec(length) + "(0x" + hex(length) + ") bytes\n"
           "  ULONG        nTypes           " + dec(nTypes) + "\n"
           "  ULONG        N1               0x0\n"
           "  ULONG        N2               0x0\n\n";
}

std::string recordTitle(const std::string& kind, uint32_t type, uint64_t offset) {
    return "  " + kind + " (type: 0x" + hex(type) + ") (offset: 0x" + hex(offset) + ")\n" +
           kCols4;
}

// The record blocks of an NMTP section holding `records` (the text between the header and
// the separator), and where the first record lies.
struct Blocks {
    std::string text;
    uint64_t first = 0;
};
Blocks recordBlocks(std::vector<TypeRecord> records) {
    const uint32_t n = static_cast<uint32_t>(records.size());
    Rendered r = render(kNmtp, typeRecords({.records = std::move(records)}));
    const size_t headEnd = r.text.find("\n\n");
    EXPECT_NE(headEnd, std::string::npos);
    std::string blocks = r.text.substr(headEnd + 2);
    EXPECT_GE(blocks.size(), kSep.size());
    EXPECT_EQ(blocks.substr(blocks.size() - kSep.size()), kSep);
    blocks.resize(blocks.size() - kSep.size());
    return {blocks, r.section + 20 + 4 * uint64_t{n}};
}

TEST(TypeRecords, EveryKindInOneSection) {
    const TypeRecords section{
        .records = {
            Label{.mode = 0},
            Procedure{.argList = 0x1002, .rType = 0x1003, .call = 1, .argCount = 2},
            ArgList{.n1 = 0x7, .types = {0x12, 0x1003}},
            Array{.elemType = 0x74, .n1 = 0x11, .n2 = 0xFFFF, .length = 0xFFFFFFFF,
                  .indexType = 0x12, .n3 = 0x33, .nElements = 5, .n4 = 0x44},
            Struct{.derivedType = 0x1007, .iName = 1, .property = 0xABCD, .nFields = 2,
                   .length = 8, .n1 = 0x1, .n2 = 0x2, .n3 = 0x3},
            Union{.derivedType = 0, .iName = 3, .property = 0, .nFields = 0xFFFFFFFF,
                  .length = 4, .n1 = 0, .n2 = 0, .n3 = 0xFFFF},
            Member{.indexType = 0x0271, .iName = 2, .access = 2, .offset = 65535, .n1 = 0xFF},
            Derived{.n1 = 0, .types = {0x1005}},
            RawRecord{.lfIndex = 0x1004, .body = "abcd"},
        },
        .n1 = 0xDEAD,
        .n2 = 0xBEEF,
    };
    const Rendered r = render(kNmtp, typeRecords(section));
    // Records: 8, 20, 20, 32, 32, 32, 20, 16 and 8 bytes.
    const uint32_t length = 20 + 4 * 9 + 8 + 20 + 20 + 32 + 32 + 32 + 20 + 16 + 8;
    const uint64_t area = r.section + 20 + 4 * 9;
    const std::string expected =
        "NMTP_HEADER (offset: 0x" + hex(r.section) + "(start), 0x" + hex(r.section + length) +
        "(end))\n" + kCols2 +
        "  ULONG        NMTP             NMTP\n"
        "  ULONG        sectionLength    " + dec(length) + "(0x" + hex(length) + ") bytes\n"
        "  ULONG        nTypes           9\n"
        "  ULONG        N1               0xDEAD\n"
        "  ULONG        N2               0xBEEF\n\n" +
        recordTitle("DATAS_LF_LABEL", 0x1000, area) +
        "    ULONG        lf_index         0xE(TYPE_LF_LABEL)\n"
        "    ULONG        mode             NEAR\n\n" +
        recordTitle("DATAS_LF_PROCEDURE", 0x1001, area + 8) +
        "    ULONG        lf_index         0x8(TYPE_LF_PROCEDURE)\n"
        "    ULONG        argList          0x1002\n"
        "    ULONG        rType            0x1003(one of NM types)\n"
        "    ULONG        call             Far C\n"
        "    ULONG        argCount         2\n\n" +
        recordTitle("DATAS_LF_ARGLIST", 0x1002, area + 28) +
        "    ULONG        lf_index         0x2201(TYPE_LF_ARGLIST)\n"
        "    ULONG        N1               0x7\n"
        "    ULONG        argCount         2\n"
        "    ULONG        type             0x12\n"
        "    ULONG        type             0x1003\n\n" +
        recordTitle("DATAS_LF_ARRAY", 0x1003, area + 48) +
        "    ULONG        lf_index         0x1003(TYPE_LF_ARRAY)\n"
        "    ULONG        elemType         0x74(unknown primitive type(not all are set in symdeck))\n"
        "    ULONG        N1               0x11\n"
        "    USHORT       N2               0xFFFF\n"
        "    ULONG        length           -1 bytes\n"
        "    ULONG        indexType        0x12(long)\n"
        "    ULONG        N3               0x33\n"
        "    ULONG        nElements        5\n"
        "    USHORT       N4               0x44\n\n" +
        recordTitle("DATAS_LF_STRUCT", 0x1004, area + 80) +
        "    ULONG        lf_index         0x1005(TYPE_LF_STRUCT)\n"
        "    ULONG        derivedType      0x1007\n"
        "    ULONG        iName            1(\"POINT\")\n"
        "    USHORT       property         0xABCD\n"
        "    ULONG        nFields          2\n"
        "    ULONG        length           8(0x8) bytes\n"
        "    ULONG        N1               0x1\n"
        "    ULONG        N2               0x2\n"
        "    USHORT       N3               0x3\n\n" +
        recordTitle("TYPE_LF_UNION", 0x1005, area + 112) +
        "    ULONG        lf_index         0x1006(TYPE_LF_UNION)\n"
        "    ULONG        derivedType      0x0\n"
        "    ULONG        iName            3(\"count\")\n"
        "    USHORT       property         0x0\n"
        "    ULONG        nFields          -1\n"
        "    ULONG        length           4(0x4) bytes\n"
        "    ULONG        N1               0x0\n"
        "    ULONG        N2               0x0\n"
        "    USHORT       N3               0xFFFF\n\n" +
        recordTitle("DATAS_LF_MEMBER", 0x1006, area + 144) +
        "    ULONG        lf_index         0x1406(TYPE_LF_MEMBER)\n"
        "    ULONG        indexType        0x271(far pointer to a wide char)\n"
        "    ULONG        iName            2(\"x\")\n"
        "    USHORT       access           protected\n"
        "    USHORT       offset           65535\n"
        "    ULONG        N1               0xFF\n\n" +
        recordTitle("DATAS_LF_DERIVED", 0x1007, area + 164) +
        "    ULONG        lf_index         0x2204(TYPE_LF_DERIVED)\n"
        "    ULONG        N1               0x0\n"
        "    ULONG        argCount         1\n"
        "    ULONG        type             0x1005\n\n" +
        recordTitle("unknown type", 0x1008, area + 180) +
        "    ULONG        lf_index         0x1004\n" + kHint + kSep;
    EXPECT_EQ(r.text, expected);
}

TEST(TypeRecords, NoRecords) {
    const Rendered r = render(kNmtp, typeRecords({}));
    EXPECT_EQ(r.text, nmtpHead(r.section, 20, 0) + kSep);
}

std::string procedureBlock(uint64_t at, const std::string& callLine) {
    return recordTitle("DATAS_LF_PROCEDURE", 0x1000, at) +
           "    ULONG        lf_index         0x8(TYPE_LF_PROCEDURE)\n"
           "    ULONG        argList          0x0\n"
           "    ULONG        rType            0x3(void)\n" +
           callLine + "    ULONG        argCount         0\n\n";
}

TEST(TypeRecords, CallingConventions) {
    const struct {
        uint32_t call;
        std::string line;
    } cases[] = {
        {0, "    ULONG        call             Near C (arguments pushed right to left, caller pops arguments)\n"},
        {1, "    ULONG        call             Far C\n"},
        {2, "    ULONG        call             Near pascal  (arguments pushed left to right, callee pops arguments)\n"},
        {3, "    ULONG        call             Far pascal\n"},
        {4, "    ULONG        call             Near fastcall\n"},
        {5, "    ULONG        call             Far fastcall\n"},
        {6, "    ULONG        call             Pcode\n"},
        {7, "    ULONG        call             Near stdcall\n"},
        {8, "    ULONG        call             Far stdcall\n"},
        {9, "    ULONG        call             Near syscall\n"},
        {10, "    ULONG        call             Far syscall\n"},
        {11, "    ULONG        call             This call\n"},
        {12, "    ULONG        call             MIPS call\n"},
        {13, "    ULONG        call             Generic\n"},
        {14, "    ULONG        call             unknown(14)\n"},
        {0x7FFFFFFF, "    ULONG        call             unknown(2147483647)\n"},
        {0x80000000, "    ULONG        call             unknown(-2147483648)\n"},
        {0xFFFFFFFF, "    ULONG        call             unknown(-1)\n"},
    };
    for (const auto& c : cases) {
        const Blocks b = recordBlocks({Procedure{.rType = 0x0003, .call = c.call}});
        EXPECT_EQ(b.text, procedureBlock(b.first, c.line)) << "call " << c.call;
    }
}

TEST(TypeRecords, LabelModes) {
    const struct {
        uint32_t mode;
        std::string value;
    } cases[] = {{0, "NEAR"}, {4, "FAR"}, {1, "0x1"}, {2, "0x2"}, {0xFFFFFFFF, "0xFFFFFFFF"}};
    for (const auto& c : cases) {
        const Blocks b = recordBlocks({Label{.mode = c.mode}});
        EXPECT_EQ(b.text, recordTitle("DATAS_LF_LABEL", 0x1000, b.first) +
                              "    ULONG        lf_index         0xE(TYPE_LF_LABEL)\n"
                              "    ULONG        mode             " + c.value + "\n\n")
            << "mode " << c.mode;
    }
}

TEST(TypeRecords, MemberAccess) {
    const struct {
        uint16_t access;
        std::string line;
    } cases[] = {
        {0, "    USHORT       access           none\n"},
        {1, "    USHORT       access           private\n"},
        {2, "    USHORT       access           protected\n"},
        {3, "    USHORT       access           public\n"},
        // The one line whose name column is 18 characters wide.
        {4, "    USHORT       access            unknown(4)\n"},
        {0xFFFF, "    USHORT       access            unknown(65535)\n"},
    };
    for (const auto& c : cases) {
        const Blocks b =
            recordBlocks({Member{.indexType = 0x12, .iName = 7, .access = c.access, .offset = 4}});
        EXPECT_EQ(b.text, recordTitle("DATAS_LF_MEMBER", 0x1000, b.first) +
                              "    ULONG        lf_index         0x1406(TYPE_LF_MEMBER)\n"
                              "    ULONG        indexType        0x12(long)\n"
                              "    ULONG        iName            7(\"iName is out of range\")\n" +
                              c.line +
                              "    USHORT       offset           4\n"
                              "    ULONG        N1               0x0\n\n")
            << "access " << c.access;
    }
}

TEST(TypeRecords, UnknownKindsGetTheReadingHint) {
    for (uint32_t lfIndex : {0x1004u, 0x0001u, 0x0u, 0xFu, 0x2202u, 0xFFFFFFFFu}) {
        const Blocks b = recordBlocks({RawRecord{.lfIndex = lfIndex}});
        EXPECT_EQ(b.text, recordTitle("unknown type", 0x1000, b.first) +
                              "    ULONG        lf_index         0x" + hex(lfIndex) + "\n" + kHint)
            << "lf_index " << lfIndex;
    }
    // Exactly one backslash in the hint.
    EXPECT_EQ(std::count(kHint.begin(), kHint.end(), '\\'), 1);
}

TEST(TypeRecords, EmptyLists) {
    const Blocks b = recordBlocks({ArgList{}, Derived{.n1 = 0x5}});
    EXPECT_EQ(b.text, recordTitle("DATAS_LF_ARGLIST", 0x1000, b.first) +
                          "    ULONG        lf_index         0x2201(TYPE_LF_ARGLIST)\n"
                          "    ULONG        N1               0x0\n"
                          "    ULONG        argCount         0\n\n" +
                          recordTitle("DATAS_LF_DERIVED", 0x1001, b.first + 12) +
                          "    ULONG        lf_index         0x2204(TYPE_LF_DERIVED)\n"
                          "    ULONG        N1               0x5\n"
                          "    ULONG        argCount         0\n\n");
}

std::string labelBlock(uint32_t type, uint64_t at, const std::string& mode) {
    return recordTitle("DATAS_LF_LABEL", type, at) +
           "    ULONG        lf_index         0xE(TYPE_LF_LABEL)\n"
           "    ULONG        mode             " + mode + "\n\n";
}

// Records are reached only through the offset table: in its order, wherever they lie, as
// often as the table names them, with type indices counted by table position.
TEST(TypeRecords, OffsetTableDecidesOrderAndTypeIndex) {
    std::vector<uint32_t> offsets = {8, 0, 8};
    for (int i = 3; i < 17; ++i) offsets.push_back(0);
    const Rendered r = render(kNmtp, typeRecords({.records = {Label{.mode = 0}, Label{.mode = 4}},
                                                  .typeOffsets = offsets}));
    const uint64_t area = r.section + 20 + 4 * 17;
    std::string expected = nmtpHead(r.section, 20 + 4 * 17 + 16, 17) +
                           labelBlock(0x1000, area + 8, "FAR") +
                           labelBlock(0x1001, area, "NEAR") +
                           labelBlock(0x1002, area + 8, "FAR");
    for (uint32_t i = 3; i < 17; ++i) expected += labelBlock(0x1000 + i, area, "NEAR");
    EXPECT_EQ(r.text, expected + kSep);
    EXPECT_NE(r.text.find("  DATAS_LF_LABEL (type: 0x1010) (offset: 0x" + hex(area) + ")\n"),
              std::string::npos);
}

// ---- NMTP damage: every read stays inside the image, and the report ends on the line
// that names the first byte that is missing. ----

TEST(TypeRecords, WrongSignature) {
    const Rendered r = render(kNmtp, typeRecords({.signature = "NMTQ"}));
    EXPECT_EQ(r.text, "ERROR in NMTP_HEADER -> the signature was not correct.\n");
}

TEST(TypeRecords, HeaderCutShort) {
    const Rendered r = render(kNmtp, typeRecords({}), 1);
    EXPECT_EQ(r.text, boundsError("NMTP_HEADER", r.section, r.section + 19));
}

TEST(TypeRecords, OffsetTableCutShort) {
    // nTypes says 3 but only one offset and no record bytes follow the header.
    const Rendered r = render(kNmtp, typeRecords({.nTypes = 3, .typeOffsets = std::vector<uint32_t>{0}}));
    const uint64_t size = r.section + 24;
    // Entry 0 points at the records area (section + 32), which lies past the end.
    EXPECT_EQ(r.text, nmtpHead(r.section, 24, 3) + boundsError("NMTP_HEADER", r.section + 32, size));

    const Rendered t = render(kNmtp, typeRecords({.nTypes = 2}));
    EXPECT_EQ(t.text, nmtpHead(t.section, 20, 2) + boundsError("NMTP_HEADER", t.section + 20, t.section + 20));
}

TEST(TypeRecords, RecordPastTheEnd) {
    // An offset far beyond the image: the record's address is computed in 64 bits, so it
    // does not wrap around into the image.
    const Rendered r = render(kNmtp, typeRecords({.records = {Label{}},
                                                  .typeOffsets = std::vector<uint32_t>{0, 0xFFFFFFFF}}));
    const uint64_t area = r.section + 28;
    EXPECT_EQ(r.text, nmtpHead(r.section, 36, 2) + labelBlock(0x1000, area, "NEAR") +
                          boundsError("NMTP_HEADER", area + 0xFFFFFFFF, area + 8));
}

TEST(TypeRecords, FixedPartCutShort) {
    // The lf_index is there, the rest of the 20-byte procedure record is not.
    const Rendered r = render(kNmtp, typeRecords({.records = {Procedure{}}, .sectionLength = 44}), 1);
    EXPECT_EQ(r.text, nmtpHead(r.section, 44, 1) +
                          boundsError("NMTP_HEADER", r.section + 24, r.section + 43));
}

TEST(TypeRecords, ListEntryPastTheEnd) {
    const Rendered r =
        render(kNmtp, typeRecords({.records = {ArgList{.types = {0x12}, .argCount = 3}}}));
    const uint64_t at = r.section + 24;
    EXPECT_EQ(r.text, nmtpHead(r.section, 40, 1) + recordTitle("DATAS_LF_ARGLIST", 0x1000, at) +
                          "    ULONG        lf_index         0x2201(TYPE_LF_ARGLIST)\n"
                          "    ULONG        N1               0x0\n"
                          "    ULONG        argCount         3\n"
                          "    ULONG        type             0x12\n" +
                          boundsError("NMTP_HEADER", at + 16, at + 16));
}

// Many table entries naming one long list ask for far more text than the image could
// justify; the report stops at its size limit instead.
TEST(TypeRecords, RepeatedLongListStopsAtTheReportLimit) {
    const Rendered r = render(kNmtp, typeRecords({.records = {ArgList{.types = std::vector<uint32_t>(1000, 0x12)}},
                                                  .typeOffsets = std::vector<uint32_t>(100, 0)}));
    EXPECT_EQ(lastLine(r.text).rfind("ERROR in NMTP_HEADER -> the report has reached its limit of 0x", 0), 0u);
}

// ---- TYTB ----

std::string tytbHead(uint64_t start, uint32_t length, uint32_t offTypeTables) {
    return "TYTB_HEADER (offset: 0x" + hex(start) + ")\n" + kCols2 +
           "  ULONG        TYTB             TYTB\n"
           "  ULONG        sectionLength    " + dec(length) + "(0x" + hex(length) + ") bytes\n"
           "  ULONG        offTypeTables    0x" + hex(offTypeTables) + "\n"
           "  ULONG        N1               0x0\n"
           "  ULONG        N2               0x0\n\n";
}

TEST(TypeTables, Entries) {
    const Rendered r = render(kTytb, typeTables({.entries = {{.type = 0x1005, .iName = 1},
                                                             {.type = 0x0074, .iName = 4},
                                                             {.type = 0x0012, .iName = 0xFFFFFFFF}},
                                                 .n1 = 0x1, .n2 = 0xFFFFFFFF}));
    // The entries begin 0x18 bytes into the section; offTypeTables counts from the image.
    const uint64_t first = r.section + 0x18;
    const std::string expected =
        "TYTB_HEADER (offset: 0x" + hex(r.section) + ")\n" + kCols2 +
        "  ULONG        TYTB             TYTB\n"
        "  ULONG        sectionLength    48(0x30) bytes\n"
        "  ULONG        offTypeTables    0x" + hex(first) + "\n"
        "  ULONG        N1               0x1\n"
        "  ULONG        N2               0xFFFFFFFF\n\n"
        "  TYPETABLE (offset: 0x" + hex(first) + ")\n" + kCols4 +
        "    ULONG        type             0x1005(one of NM types)\n"
        "    ULONG        iName            1(\"POINT\")\n\n"
        "  TYPETABLE (offset: 0x" + hex(first + 8) + ")\n" + kCols4 +
        "    ULONG        type             0x74(unknown primitive type(not all are set in symdeck))\n"
        "    ULONG        iName            4(\"iName is out of range\")\n\n"
        "  TYPETABLE (offset: 0x" + hex(first + 16) + ")\n" + kCols4 +
        "    ULONG        type             0x12(long)\n"
        "    ULONG        iName            -1(\"iName is out of range\")\n\n" + kSep;
    EXPECT_EQ(r.text, expected);
}

TEST(TypeTables, NoEntries) {
    const Rendered r = render(kTytb, typeTables({}));
    EXPECT_EQ(r.text, tytbHead(r.section, 24, static_cast<uint32_t>(r.section + 24)) + kSep);
}

TEST(TypeTables, Damaged) {
    const Rendered bad = render(kTytb, typeTables({.signature = "TYTX"}));
    EXPECT_EQ(bad.text, "ERROR in TYTB_HEADER -> the signature was not correct.\n");

    const Rendered shortHeader = render(kTytb, typeTables({}), 4);
    EXPECT_EQ(shortHeader.text, boundsError("TYTB_HEADER", shortHeader.section, shortHeader.section + 20));

    const Rendered r = render(kTytb, typeTables({.entries = {{.type = 0x3, .iName = 2}},
                                                 .sectionLength = 40, .nTypeTables = 2}));
    const uint64_t first = r.section + 24;
    EXPECT_EQ(r.text, tytbHead(r.section, 40, static_cast<uint32_t>(first)) +
                          "  TYPETABLE (offset: 0x" + hex(first) + ")\n" + kCols4 +
                          "    ULONG        type             0x3(void)\n"
                          "    ULONG        iName            2(\"x\")\n\n" +
                          boundsError("TYTB_HEADER", first + 8, first + 8));

    const Rendered far = render(kTytb, typeTables({.nTypeTables = 1, .offTypeTables = 0xFFFFFFFC}));
    EXPECT_EQ(far.text, tytbHead(far.section, 24, 0xFFFFFFFC) +
                            boundsError("TYTB_HEADER", 0xFFFFFFFC, far.section + 24));
}

// ---- HSHT ----

std::string hshtHead(uint64_t start, uint32_t length, uint32_t sizeTableOffsets,
                     uint32_t nTypes, uint64_t list, uint64_t entries) {
    return "HSHT_HEADER (offset: 0x" + hex(start) + ")\n" + kCols2 +
           "  ULONG        HSHT             HSHT\n"
           "  ULONG        sectionLength    " + dec(length) + "(0x" + hex(length) + ") bytes\n"
           "  ULONG        sizeTableOffsets 0x" + hex(sizeTableOffsets) + "\n"
           "  ULONG        nTypes           " + dec(nTypes) + "\n"
           "  ULONG        offTableOffsets  0x" + hex(list) + "\n"
           "  ULONG        offTypeTables    0x" + hex(entries) + "\n"
           "  ULONG        N1               0x0\n"
           "  ULONG        N2               0x0\n\n";
}

TEST(HashTables, ListAndEntries) {
    std::vector<uint32_t> list(17, 0);
    list[0] = 0xFFFFFFFF;
    list[16] = 0x1234;
    const Rendered r = render(kHsht, hashTables({
        .tableOffsets = list,
        .entries = {{.offPreviousTable = 0, .hashNumber = 0x2A, .iName = 1, .type = 0x1002, .n1 = 0x9},
                    {.offPreviousTable = 0xDEADBEEF, .hashNumber = 0, .iName = 9, .type = 0x22},
                    {.offPreviousTable = 0x10, .hashNumber = 0xFFFFFFFF, .iName = 3, .type = 0}},
        .n1 = 0xA, .n2 = 0xB}));
    const uint64_t listAt = r.section + 32;
    const uint64_t first = listAt + 4 * 17;
    const uint32_t length = 32 + 4 * 17 + 3 * 20;
    std::string expected =
        "HSHT_HEADER (offset: 0x" + hex(r.section) + ")\n" + kCols2 +
        "  ULONG        HSHT             HSHT\n"
        "  ULONG        sectionLength    " + dec(length) + "(0x" + hex(length) + ") bytes\n"
        "  ULONG        sizeTableOffsets 0x11\n"
        "  ULONG        nTypes           3\n"
        "  ULONG        offTableOffsets  0x" + hex(listAt) + "\n"
        "  ULONG        offTypeTables    0x" + hex(first) + "\n"
        "  ULONG        N1               0xA\n"
        "  ULONG        N2               0xB\n\n"
        " Type Table Offsets: (offset: 0x" + hex(listAt) + ")\n"
        "  ULONG        offset           0xFFFFFFFF\n";
    for (int i = 1; i < 16; ++i) expected += "  ULONG        offset           0x0\n";
    expected +=
        "  ULONG        offset           0x1234\n"
        "\n Type Tables:\n"
        "  HSHT_TYPETABLE (offset: 0x" + hex(first) + ")\n" + kCols4 +
        "    ULONG        offPreviousTable 0x0\n"
        "    ULONG        hashNumber       0x2A\n"
        "    ULONG        iName            1(\"POINT\")\n"
        "    ULONG        type             0x1002(one of NM types)\n"
        "    ULONG        N1               0x9\n\n"
        "  HSHT_TYPETABLE (offset: 0x" + hex(first + 20) + ")\n" + kCols4 +
        "    ULONG        offPreviousTable 0xDEADBEEF\n"
        "    ULONG        hashNumber       0x0\n"
        "    ULONG        iName            9(\"iName is out of range\")\n"
        "    ULONG        type             0x22(unsigned long)\n"
        "    ULONG        N1               0x0\n\n"
        "  HSHT_TYPETABLE (offset: 0x" + hex(first + 40) + ")\n" + kCols4 +
        "    ULONG        offPreviousTable 0x10\n"
        "    ULONG        hashNumber       0xFFFFFFFF\n"
        "    ULONG        iName            3(\"count\")\n"
        "    ULONG        type             0x0(no Type)\n"
        "    ULONG        N1               0x0\n\n" + kSep;
    EXPECT_EQ(r.text, expected);
}

TEST(HashTables, ZeroCounts) {
    const Rendered none = render(kHsht, hashTables({}));
    const uint64_t at = none.section + 32;
    EXPECT_EQ(none.text, hshtHead(none.section, 32, 0, 0, at, at) +
                             " Type Table Offsets: (offset: 0x" + hex(at) + ")\n"
                             "\n Type Tables:\n" + kSep);

    const Rendered noList = render(kHsht, hashTables({.entries = {{.iName = 2, .type = 0x3}}}));
    const uint64_t e = noList.section + 32;
    EXPECT_EQ(noList.text, hshtHead(noList.section, 52, 0, 1, e, e) +
                               " Type Table Offsets: (offset: 0x" + hex(e) + ")\n"
                               "\n Type Tables:\n"
                               "  HSHT_TYPETABLE (offset: 0x" + hex(e) + ")\n" + kCols4 +
                               "    ULONG        offPreviousTable 0x0\n"
                               "    ULONG        hashNumber       0x0\n"
                               "    ULONG        iName            2(\"x\")\n"
                               "    ULONG        type             0x3(void)\n"
                               "    ULONG        N1               0x0\n\n" + kSep);

    const Rendered noEntries = render(kHsht, hashTables({.tableOffsets = {0x40}}));
    const uint64_t l = noEntries.section + 32;
    EXPECT_EQ(noEntries.text, hshtHead(noEntries.section, 36, 1, 0, l, l + 4) +
                                  " Type Table Offsets: (offset: 0x" + hex(l) + ")\n"
                                  "  ULONG        offset           0x40\n"
                                  "\n Type Tables:\n" + kSep);
}

TEST(HashTables, Damaged) {
    const Rendered bad = render(kHsht, hashTables({.signature = "HSH"}));
    EXPECT_EQ(bad.text, "ERROR in HSHT_HEADER -> the signature was not correct.\n");

    const Rendered shortHeader = render(kHsht, hashTables({}), 1);
    EXPECT_EQ(shortHeader.text, boundsError("HSHT_HEADER", shortHeader.section, shortHeader.section + 31));

    // The offsets list claims five values; one is there.
    const Rendered list = render(kHsht, hashTables({.tableOffsets = {0x7}, .sizeTableOffsets = 5}));
    const uint64_t l = list.section + 32;
    EXPECT_EQ(list.text, hshtHead(list.section, 36, 5, 0, l, l + 4) +
                             " Type Table Offsets: (offset: 0x" + hex(l) + ")\n"
                             "  ULONG        offset           0x7\n" +
                             boundsError("HSHT_HEADER", l + 4, l + 4));

    // Two entries claimed, one present.
    const Rendered entries = render(kHsht, hashTables({.entries = {{.hashNumber = 0x1}}, .nTypes = 2}));
    const uint64_t e = entries.section + 32;
    EXPECT_EQ(entries.text, hshtHead(entries.section, 52, 0, 2, e, e) +
                                " Type Table Offsets: (offset: 0x" + hex(e) + ")\n"
                                "\n Type Tables:\n"
                                "  HSHT_TYPETABLE (offset: 0x" + hex(e) + ")\n" + kCols4 +
                                "    ULONG        offPreviousTable 0x0\n"
                                "    ULONG        hashNumber       0x1\n"
                                "    ULONG        iName            0(\"_TEXT\")\n"
                                "    ULONG        type             0x0(no Type)\n"
                                "    ULONG        N1               0x0\n\n" +
                                boundsError("HSHT_HEADER", e + 20, e + 20));
}

}  // namespace
}  // namespace symdeck::test

// The SYMD section: the frame, each record kind and branch, and damaged sections.
//
// The builder lays a section out as: SYMD header (44 bytes), the optional gap, the
// SEGMENTDATA_HEADER (12), the 54-byte segment records, then per segment its procedures,
// local-variable area, register area, source sections, line rows, VLP area and VLP offsets,
// then the optional gap and the source files. Expected offsets below follow that layout.
#include <gtest/gtest.h>

#include <cstdio>

#include "nmsbuild/sample.h"
#include "nmsbuild/symbols_build.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;

const std::vector<std::string> kNames = {"_TEXT", "main", "argc", "count", "app.c", "total"};

struct Rendered {
    std::string symd;      // the report from the SYMD title on
    uint64_t start = 0;    // the section's image offset
    uint64_t size = 0;     // the image's size
};

Rendered render(SymbolData symd, uint32_t verMinor = 2, uint64_t cutTo = 0) {
    Database db;
    db.header.verMinor = verMinor;
    db.entries.push_back({kSttb, stringTable({.names = kNames})});
    db.entries.push_back({kSymd, symbolData(std::move(symd))});
    Built built = build(db);
    if (cutTo != 0) built.bytes.resize(cutTo);
    // The string table's block comes first; the SYMD text follows its separator.
    const std::string text = afterDirectory(report(built.bytes));
    return {text.substr(text.find(kSep) + kSep.size()), built.sectionOffsets[1], built.bytes.size()};
}

// The text written under the one segment of `symd`: behind its field lines, up to the
// source-file list.
std::string segmentBody(const std::string& symd) {
    const size_t fields = symd.find("offSCLineDef");
    const size_t from = symd.find("\n\n", fields) + 2;
    return symd.substr(from, symd.find("\n  Source Files Definitions:\n") - from);
}

std::string hex06(uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%06llX", static_cast<unsigned long long>(value));
    return buffer;
}

std::string title(int indent, const std::string& name, uint64_t offset) {
    return std::string(indent, ' ') + name + " (offset: 0x" + hex(offset) + ")\n" +
           std::string(indent + 2, ' ') + "type         name             value\n";
}

std::string boundsError(uint64_t offset, uint64_t size) {
    return "ERROR in SYMD_HEADER -> the data at offset 0x" + hex(offset) +
           " runs past the end of the file (size 0x" + hex(size) + ").\n";
}

const std::string kTildes =
    "    ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n";
// The blank line that ends a segment's line table, whether or not it has rows.
const std::string kBlank = "\n";
const std::string kSourceFiles = "\n  Source Files Definitions:\n";

// Segment 0's base, and the start of its areas, with no gap before the segment data.
uint64_t segmentBase(const Rendered& r) { return r.start + 44 + 12; }
uint64_t areas(const Rendered& r) { return r.start + 56 + 54; }

TEST(SymbolData, WholeSection) {
    const Rendered r = render({
        .n = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88},
        .segments = {{.nSeg = 1,
                      .iName = 0,
                      .n1 = 0xABC,
                      .physSize = 4096,
                      .procedures = {{.offStartProc = 0x10,
                                      .offEndProc = 0x4F,
                                      .locals = {{.type = 0x0012, .iName = 2, .offVLP = 8}},
                                      .registers = {{.type = 0x0022, .iName = 3,
                                                     .parameterOffset = 4, .registerNumber = 17}},
                                      .m1 = 5,
                                      .n1 = 6}},
                      .sourceSections = {{.offStart = 0x10, .offEnd = 0x4F,
                                          .lines = {{0x10, 7}, {0x1A, 0xFFFFFFFF}}}},
                      .vlpEntries = {{.tableType = 7, .type = 0x1000, .iName = 1, .offVLP = 0x10}}}},
        .sourceFiles = {{.iName = 4, .sourceLength = 1834, .n1 = 1, .n2 = 2}},
        .gapBeforeSegmentData = 4,
        .gapBeforeSourceFiles = 6,
    });
    const uint64_t h = r.start + 48, b = h + 12, p = b + 54, l = p + 32, reg = l + 16,
                   ss = reg + 18, ln = ss + 20, v = ln + 16, f = v + 16 + 4 + 6;
    const std::string expected =
        "SYMD_HEADER (offset: 0x" + hex(r.start) + "(start), 0x" + hex(r.start + 262) + "(end))\n"
        "  type         name             value\n"
        "  ULONG        SYMD             SYMD\n"
        "  ULONG        sectionLength    262(0x106) bytes\n"
        "  ULONG        offSData_header  0x" + hex(h) + "\n"
        "  ULONG        N1               0x11\n"
        "  ULONG        N2               0x22\n"
        "  ULONG        N3               0x33\n"
        "  ULONG        N4               0x44\n"
        "  ULONG        N5               0x55\n"
        "  ULONG        N6               0x66\n"
        "  ULONG        N7               0x77\n"
        "  ULONG        N8               0x88\n\n" +
        title(2, "SEGMENTDATA_HEADER", h) +
        "    ULONG        subSectionLength 194(0xC2) bytes\n"
        "    ULONG        nSourceFiles     1\n"
        "    ULONG        nSegments        1\n\n" +
        kTildes + title(4, "SEGMENTDATA", b) +
        "      USHORT       nSeg             1\n"
        "      ULONG        iName            0(\"_TEXT\")\n"
        "      ULONG        N1               0xABC\n"
        "      ULONG        physSize         4096(0x1000) bytes\n"
        "      ULONG        offProcDef       0x36\n"
        "      ULONG        nProcedures      1\n"
        "      ULONG        offLVarDef       0x56\n"
        "      ULONG        offRegDef        0x66\n"
        "      ULONG        offVLPDef        0x9C\n"
        "      ULONG        nVLP             1\n"
        "      ULONG        offVLPOffsets    0xAC\n"
        "      ULONG        offSourceSDef    0x78\n"
        "      ULONG        nSourceSec       1\n"
        "      ULONG        offSCLineDef     0x8C\n\n" +
        title(6, "SEGDATA_PROCEDURE", p) +
        "        ULONG        offStartProc     0x10\n"
        "        ULONG        offEndProc       0x4F\n"
        "        ULONG        offLocVariables  0x0\n"
        "        ULONG        nLocalVariables  1\n"
        "        ULONG        offRegVariables  0x0\n"
        "        ULONG        sizeRegVariables 18(0x12) bytes (nRegisters: 1)\n"
        "        ULONG        M1               0x5\n"
        "        ULONG        N1               0x6\n\n" +
        title(10, "SEGDATA_VLPTABLE", l) +
        "            USHORT       size             0x10\n"
        "            USHORT       tableType        1(TT_LOCALV)\n"
        "            ULONG        type             0x12(long)\n"
        "            ULONG        iName            2(\"argc\")\n"
        "            ULONG        offVLP           0x8\n\n" +
        title(10, "SEGDATA_REGISTER", reg) +
        "            USHORT       size             0x12\n"
        "            USHORT       tableType        2(TT_REGISTER)\n"
        "            ULONG        type             0x22(unsigned long)\n"
        "            ULONG        iName            3(\"count\")\n"
        "            ULONG        parameterOffset  0x4\n"
        "            ULONG        registerNumber   17(eax)\n\n"
        "      SEGDATA_SOURCELINES\n"
        "        offset       offInCode        lineNumber\n"
        "        0x" + hex06(ln) + "     0x000010         7\n"
        "        0x" + hex06(ln + 8) + "     0x00001A         -1\n"
        "\n" +
        title(6, "SEGDATA_SOURCESECTION", ss) +
        "        ULONG        offStart         0x10\n"
        "        ULONG        offEnd           0x4F\n"
        "        ULONG        offSourceLines   0x8C\n"
        "        ULONG        nLineTables      2\n"
        "        ULONG        offInSFDef       0x0\n\n" +
        title(6, "SEGDATA_VLPTABLE", v) +
        "        USHORT       size             0x10\n"
        "        USHORT       tableType        7(TT_LOCALP)\n"
        "        ULONG        type             0x1000(one of NM types)\n"
        "        ULONG        iName            1(\"main\")\n"
        "        ULONG        offVLP           0x10\n\n" +
        kSourceFiles + title(4, "SEGDATA_SOURCEFILE", f) +
        "      ULONG        iName            4(\"app.c\")\n"
        "      ULONG        offSource        0x0\n"
        "      ULONG        sourceLength     1834(0x72A) bytes\n"
        "      ULONG        N1               0x1\n"
        "      ULONG        N2               0x2\n\n" +
        kSep;
    EXPECT_EQ(r.symd, expected);
}

TEST(SymbolData, NoSegmentsNoSourceFiles) {
    const Rendered r = render({});
    const uint64_t h = r.start + 44;
    EXPECT_EQ(r.symd.substr(r.symd.find("  SEGMENTDATA_HEADER")),
              title(2, "SEGMENTDATA_HEADER", h) +
                  "    ULONG        subSectionLength 12(0xC) bytes\n"
                  "    ULONG        nSourceFiles     0\n"
                  "    ULONG        nSegments        0\n\n" +
                  kSourceFiles + kSep);
}

TEST(SymbolData, WrongSignatureEndsTheReport) {
    const Rendered r = render({.signature = "SYMd"});
    EXPECT_EQ(r.symd, "ERROR in SYMD_HEADER -> the signature was not correct.\n");
}

// Segment records lie 54 bytes apart whatever their blocks say, and every segment ends with
// at least the blank line of its (empty) line table.
TEST(SymbolData, SegmentRecordsFollowEachOther) {
    const Rendered r = render({.segments = {{.nSeg = 1}, {.nSeg = 2, .iName = 9}, {.nSeg = 3}}});
    const uint64_t h = r.start + 44;
    std::string expected;
    for (int k = 0; k < 3; ++k)
        expected += kTildes + title(4, "SEGMENTDATA", h + 12 + 54 * k) + "      USHORT       nSeg             " +
                    std::to_string(k + 1) + "\n";
    std::string actual;
    for (size_t at = r.symd.find(kTildes); at != std::string::npos; at = r.symd.find(kTildes, at + 1))
        actual += r.symd.substr(at, r.symd.find("      ULONG        iName", at) - at);
    EXPECT_EQ(actual, expected);
    EXPECT_NE(r.symd.find("      ULONG        iName            9(\"iName is out of range\")\n"),
              std::string::npos);
}

// A procedure block with no variables: offsets 0x10 apart per procedure.
std::string procedureBlock(uint64_t offset, uint32_t k, bool shortForm) {
    return title(6, "SEGDATA_PROCEDURE", offset) +
           "        ULONG        offStartProc     0x" + hex(0x10 * k) + "\n"
           "        ULONG        offEndProc       0x" + hex(0x10 * k + 0xF) + "\n"
           "        ULONG        offLocVariables  0x0\n"
           "        ULONG        nLocalVariables  0\n"
           "        ULONG        offRegVariables  0x0\n"
           "        ULONG        sizeRegVariables 0(0x0) bytes (nRegisters: 0)\n" +
           (shortForm ? "        ULONG        M1               0xFFFFFFFF\n\n"
                      : "        ULONG        M1               0xFFFFFFFF\n"
                        "        ULONG        N1               0x1234\n\n");
}

TEST(SymbolData, ProcedureRecordLengthFollowsTheFormatVersion) {
    for (uint32_t verMinor : {0u, 1u, 2u, 7u}) {
        const bool shortForm = verMinor == 1;
        const uint32_t size = shortForm ? 28 : 32;
        const Rendered r = render(
            {.procedureSize = size,
             .segments = {{.procedures = {{.offStartProc = 0, .offEndProc = 0xF, .m1 = 0xFFFFFFFF, .n1 = 0x1234},
                                          {.offStartProc = 0x10, .offEndProc = 0x1F, .m1 = 0xFFFFFFFF,
                                           .n1 = 0x1234}}}}},
            verMinor);
        const uint64_t p = areas(r);
        EXPECT_EQ(segmentBody(r.symd),
                  procedureBlock(p, 0, shortForm) + procedureBlock(p + size, 1, shortForm) + "\n")
            << "verMinor " << verMinor;
    }
}

std::string localBlock(uint64_t offset, const std::string& tableTypeLine, const std::string& name) {
    return title(10, "SEGDATA_VLPTABLE", offset) +
           "            USHORT       size             0x10\n" + tableTypeLine +
           "            ULONG        type             0x1001(one of NM types)\n"
           "            ULONG        iName            " + name + "\n"
           "            ULONG        offVLP           0x0\n\n";
}

// Each entry's own tableType decides its line; the second procedure's entries begin at the
// area's third entry.
TEST(SymbolData, LocalVariablesAndTheirTableTypes) {
    const auto local = [](uint16_t tableType, uint32_t iName) {
        return VlpEntry{.tableType = tableType, .type = 0x1001, .iName = iName};
    };
    const Rendered r = render({.segments = {{.procedures = {
        {.locals = {local(1, 1), local(5, 2)}},
        {.offStartProc = 0x10, .offEndProc = 0x1F, .locals = {local(0, 3), local(1, 5)}}}}}});
    const uint64_t p = areas(r), l = p + 64;
    const std::string regular = "            USHORT       tableType        1(TT_LOCALV)\n";
    const auto error = [](const std::string& value) {
        return "            ULONG        tableType        TYPE ERROR -> it should be 1(TT_LOCALV) but it's " +
               value + "\n";
    };
    std::string body = segmentBody(r.symd);
    EXPECT_EQ(body.substr(body.find("          SEGDATA_VLPTABLE")),
              localBlock(l, regular, "1(\"main\")") + localBlock(l + 16, error("5"), "2(\"argc\")") +
                  title(6, "SEGDATA_PROCEDURE", p + 32) +
                  "        ULONG        offStartProc     0x10\n"
                  "        ULONG        offEndProc       0x1F\n"
                  "        ULONG        offLocVariables  0x20\n"
                  "        ULONG        nLocalVariables  2\n"
                  "        ULONG        offRegVariables  0x0\n"
                  "        ULONG        sizeRegVariables 0(0x0) bytes (nRegisters: 0)\n"
                  "        ULONG        M1               0x0\n"
                  "        ULONG        N1               0x0\n\n" +
                  localBlock(l + 32, error("0"), "3(\"count\")") +
                  localBlock(l + 48, regular, "5(\"total\")") + "\n");
}

// nRegisters is sizeRegVariables / 18, remainder ignored; three entries lie in the area.
TEST(SymbolData, RegisterVariablesCountAndTableTypes) {
    const std::string typeLines[] = {
        "            USHORT       tableType        2(TT_REGISTER)\n",
        "            USHORT       tableType        3(TT_REGISTER_POINTER)\n",
        "            USHORT       tableType        TYPE ERROR -> it should be 2(TT_REGISTER) or "
        "3(TT_REGISTER_POINTER) but it's 4\n",
    };
    const std::string registerLines[] = {"17(eax)", "146(unknown register)", "0(none)"};
    const struct {
        uint32_t size;
        const char* sizeLine;
        int shown;
    } cases[] = {
        {54, "54(0x36) bytes (nRegisters: 3)", 3},
        {36, "36(0x24) bytes (nRegisters: 2)", 2},
        {40, "40(0x28) bytes (nRegisters: 2)", 2},
        {17, "17(0x11) bytes (nRegisters: 0)", 0},
    };
    for (const auto& c : cases) {
        const Rendered r = render({.segments = {{.procedures = {{
            .registers = {{.tableType = 2, .type = 0x0012, .iName = 3, .parameterOffset = 8, .registerNumber = 17},
                          {.tableType = 3, .type = 0x0012, .iName = 3, .parameterOffset = 8, .registerNumber = 146},
                          {.tableType = 4, .type = 0x0012, .iName = 3, .parameterOffset = 8, .registerNumber = 0}},
            .sizeRegVariables = c.size}}}}});
        const uint64_t p = areas(r), reg = p + 32;
        std::string expected = title(6, "SEGDATA_PROCEDURE", p) +
                               "        ULONG        offStartProc     0x0\n"
                               "        ULONG        offEndProc       0x0\n"
                               "        ULONG        offLocVariables  0x0\n"
                               "        ULONG        nLocalVariables  0\n"
                               "        ULONG        offRegVariables  0x0\n"
                               "        ULONG        sizeRegVariables " + std::string(c.sizeLine) + "\n"
                               "        ULONG        M1               0x0\n"
                               "        ULONG        N1               0x0\n\n";
        for (int i = 0; i < c.shown; ++i)
            expected += title(10, "SEGDATA_REGISTER", reg + 18 * i) +
                        "            USHORT       size             0x12\n" + typeLines[i] +
                        "            ULONG        type             0x12(long)\n"
                        "            ULONG        iName            3(\"count\")\n"
                        "            ULONG        parameterOffset  0x8\n"
                        "            ULONG        registerNumber   " + registerLines[i] + "\n\n";
        EXPECT_EQ(segmentBody(r.symd), expected + "\n") << c.size;
    }
}

std::string sectionBlock(uint64_t offset, uint32_t offSourceLines, const std::string& nLineTables) {
    return title(6, "SEGDATA_SOURCESECTION", offset) +
           "        ULONG        offStart         0x100\n"
           "        ULONG        offEnd           0x1FF\n"
           "        ULONG        offSourceLines   0x" + hex(offSourceLines) + "\n"
           "        ULONG        nLineTables      " + nLineTables + "\n"
           "        ULONG        offInSFDef       0x0\n\n";
}

TEST(SymbolData, LineTablesAndSourceSections) {
    const auto section = [](std::vector<LineRow> lines, std::optional<uint32_t> n = {}) {
        return SourceSection{.offStart = 0x100, .offEnd = 0x1FF, .lines = std::move(lines),
                             .offSourceLines = 0x77, .nLineTables = n};
    };
    const std::string heading =
        "      SEGDATA_SOURCELINES\n        offset       offInCode        lineNumber\n";
    const auto row = [](uint64_t offset, const std::string& rest) {
        return "        0x" + hex06(offset) + "     " + rest + "\n";
    };

    // No source sections: the blank line alone.
    EXPECT_EQ(segmentBody(render({.segments = {{}}}).symd), "\n");

    // Sections without rows: no table heading.
    {
        const Rendered r = render({.segments = {{.sourceSections = {section({}), section({})}}}});
        const uint64_t s = areas(r);
        EXPECT_EQ(segmentBody(r.symd), kBlank + sectionBlock(s, 0x77, "0") + sectionBlock(s + 20, 0x77, "0"));
    }

    // Rows of all sections form one table from offSCLineDef, whatever offSourceLines says.
    {
        const Rendered r = render({.segments = {{.sourceSections = {
            section({{0x1A, 1}, {0x20, 2}, {0x30, 3}}), section({{0x40, 4}, {0x123456, 0xFFFFFFFF}})}}}});
        const uint64_t s = areas(r), rows = s + 40;
        EXPECT_EQ(segmentBody(r.symd),
                  heading + row(rows, "0x00001A         1") + row(rows + 8, "0x000020         2") +
                      row(rows + 16, "0x000030         3") + row(rows + 24, "0x000040         4") +
                      row(rows + 32, "0x123456         -1") + "\n" + sectionBlock(s, 0x77, "3") +
                      sectionBlock(s + 20, 0x77, "2"));
    }

    // The row count is a 32-bit sum: 0xFFFFFFFF + 2 rows is one row.
    {
        const Rendered r = render({.segments = {{.sourceSections = {
            section({{0x10, 9}}, 0xFFFFFFFF), section({{0x11, 10}}, 2)}}}});
        const uint64_t s = areas(r), rows = s + 40;
        EXPECT_EQ(segmentBody(r.symd), heading + row(rows, "0x000010         9") + "\n" +
                                           sectionBlock(s, 0x77, "-1") + sectionBlock(s + 20, 0x77, "2"));
    }
}

std::string vlpBlock(uint64_t offset, const std::string& tableType, const std::string& type,
                     const std::string& name) {
    return title(6, "SEGDATA_VLPTABLE", offset) +
           "        USHORT       size             0x10\n"
           "        USHORT       tableType        " + tableType + "\n"
           "        ULONG        type             " + type + "\n"
           "        ULONG        iName            " + name + "\n"
           "        ULONG        offVLP           0x0\n\n";
}

TEST(SymbolData, VlpTableTypes) {
    const struct {
        uint16_t tableType;
        const char* line;
    } cases[] = {
        {4, "4(TT_LABEL)"},   {5, "5(TT_VARIABLE)"}, {6, "6(TT_GLOBALV)"},
        {7, "7(TT_LOCALP)"},  {8, "8(TT_GLOBALP)"},  {9, "9(TT_IMPORTD)"},
        {1, "TYPE ERROR -> it should be one of the 4 to 9 but it's 1"},
        {3, "TYPE ERROR -> it should be one of the 4 to 9 but it's 3"},
        {10, "TYPE ERROR -> it should be one of the 4 to 9 but it's 10"},
    };
    Segment segment;
    std::string expectedTail;
    for (const auto& c : cases)
        segment.vlpEntries.push_back({.tableType = c.tableType, .type = 0x22, .iName = 40});
    const Rendered r = render({.segments = {segment}});
    const uint64_t v = areas(r);
    for (size_t i = 0; i < std::size(cases); ++i)
        expectedTail += vlpBlock(v + 16 * i, cases[i].line, "0x22(unsigned long)",
                                 "40(\"iName is out of range\")");
    EXPECT_EQ(segmentBody(r.symd), kBlank + expectedTail);
}

TEST(SymbolData, VlpEntriesInArrayOrderWithRepeats) {
    const Rendered r = render({.segments = {{.vlpEntries = {{.tableType = 4, .iName = 1},
                                                             {.tableType = 5, .iName = 2},
                                                             {.tableType = 6, .iName = 3}},
                                             .vlpOffsets = std::vector<uint32_t>{32, 0, 32}}}});
    const uint64_t v = areas(r);
    EXPECT_EQ(segmentBody(r.symd),
              kBlank + vlpBlock(v + 32, "6(TT_GLOBALV)", "0x0(no Type)", "3(\"count\")") +
                  vlpBlock(v, "4(TT_LABEL)", "0x0(no Type)", "1(\"main\")") +
                  vlpBlock(v + 32, "6(TT_GLOBALV)", "0x0(no Type)", "3(\"count\")"));
}

// The last line of `text` that is not empty.
std::string lastTextLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return lastLine(text);
}

TEST(SymbolData, HeaderCutShortEndsWithTheBoundsError) {
    const uint64_t start = render({}).start;
    const Rendered r = render({}, 2, start + 20);
    EXPECT_EQ(r.symd, boundsError(start, start + 20));
}

// A damaged section ends the report with the bounds error line, naming the first structure
// that does not fit, and nothing follows it. Offsets are 64-bit: nothing wraps round.
TEST(SymbolData, DamagedSectionsEndWithTheBoundsError) {
    using Offset = uint64_t (*)(const Rendered&);
    using Line = std::string (*)(const Rendered&);
    const Line segmentFields = [](const Rendered&) -> std::string { return "      ULONG        offSCLineDef"; };
    const struct {
        const char* what;
        SymbolData symd;
        Offset offset;  // the offset the error names
        Line before;    // the start of the last line written before it
    } cases[] = {
        {"segment data header past the end", {.offSData_header = 0xFFFFFFF8},
         [](const Rendered&) -> uint64_t { return 0xFFFFFFF8; },
         [](const Rendered&) -> std::string { return "  ULONG        N8               0x0"; }},
        {"more segments than records", {.segments = {{}}, .nSegments = 2},
         [](const Rendered& r) { return areas(r); }, segmentFields},
        {"procedures past the end", {.segments = {{.procedures = {{}}, .offProcDef = 0xFFFFFFFF}}},
         [](const Rendered& r) { return segmentBase(r) + 0xFFFFFFFF; }, segmentFields},
        {"more local variables than entries",
         {.segments = {{.procedures = {{.locals = {{}}, .nLocalVariables = 0xFFFFFFFF}}}}},
         [](const Rendered& r) { return areas(r) + 32 + 16; },
         [](const Rendered&) -> std::string { return "            ULONG        offVLP           0x0"; }},
        {"more register bytes than entries",
         {.segments = {{.procedures = {{.registers = {{}}, .sizeRegVariables = 0xFFFFFFFF}}}}},
         [](const Rendered& r) { return areas(r) + 32 + 18; },
         [](const Rendered&) -> std::string { return "            ULONG        registerNumber   0(none)"; }},
        // All source sections are counted before the first row is written.
        {"more source sections than records",
         {.segments = {{.sourceSections = {{.lines = {{1, 1}}}}, .nSourceSec = 3}}},
         [](const Rendered& r) { return areas(r) + 20; }, segmentFields},
        {"more rows than the file holds",
         {.segments = {{.sourceSections = {{.lines = {{1, 1}}, .nLineTables = 3}}}}},
         [](const Rendered& r) { return areas(r) + 20 + 8; },
         [](const Rendered& r) { return "        0x" + hex06(areas(r) + 20) + "     0x000001         1"; }},
        {"VLP offsets past the end", {.segments = {{.nVLP = 2, .offVLPOffsets = 0x7FFFFFFF}}},
         [](const Rendered& r) { return segmentBase(r) + 0x7FFFFFFF; }, segmentFields},
        {"VLP entry past the end",
         {.segments = {{.vlpEntries = {{.tableType = 4}}, .vlpOffsets = std::vector<uint32_t>{0, 0xFFFFFFF0}}}},
         [](const Rendered& r) { return areas(r) + 0xFFFFFFF0; },
         [](const Rendered&) -> std::string { return "        ULONG        offVLP           0x0"; }},
        {"more source files than records", {.sourceFiles = {{}}, .nSourceFiles = 2},
         [](const Rendered& r) { return r.start + 44 + 12 + 20; },
         [](const Rendered&) -> std::string { return "      ULONG        N2               0x0"; }},
    };
    for (const auto& c : cases) {
        const Rendered r = render(c.symd);
        const std::string error = boundsError(c.offset(r), r.size);
        ASSERT_GT(r.symd.size(), error.size()) << c.what;
        EXPECT_EQ(r.symd.substr(r.symd.size() - error.size()), error) << c.what;
        const std::string last = lastTextLine(r.symd.substr(0, r.symd.size() - error.size()));
        EXPECT_EQ(last.substr(0, c.before(r).size()), c.before(r)) << c.what;
    }
}

// Entries named again and again can ask for far more text than the file's size warrants;
// the report stops at its limit with an error line that names the section.
TEST(SymbolData, RepeatedEntriesStopAtTheReportLimit) {
    const Rendered r = render({.segments = {{.vlpEntries = {{.tableType = 4}},
                                             .vlpOffsets = std::vector<uint32_t>(40000, 0)}}});
    const uint64_t limit = 64 * r.size + (uint64_t{1} << 20);
    EXPECT_EQ(lastLine(r.symd),
              "ERROR in SYMD_HEADER -> the report has reached its limit of 0x" + hex(limit) + " bytes.");
    EXPECT_EQ(r.symd.back(), '\n');
}

// The bundled sample lists its symbol data in full: every segment, then the source files.
TEST(SymbolData, SampleDatabaseIsComplete) {
    const std::string text = report(sampleDatabase());
    EXPECT_EQ(text.find("ERROR in"), std::string::npos);
    const size_t symd = text.find("SYMD_HEADER");
    ASSERT_NE(symd, std::string::npos);
    const std::string section = text.substr(symd, text.find(kSep, symd) - symd);
    for (const char* block : {"SEGDATA_PROCEDURE", "          SEGDATA_VLPTABLE", "SEGDATA_REGISTER",
                              "SEGDATA_SOURCELINES", "SEGDATA_SOURCESECTION", "      SEGDATA_VLPTABLE",
                              "SEGDATA_SOURCEFILE"})
        EXPECT_NE(section.find(block), std::string::npos) << block;
}

}  // namespace
}  // namespace symdeck::test

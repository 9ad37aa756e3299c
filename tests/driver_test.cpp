// The walk as a whole: dispatch in directory order, the section selection, the unknown-kind
// text, where the walk stops, and the bounds and size-limit check points.
#include <gtest/gtest.h>

#include "frontend/command_line.h"
#include "nmsbuild/types_build.h"
#include "format/walk.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;

std::string fpodTitle(uint64_t at) {
    return "FPOD_HEADER (offset: 0x" + hex(at) + "(start), 0x" + hex(at + 48) + "(end))\n";
}

TEST(Driver, UnknownKindTextRunsIntoTheNextTitle) {
    Database db;
    db.entries.push_back({.entryIndex = 9});
    db.entries.push_back({kFpod, fpod({})});
    db.entries.push_back({.entryIndex = 0});
    const auto built = build(db);
    std::string fpodBlock = fpodTitle(built.sectionOffsets[1]) +
                            "  type         name             value\n"
                            "  ULONG        FPOD             FPOD\n"
                            "  ULONG        sectionLength    48(0x30) bytes\n";
    for (int i = 1; i <= 10; ++i)
        fpodBlock += "  ULONG        N" + std::to_string(i) + (i < 10 ? " " : "") +
                     "              0x0\n";
    fpodBlock += "\n" + kSep;
    // The last entry is unknown, so the report ends without a line feed.
    EXPECT_EQ(afterDirectory(report(built.bytes)),
              "UNKNOWN SubSection (value 9)" + fpodBlock + "UNKNOWN SubSection (value 0)");
}

// Which sections a selection lets through, by their titles, in directory order.
std::string titlesOf(const std::string& sections) {
    std::string titles;
    size_t at = 0;
    while (at < sections.size()) {
        size_t nl = sections.find('\n', at);
        if (nl == std::string::npos) nl = sections.size();
        const std::string line = sections.substr(at, nl - at);
        if (line.size() > 11 && line.compare(4, 8, "_HEADER ") == 0) titles += line.substr(0, 4) + " ";
        at = nl + 1;
    }
    return titles;
}

TEST(Driver, SectionSelectionDecidesWhatIsRendered) {
    Database db;
    db.entries.push_back({kGtyp, gtyp({})});
    db.entries.push_back({kFpod, fpod({})});
    db.entries.push_back({kSttb, stringTable({.names = {"a"}})});
    db.entries.push_back({kSrcp, srcp({})});
    db.entries.push_back({kFpod, fpod({})});
    const auto bytes = build(db).bytes;
    const struct {
        std::vector<const char*> flags;
        const char* titles;
    } cases[] = {
        {{}, "GTYP FPOD STTB SRCP FPOD "},
        {{"-fpod"}, "GTYP STTB SRCP "},
        {{"-FPOD", "-sttb", "-gtyp"}, "SRCP "},
        {{"+fpod"}, "FPOD FPOD "},
        {{"+Sttb", "+gtyp"}, "GTYP STTB "},
        {{"+nm32"}, ""},
        {{"+nm32", "+srcp"}, "SRCP "},
        {{"-srcp", "+srcp"}, "SRCP "},
        {{"+fpod2", "-fpod-"}, "GTYP FPOD STTB SRCP FPOD "},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"symdeck", "x.nms"};
        argv.insert(argv.end(), c.flags.begin(), c.flags.end());
        const CommandLine line = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(titlesOf(afterDirectory(report(bytes, line.selection))), c.titles)
            << (c.flags.empty() ? "" : c.flags[0]);
    }
}

TEST(Driver, BadSignatureInTheThirdSectionEndsTheReport) {
    Database db;
    db.entries.push_back({kFpod, fpod({})});
    db.entries.push_back({kGtyp, gtyp({})});
    db.entries.push_back({kSrcp, srcp({.signature = "SRCQ"})});
    db.entries.push_back({kFpod, fpod({})});
    const auto built = build(db);
    const std::string text = afterDirectory(report(built.bytes));
    const std::string end = "  ULONG        N2               0x0\n\n" + kSep +
                            "ERROR in SRCP_HEADER -> the signature was not correct.\n";
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
    EXPECT_EQ(titlesOf(text), "FPOD GTYP ");
}

TEST(Driver, TheStringTableIsInstalledFromTheFirstSttbEvenWhenItComesLast) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {"first0", "first1"}})});
    db.entries.push_back({kSttb, stringTable({.names = {"second0", "second1", "second2"}})});
    const std::string text = afterDirectory(report(build(db).bytes, {.skipSttb = false}));
    EXPECT_NE(text.find("  [0] first0\n  [1] first1\n\n"), std::string::npos);
    EXPECT_NE(text.find("  [0] first0\n  [1] first1\n  [2] iName is out of range\n\n"),
              std::string::npos);
    EXPECT_EQ(text.find("second"), std::string::npos);
}

// A type table before the string table, with the string table left out of the report: its
// names still come from the table, which the driver installs before any section.
TEST(Driver, NamesResolveBeforeTheStringTableAndWithItLeftOut) {
    Database db;
    db.entries.push_back({kTytb, typeTables({.entries = {{.type = 0x12, .iName = 1},
                                                         {.type = 0x1000, .iName = 2}}})});
    db.entries.push_back({kSttb, stringTable({.names = {"zero", "one"}})});
    const auto built = build(db);
    const uint64_t first = built.sectionOffsets[0] + 24;
    const std::string entries =
        "  TYPETABLE (offset: 0x" + hex(first) + ")\n"
        "    type         name             value\n"
        "    ULONG        type             0x12(long)\n"
        "    ULONG        iName            1(\"one\")\n\n"
        "  TYPETABLE (offset: 0x" + hex(first + 8) + ")\n"
        "    type         name             value\n"
        "    ULONG        type             0x1000(one of NM types)\n"
        "    ULONG        iName            2(\"iName is out of range\")\n\n" + kSep;
    for (bool skipSttb : {false, true}) {
        const std::string text = afterDirectory(report(built.bytes, {.skipSttb = skipSttb}));
        ASSERT_NE(text.find(entries), std::string::npos) << skipSttb;
        EXPECT_EQ(text.find("STTB_HEADER") != std::string::npos, !skipSttb);
    }
}

// Cuts the bytes of a sound database at a given length and checks the report's last line.
TEST(Bounds, TruncatedDatabasesEndWithTheBoundsErrorOfTheStructureCut) {
    Database db;
    db.entries.push_back({kGtyp, gtyp({})});
    db.entries.push_back({kSttb, stringTable({.names = {"alpha", "beta"}})});
    db.entries.push_back({kSrcp, srcp({})});
    const auto built = build(db);
    const uint64_t gtypAt = built.sectionOffsets[0], sttbAt = built.sectionOffsets[1],
                   srcpAt = built.sectionOffsets[2];
    const struct {
        uint64_t size;
        const char* header;
        uint64_t offset;
    } cases[] = {
        {0, "NM32_HEADER", 0},
        {3, "NM32_HEADER", 0},
        {4, "NM32_HEADER", 0},
        {579, "NM32_HEADER", 0},
        {580, "NMDR_HEADER", 0x244},
        {0x244 + 55, "NMDR_HEADER", 0x244},
        {0x244 + 56, "NMDR_HEADER", 0x27C},
        {0x27C + 35, "NMDR_HEADER", 0x27C},
        {0x27C + 36 * 2 + 35, "NMDR_HEADER", 0x27C + 36 * 2},
        // The string table is installed before the first section: its header is checked
        // first, even though GTYP comes first in the directory.
        {gtypAt + 10, "STTB_HEADER", sttbAt},
        {sttbAt + 19, "STTB_HEADER", sttbAt},
        // With the table installed, the walk reaches GTYP, then the STTB listing.
        {sttbAt + 20, "STTB_HEADER", sttbAt + 20},
        {sttbAt + 27, "STTB_HEADER", sttbAt + 24},
        {srcpAt + 3, "SRCP_HEADER", srcpAt},
        {srcpAt + 19, "SRCP_HEADER", srcpAt},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(built.bytes.begin(), built.bytes.begin() + c.size);
        EXPECT_EQ(lastLine(report(bytes)),
                  std::string("ERROR in ") + c.header + " -> the data at offset 0x" +
                      hex(c.offset) + " runs past the end of the file (size 0x" + hex(c.size) +
                      ").")
            << "size " << c.size;
    }
}

TEST(Bounds, SignatureIsCheckedBeforeTheFixedPart) {
    // Four bytes that fit but are no signature give the signature error, not a bounds error.
    EXPECT_EQ(report({'N', 'M', '3', '3'}),
              kBanner + "ERROR in NM32_HEADER -> the signature was not correct.\n");
    EXPECT_EQ(report({'N', 'M', '3', '2'}),
              kBanner + "ERROR in NM32_HEADER -> the data at offset 0x0 runs past the end of "
                        "the file (size 0x4).\n");
    EXPECT_EQ(report({}), kBanner + "ERROR in NM32_HEADER -> the data at offset 0x0 runs past "
                                    "the end of the file (size 0x0).\n");
}

TEST(Bounds, OffsetsBeyondFourGigabytesPrintInFull) {
    // The directory's entries start at offNMDR + 56: with offNMDR 0xFFFFFFF0 the sum does not
    // wrap, and the offset named is past 32 bits.
    Database db;
    db.header.offNMDR = 0xFFFFFFF0;
    const auto bytes = build(db).bytes;
    EXPECT_EQ(lastLine(report(bytes)),
              "ERROR in NMDR_HEADER -> the data at offset 0xFFFFFFF0 runs past the end of the "
              "file (size 0x" + hex(bytes.size()) + ").");
}

TEST(Limit, AReportThatWouldGrowWithTheSquareOfTheFileStopsAtTheLimit) {
    // One long name, and a string table whose every offset points at it: the listing would
    // print (number of offsets) x (name length) bytes.
    const uint32_t nNames = 16384;
    const std::string name(65536, 'n');
    Database db;
    db.entries.push_back({kSttb, [&](Bytes& out) {
                              out.raw("STTB");
                              out.u32(0);
                              out.u32(nNames);
                              out.u32(0);
                              out.u32(0);
                              for (uint32_t i = 0; i < nNames; ++i) out.u32(0);
                              out.raw(name);
                              out.u8(0);
                          }});
    const auto bytes = build(db).bytes;
    const std::string text = report(bytes);
    const uint64_t limit = reportLimit(bytes.size());
    EXPECT_EQ(lastLine(text), "ERROR in STTB_HEADER -> the report has reached its limit of 0x" +
                                  hex(limit) + " bytes.");
    EXPECT_GE(text.size(), limit);
    EXPECT_LE(text.size(), limit + name.size() + 200);
    // Every listed row before the error is whole.
    const size_t error = text.rfind("ERROR in");
    EXPECT_EQ(text[error - 1], '\n');
    EXPECT_EQ(text.compare(error - 2 - name.size(), name.size() + 2, " " + name + "\n"), 0);
}

}  // namespace
}  // namespace symdeck::test

#include <gtest/gtest.h>

#include "report/reader.h"
#include "report/writer.h"

namespace symdeck {
namespace {

struct NumberCase {
    const char* what;
    void (*write)(ReportWriter&);
    const char* expected;
};

TEST(ReportWriter, NumberFormats) {
    const NumberCase cases[] = {
        {"%d zero", [](ReportWriter& w) { w.dec(0); }, "0"},
        {"%d positive", [](ReportWriter& w) { w.dec(4096); }, "4096"},
        {"%d of 0x7FFFFFFF", [](ReportWriter& w) { w.dec(0x7FFFFFFF); }, "2147483647"},
        {"%d of 0x80000000", [](ReportWriter& w) { w.dec(0x80000000u); }, "-2147483648"},
        {"%d of 0xFFFFFFFF", [](ReportWriter& w) { w.dec(0xFFFFFFFFu); }, "-1"},
        {"%d of a widened USHORT", [](ReportWriter& w) { w.dec(0xFFFF); }, "65535"},
        {"0x%X zero", [](ReportWriter& w) { w.hex0x(0); }, "0x0"},
        {"0x%X upper case", [](ReportWriter& w) { w.hex0x(0xABCDEF); }, "0xABCDEF"},
        {"0x%X all bits", [](ReportWriter& w) { w.hex0x(0xFFFFFFFFu); }, "0xFFFFFFFF"},
        {"%X past 32 bits", [](ReportWriter& w) { w.hex(0x123456789AULL); }, "123456789A"},
        {"0x%06X padded", [](ReportWriter& w) { w.hex06(0x1A); }, "0x00001A"},
        {"0x%06X six digits", [](ReportWriter& w) { w.hex06(0xFFFFFF); }, "0xFFFFFF"},
        {"0x%06X seven digits", [](ReportWriter& w) { w.hex06(0x1000000); }, "0x1000000"},
        {"0x%06X zero", [](ReportWriter& w) { w.hex06(0); }, "0x000000"},
        {"%d(0x%X) bytes", [](ReportWriter& w) { w.decHexBytes(4096); }, "4096(0x1000) bytes"},
        {"%d(0x%X) bytes negative", [](ReportWriter& w) { w.decHexBytes(0xFFFFFFFFu); },
         "-1(0xFFFFFFFF) bytes"},
        {"field columns", [](ReportWriter& w) { w.field(2, "ULONG", "nNames"); },
         "  ULONG        nNames           "},
        {"field with a 16-character name",
         [](ReportWriter& w) { w.field(12, "USHORT", "sizeTableOffsets"); },
         "            USHORT       sizeTableOffsets "},
        {"field with the widest type word", [](ReportWriter& w) { w.field(2, "CHAR[0x104]", "filePath"); },
         "  CHAR[0x104]  filePath         "},
    };
    for (const auto& c : cases) {
        std::string text;
        ReportWriter out(stringSink(text));
        c.write(out);
        out.flush();
        EXPECT_EQ(text, c.expected) << c.what;
    }
}

// With a tiny block the writer must flush many times, also in the middle of long texts,
// and still hand over every byte in order and count them all.
TEST(ReportWriter, SmallBlocksKeepEveryByteInOrder) {
    std::string expected;
    std::string text;
    ReportWriter out(stringSink(text), 16);
    const std::string longName(2000, 'n');
    for (uint32_t i = 0; i < 500; ++i) {
        out.field(4, "ULONG", "iName");
        out.dec(i);
        out.text(longName.substr(0, i * 3));
        out.newline();
        expected += "    ULONG        iName            " + std::to_string(i) + longName.substr(0, i * 3) + "\n";
    }
    EXPECT_EQ(out.length(), expected.size());
    out.flush();
    EXPECT_EQ(text, expected);
}

TEST(ReportWriter, RefusedBlockIsReportedAndLaterTextDropped) {
    struct Refuser {
        int calls = 0;
        static bool write(void* self, const char*, size_t) {
            ++static_cast<Refuser*>(self)->calls;
            return false;
        }
    } refuser;
    ReportWriter out(ReportSink{&Refuser::write, &refuser}, 512);
    for (int i = 0; i < 100; ++i) out.text("0123456789");
    EXPECT_FALSE(out.ok());
    EXPECT_FALSE(out.flush());
    EXPECT_EQ(refuser.calls, 1);
    EXPECT_EQ(out.length(), 1000u);
}

}  // namespace
}  // namespace symdeck

// The program's own invariants, checked where assertions are on (debug builds and the
// sanitizer and fuzzing builds): a field read past its structure, and a field line whose
// columns would leave stale bytes of the block behind.
#ifndef NDEBUG
namespace symdeck {
namespace {

TEST(InvariantsDeathTest, AFieldReadPastItsStructureStops) {
    const unsigned char bytes[8] = {};
    const Record record{bytes, 0, 4};
    EXPECT_EQ(record.u32(0), 0u);
    EXPECT_DEATH(record.u32(2), "");
    EXPECT_DEATH(record.u16(3), "");
}

TEST(InvariantsDeathTest, AFieldLineBeyondItsColumnsStops) {
    std::string text;
    ReportWriter out(stringSink(text));
    EXPECT_DEATH(out.field(2, "ULONG", "aNameOfSeventeen_"), "");
    EXPECT_DEATH(out.field(20, "ULONG", "n"), "");
}

}  // namespace
}  // namespace symdeck
#endif

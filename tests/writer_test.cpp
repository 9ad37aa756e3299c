#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "format/reader.h"
#include "forms/terminal_text.h"
#include "forms/writer.h"

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

// For a terminal: controls, DEL, the C1 controls and every byte of a sequence that is not
// valid UTF-8 become \xNN; valid UTF-8 of any length stays as it is.
// An allocator that records what it is asked for and gives it only up to a budget, so that
// the failure is the core's to report (a returned state, never an exception).
struct Budget {
    size_t left;
    size_t asked = 0;
    size_t released = 0;
};

BlockAllocator budgetAllocator(Budget& budget) {
    return BlockAllocator{[](void* context, size_t bytes) -> void* {
                              auto& b = *static_cast<Budget*>(context);
                              b.asked += bytes;
                              if (bytes > b.left) return nullptr;
                              b.left -= bytes;
                              return std::malloc(bytes);
                          },
                          [](void* context, void* memory, size_t) {
                              ++static_cast<Budget*>(context)->released;
                              std::free(memory);
                          },
                          &budget};
}

TEST(ReportWriter, BlocksComeFromTheCallersAllocatorAndTheirLackIsAState) {
    struct Case {
        const char* what;
        size_t budget;
        bool ok;
    };
    const Case cases[] = {{"enough", 1 << 20, true}, {"none at all", 0, false}, {"one byte short", 8 * 1024 - 1, false}};
    for (const Case& c : cases) {
        Budget budget{c.budget};
        std::string sunk;
        uint64_t expectedLength = 0;
        {
            ReportWriter w(stringSink(sunk), 1024, budgetAllocator(budget));
            EXPECT_EQ(budget.asked, 8 * 1024u) << c.what;  // kBlocks blocks of 1 KiB
            EXPECT_EQ(w.ok(), c.ok) << c.what;
            // Whatever the state, the writer takes text of any length and counts it.
            for (int i = 0; i < 200; ++i) {
                w.field(2, "ULONG", "nNames");
                w.hex0x(0xFFFFFFFFu);
                w.text(std::string(700, 'x'));
                w.newline();
                expectedLength += 32 + 10 + 700 + 1;  // the field line ends at indent + 30
            }
            EXPECT_EQ(w.flush(), c.ok) << c.what;
            EXPECT_EQ(w.length(), expectedLength) << c.what;
        }
        EXPECT_EQ(sunk.size(), c.ok ? expectedLength : 0) << c.what;
        EXPECT_EQ(budget.released, c.ok ? 1u : 0u) << c.what;
    }
}

TEST(TerminalText, EscapesWhatATerminalWouldActOn) {
    const struct {
        std::string_view text;
        std::string_view escaped;
    } cases[] = {
        {"plain name_1 (x)", "plain name_1 (x)"},
        {"\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},            // retitles the window
        {"\x1B[2J\x1B[H", "\\x1B[2J\\x1B[H"},                  // clears the screen
        {std::string_view("a\0b\tc\rd\ne", 9), "a\\x00b\\x09c\\x0Dd\\x0Ae"},
        {"\x7F", "\\x7F"},
        {"\x9B" "31m", "\\x9B" "31m"},                           // a lone byte, no UTF-8
        {"\xC2\x9B" "31m", "\\xC2\\x9B" "31m"},               // U+009B, a C1 CSI
        {"\xC2\xA0\xC3\xA9t\xC3\xA9", "\xC2\xA0\xC3\xA9t\xC3\xA9"},  // U+00A0, "été"
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", "\xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xC0\xAF", "\\xC0\\xAF"},                            // overlong "/"
        {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},                  // overlong, 3 bytes
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                  // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},        // past U+10FFFF
        {"\xE2\x82" "A", "\\xE2\\x82" "A"},                     // cut short by ASCII
        {"end\xE2\x82", "end\\xE2\\x82"},                        // cut short by the end
        {"\xFF\xFE", "\\xFF\\xFE"},
    };
    for (const auto& c : cases) {
        std::string text;
        ReportWriter out(stringSink(text));
        out.terminalText(c.text);
        out.flush();
        EXPECT_EQ(text, c.escaped) << c.escaped;
        EXPECT_EQ(escapedForTerminal(c.text, false), c.escaped);
    }
    // A whole answer keeps its own line ends; a block boundary inside a text loses nothing.
    EXPECT_EQ(escapedForTerminal("a\x1B\nb\n", true), "a\\x1B\nb\n");
    std::string long_;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        long_ += "\xC3\xA9\x1B";
        expected += "\xC3\xA9\\x1B";
    }
    std::string text;
    ReportWriter out(stringSink(text), 16);
    out.terminalText(long_);
    out.flush();
    EXPECT_EQ(text, expected);
    EXPECT_EQ(out.length(), expected.size());
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

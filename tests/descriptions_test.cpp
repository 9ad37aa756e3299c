// The structures' tables: what makes a table sound, and the walk held to its tables (every
// block of a described word reports the table's fields, in order, where the table puts
// them, with the table's storage word, size and role).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "entry/render.h"
#include "format/described_structures.h"
#include "forms/recorder.h"
#include "nmsbuild/sample.h"

namespace symdeck::test {
namespace {

std::string describe(std::string_view name, std::string_view storage, uint64_t offset,
                     uint64_t size, Role role) {
    return std::string(name) + " " + std::string(storage) + " @" + std::to_string(offset) +
           " size " + std::to_string(size) + " " + std::string(roleName(role));
}

// The fields of each block titled `s.word` as the walk reports them, and as the table says
// they should be; the fields a form does not show are the block's lone reads.
template <size_t N>
void expectBlocksAsDescribed(const std::vector<WalkEvent>& events, const StructureDescription<N>& s,
                             int& blocks) {
    for (size_t at = 0; at < events.size(); ++at) {
        const WalkEvent& open = events[at];
        if (open.kind != WalkEvent::Kind::Open || open.title.word != s.word) continue;
        ++blocks;
        EXPECT_EQ(open.title.size, s.size) << s.word;
        std::vector<std::string> expected, expectedReads, reported, reads;
        for (const FieldDescription& d : s.fields) {
            const uint64_t at = open.title.offset + d.offset;
            // A register's number is a USHORT that the report (and JSON) calls ULONG.
            const bool wideWord = s.word == "SEGDATA_REGISTER" && d.name == "registerNumber";
            (d.unreported ? expectedReads : expected)
                .push_back(describe(d.name, wideWord ? "ULONG" : d.storage, at, d.size, d.role));
        }
        // The block's own fields: at its depth, outside its lists.
        int depth = 0;
        bool inList = false;
        for (size_t i = at + 1; i < events.size() && depth >= 0; ++i) {
            const WalkEvent& e = events[i];
            switch (e.kind) {
                case WalkEvent::Kind::Open: ++depth; break;
                case WalkEvent::Kind::Close: --depth; break;
                case WalkEvent::Kind::OpenList: inList = true; break;
                case WalkEvent::Kind::CloseList: inList = false; break;
                case WalkEvent::Kind::Field:
                    if (depth == 0 && !inList)
                        reported.push_back(describe(e.field.name, e.field.type, e.field.offset,
                                                    e.field.size, e.field.role));
                    break;
                case WalkEvent::Kind::Reads:
                    if (depth == 0 && e.index == kNoIndex)
                        reads.push_back(describe(e.field.name, e.field.type, e.field.offset,
                                                 e.field.size, e.field.role));
                    break;
                default: break;
            }
        }
        EXPECT_EQ(reported, expected) << s.word << " @" << open.title.offset;
        EXPECT_EQ(reads, expectedReads) << s.word << " @" << open.title.offset;
    }
}

TEST(Descriptions, EveryDescribedBlockOfTheSampleReportsItsTable) {
    const std::vector<uint8_t> bytes = nmsbuild::sampleDatabase();
    const std::vector<WalkEvent> events = recordWalk(NmsImage{bytes.data(), bytes.size()});
    ASSERT_EQ(events.back().stop.end, WalkEnd::Complete);
    std::apply(
        [&](const auto&... s) {
            (
                [&](const auto& structure) {
                    int blocks = 0;
                    expectBlocksAsDescribed(events, structure, blocks);
                    // The sample holds every described structure.
                    EXPECT_GT(blocks, 0) << structure.word;
                }(s),
                ...);
        },
        kDescribedStructures);
}

// Small tables, each broken in one way (or not): `u` is a ULONG number, `sig` a signature.
constexpr FieldDescription u(std::string_view name, uint64_t at) {
    return ulongField(name, at, Role::Number);
}
constexpr FieldDescription sig(uint64_t at) { return ulongField("ABCD", at, Role::Signature); }
constexpr StructureDescription kSound{"S", "ABCD", 12, std::array{sig(0), u("a", 4), u("b", 8)}};
constexpr StructureDescription kGap{"S", "", 12, std::array{u("a", 0), u("b", 8)}};
constexpr StructureDescription kOverlap{"S", "", 8, std::array{u("a", 0), u("b", 2)}};
constexpr StructureDescription kShort{"S", "", 12, std::array{u("a", 0), u("b", 4)}};
constexpr StructureDescription kLong{"S", "", 4, std::array{u("a", 0), u("b", 4)}};
constexpr StructureDescription kTwice{"S", "", 8, std::array{u("a", 0), u("a", 4)}};
constexpr StructureDescription kWrongWidth{
    "S", "", 6, std::array{u("a", 0), FieldDescription{"b", "USHORT", 4, 4, Role::Number}}};
constexpr StructureDescription kUnknownStorage{
    "S", "", 8, std::array{u("a", 0), FieldDescription{"b", "QUAD", 4, 4, Role::Number}}};
constexpr StructureDescription kSignatureNotFirst{"S", "ABCD", 8, std::array{u("a", 0), sig(4)}};
constexpr StructureDescription kSignatureAsNumber{"S", "ABCD", 8,
                                                  std::array{u("ABCD", 0), u("a", 4)}};
constexpr StructureDescription kSection{"S", "ABCD", 12,
                                        std::array{sig(0), kSectionLength, u("N1", 8)}};
constexpr StructureDescription kLengthAsNumber{"S", "ABCD", 8,
                                               std::array{sig(0), u("sectionLength", 4)}};

TEST(Descriptions, ASoundTableHasItsFieldsBackToBackOnceEachUpToItsSize) {
    // What the checks say of each table, and what they should say.
    const struct {
        const char* what;
        bool sound, section, soundExpected, sectionExpected;
    } cases[] = {
        {"sound", isSound(kSound), isSectionHeader(kSound),
         true, false},
        {"gap", isSound(kGap), isSectionHeader(kGap),
         false, false},
        {"overlap", isSound(kOverlap), isSectionHeader(kOverlap),
         false, false},
        {"shorter than its size", isSound(kShort), isSectionHeader(kShort),
         false, false},
        {"longer than its size", isSound(kLong), isSectionHeader(kLong),
         false, false},
        {"a name twice", isSound(kTwice), isSectionHeader(kTwice),
         false, false},
        {"wider than its storage", isSound(kWrongWidth), isSectionHeader(kWrongWidth),
         false, false},
        {"unknown storage", isSound(kUnknownStorage), isSectionHeader(kUnknownStorage),
         false, false},
        {"signature not first", isSound(kSignatureNotFirst), isSectionHeader(kSignatureNotFirst),
         false, false},
        {"signature of another role", isSound(kSignatureAsNumber),
         isSectionHeader(kSignatureAsNumber),
         false, false},
        {"section header", isSound(kSection), isSectionHeader(kSection),
         true, true},
        {"sectionLength not a size", isSound(kLengthAsNumber), isSectionHeader(kLengthAsNumber),
         true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.sound, c.soundExpected) << c.what;
        EXPECT_EQ(c.section, c.sectionExpected) << c.what;
    }
}

constexpr StructureDescription kWords{
    "S", "", 24,
    std::array{u("a", 0), u("N1", 4), u("N2", 8), u("b", 12), u("N3", 16), u("N4", 20)}};

constexpr auto kShortLast = described(0, "S", "", 18, [] { return "a N1..N2 N3=number/USHORT b=size"; });
constexpr auto kRoleInRun = described(0, "S", "", 12, [] { return "N1 N2=size N3"; });

TEST(Descriptions, UnnamedWordsRunFromN1ToTheLastInSequence) {
    constexpr std::span<const FieldDescription> words = unnamedWords(kWords);
    EXPECT_EQ(words.data(), &kWords.fields[1]);
    EXPECT_EQ(words.size(), 2u);
    // Ten and more: N10 follows N9, and closes the header.
    constexpr std::span<const FieldDescription> fpod = unnamedWords(kFpodHeader);
    EXPECT_EQ(fpod.size(), 10u);
    EXPECT_EQ(&fpod.back(), &kFpodHeader.fields.back());
    // A USHORT may close the run (a structure's N3), but a word with a role never joins it.
    EXPECT_EQ(unnamedWords(kShortLast).size(), 3u);
    EXPECT_EQ(unnamedWords(nmtp::kStruct).back().storage, "USHORT");
    EXPECT_EQ(unnamedWords(kRoleInRun).size(), 1u);
}

// A table's text lays its fields back to back: each field's place is the sum of the
// storage before it, its role and storage as written, `N1..Nk` the unnamed words.
constexpr auto kLaid = described(0, "S", "ABCD", 322, [] {
    return "ABCD=signature  n=count! w=number/USHORT t=text/CHAR[0x100] k=enum x N1..N12";
});

TEST(Descriptions, ATextLaysItsFieldsBackToBack) {
    const auto& fields = kLaid.fields;
    EXPECT_EQ(std::tuple(kLaid.word, kLaid.signature, kLaid.size), std::tuple("S", "ABCD", 322u));
    const struct {
        std::string_view name, storage;
        uint64_t offset, size;
        Role role;
        bool unreported;
    } expected[] = {
        {"ABCD", "ULONG", 0, 4, Role::Signature, false},  {"n", "ULONG", 4, 4, Role::Count, true},
        {"w", "USHORT", 8, 2, Role::Number, false},       {"t", "CHAR[0x100]", 10, 256, Role::Text, false},
        {"k", "ULONG", 266, 4, Role::Enum, false},        {"x", "ULONG", 270, 4, Role::Number, false},
    };
    // The unnamed words: N1 to N12 after x, 4 bytes each, up to the structure's size.
    ASSERT_EQ(fields.size(), std::size(expected) + 12);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        const FieldDescription& f = fields[i];
        EXPECT_EQ(std::tuple(f.name, f.storage, f.offset, f.size, f.role, f.unreported),
                  std::tuple(e.name, e.storage, e.offset, e.size, e.role, e.unreported))
            << "field " << i;
    }
    for (size_t n = 1; n <= 12; ++n) {
        const FieldDescription& f = fields[std::size(expected) + n - 1];
        EXPECT_EQ(f.name.substr(0, 1), "N");
        EXPECT_EQ(f.name.substr(1), std::to_string(n));
        EXPECT_EQ(f.offset, 274 + 4 * (n - 1));
        EXPECT_TRUE(isUnnamed(f, n)) << f.name;
    }
    // A run of fields by its first and last names, both included.
    static_assert(fieldsFrom(kLaid, "n", "t").first == 1 && fieldsFrom(kLaid, "n", "t").count == 3);
    static_assert(fieldsFrom(kLaid, "x", "x").count == 1 && fieldsFrom(kLaid, "N1", "N12").count == 12);
    // Spaces between words are separators only, however many; a text of none is no field.
    static_assert(fieldCount("  a   b ") == 2 && fieldCount("") == 0 && fieldCount("N1..N4") == 4);
}

}  // namespace
}  // namespace symdeck::test

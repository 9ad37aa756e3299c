// Explain: where bytes of the sample database lie, one offset in every kind of structure,
// list and name text, a byte that no structure holds, one that several hold, one past the
// end, one in a section the flags leave out, and a walk cut short by damage. Compared as
// whole outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "entry/render.h"
#include "nmsbuild/sample.h"
#include "nmsbuild/types_build.h"
#include "forms/explain_answers.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

std::string explain(const std::vector<uint8_t>& bytes, std::vector<uint64_t> offsets,
                    const SectionSelection& selection = {}, bool json = false) {
    return explainImage(NmsImage{bytes.data(), bytes.size()}, selection, offsets, json).text;
}

// The chain of blocks down to a segment of the sample, and to its first procedure.
const std::string kSegment1 =
    "SYMD_HEADER (offset: 0x605) > SEGMENTDATA_HEADER (offset: 0x631) > SEGMENTDATA (offset: 0x63D) 1 of 2";
const std::string kProcedure1 = kSegment1 + " > SEGDATA_PROCEDURE (offset: 0x6A9) 1 of 2";

TEST(Explain, AnOffsetInEveryKindOfStructure) {
    const auto sample = nmsbuild::sampleDatabase();
    const std::string expected =
        "0x0: NM32_HEADER (offset: 0x0)\n"
        "  field NM32, ULONG at 0x0..0x3, byte 0 of 4, value NM32\n"
        "0x100: NM32_HEADER (offset: 0x0)\n"
        "  field filePath, CHAR[0x104] at 0x40..0x143, byte 192 of 260, value c:\\work\\app\\release\\app.exe\n"
        "0x2A4: NMDR_HEADER (offset: 0x244) > NMDE_S (offset: 0x2A0) 2 of 8\n"
        "  field entryIndex, ULONG at 0x2A4..0x2A7, byte 0 of 4, value 2(STTB)\n"
        "0x3A4: GTYP_HEADER (offset: 0x39C)\n"
        "  field offNMTP, ULONG at 0x3A4..0x3A7, byte 0 of 4, value 0x0\n"
        "0x3D0: STTB_HEADER (offset: 0x3BC)\n"
        "  list Strings, element [0] of 13, field offset, ULONG at 0x3D0..0x3D3, byte 0 of 4, value _TEXT\n"
        // The bytes of a name belong to the string table and to every field that names it.
        "0x448: STTB_HEADER (offset: 0x3BC)\n"
        "  list Strings, element [12] of 13, text of offset at 0x443..0x448, byte 5 of 6 (its terminating NUL), \"total\"\n"
        "0x448: TYTB_HEADER (offset: 0x585) > TYPETABLE (offset: 0x5A5) 2 of 3\n"
        "  text of iName at 0x443..0x448, byte 5 of 6 (its terminating NUL), \"total\"\n"
        "0x448: " + kProcedure1 + " > SEGDATA_REGISTER (offset: 0x72B) 2 of 2\n"
        "  text of iName at 0x443..0x448, byte 5 of 6 (its terminating NUL), \"total\"\n"
        "0x448: SYMD_HEADER (offset: 0x605) > SEGMENTDATA_HEADER (offset: 0x631) > SEGMENTDATA (offset: 0x673) 2 of 2 > SEGDATA_VLPTABLE (offset: 0x7CF) 1 of 3\n"
        "  text of iName at 0x443..0x448, byte 5 of 6 (its terminating NUL), \"total\"\n"
        // Arrays the walk reads to find its way, which the report does not show.
        "0x465: NMTP_HEADER (offset: 0x449)\n"
        "  read, not shown: typeOffsets [2], ULONG at 0x465..0x468, byte 0 of 4, value 0x28\n"
        "0x4B1: NMTP_HEADER (offset: 0x449) > DATAS_LF_ARGLIST (type: 0x1001) (offset: 0x4A1) 2 of 12\n"
        "  list type, element [1] of 2, field type, ULONG at 0x4B1..0x4B4, byte 0 of 4, value 0x1002\n"
        // A record of unknown kind is read for its lf_index alone: the rest is no structure.
        "0x57D: in no structure that the report describes, within the NMTP section at 0x449..0x584\n"
        "  after unknown type (type: 0x100B) (offset: 0x579) 12 of 12, field lf_index, which ends at 0x57C\n"
        "  before TYTB_HEADER (offset: 0x585), field TYTB, which begins at 0x585\n"
        "0x58D: TYTB_HEADER (offset: 0x585)\n"
        "  read, not shown: nTypeTables, ULONG at 0x58D..0x590, byte 0 of 4, value 3\n"
        "0x5D9: HSHT_HEADER (offset: 0x5B5)\n"
        "  list Type Table Offsets, element [1] of 2, field offset, ULONG at 0x5D9..0x5DC, byte 0 of 4, value 0x14\n"
        "0x5E5: HSHT_HEADER (offset: 0x5B5) > HSHT_TYPETABLE (offset: 0x5DD) 1 of 2\n"
        "  field iName, ULONG at 0x5E5..0x5E8, byte 0 of 4, value 6(\"POINT\")\n"
        "0x64B: " + kSegment1 + "\n"
        "  field offProcDef, ULONG at 0x64B..0x64E, byte 0 of 4, value 0x6C\n"
        "0x6ED: " + kProcedure1 + " > SEGDATA_VLPTABLE (offset: 0x6E9) 1 of 2\n"
        "  field type, ULONG at 0x6ED..0x6F0, byte 0 of 4, value 0x12(long)\n"
        "0x781: " + kSegment1 + " > SEGDATA_SOURCELINES (offset: 0x777)\n"
        "  list SEGDATA_SOURCELINES, element [1] of 6, field offInCode, ULONG at 0x77F..0x782, byte 2 of 4, value 0x00001A\n"
        "0x757: " + kSegment1 + " > SEGDATA_SOURCESECTION (offset: 0x74F) 1 of 2\n"
        "  field offSourceLines, ULONG at 0x757..0x75A, byte 0 of 4, value 0x13A\n"
        "0x7CD: " + kSegment1 + "\n"
        "  read, not shown: VLPOffsets [1], ULONG at 0x7CB..0x7CE, byte 2 of 4, value 0x10\n"
        "0x7A9: " + kSegment1 + " > SEGDATA_VLPTABLE (offset: 0x7A7) 1 of 2\n"
        "  field tableType, USHORT at 0x7A9..0x7AA, byte 0 of 2, value 7(TT_LOCALP)\n"
        "0x80F: SYMD_HEADER (offset: 0x605) > SEGMENTDATA_HEADER (offset: 0x631) > SEGDATA_SOURCEFILE (offset: 0x80B) 1 of 2\n"
        "  field offSource, ULONG at 0x80F..0x812, byte 0 of 4, value 0x0\n"
        "0x850: FPOD_HEADER (offset: 0x847)\n"
        "  field N1, ULONG at 0x84F..0x852, byte 1 of 4, value 0x1\n"
        "0x9000: past the end of the file (size 0x877)\n"
        // Asked twice, answered twice, in the order asked.
        "0x0: NM32_HEADER (offset: 0x0)\n"
        "  field NM32, ULONG at 0x0..0x3, byte 0 of 4, value NM32\n";
    EXPECT_EQ(explain(sample, {0x0, 0x100, 0x2A4, 0x3A4, 0x3D0, 0x448, 0x465, 0x4B1, 0x57D, 0x58D,
                               0x5D9, 0x5E5, 0x64B, 0x6ED, 0x781, 0x757, 0x7CD, 0x7A9, 0x80F, 0x850,
                               0x9000, 0x0}),
              expected);
}

// Explain names a list as the report's JSON names it and numbers an element as the report
// does, from 0: the report's "[2] main" is element [2] of the string table. Every element
// field of the sample's JSON document is explained and compared.
TEST(Explain, ListsAndElementsAreNamedAndNumberedAsInTheReport) {
    const auto sample = nmsbuild::sampleDatabase();
    const NmsImage image{sample.data(), sample.size()};
    struct Element {
        std::string list;
        size_t index;
        size_t count;
        uint64_t offset;  // of one of its fields
    };
    std::vector<Element> elements;
    const auto collect = [&](const auto& self, const nlohmann::json& blocks) -> void {
        for (const auto& block : blocks) {
            for (const auto& f : block["fields"]) {
                if (!f.contains("list")) continue;
                const auto& list = f["elements"];
                for (size_t i = 0; i < list.size(); ++i)
                    for (const auto& field : list[i]) elements.push_back({f["list"], i, list.size(), field["offset"]});
            }
            if (block.contains("blocks")) self(self, block["blocks"]);
        }
    };
    collect(collect, nlohmann::json::parse(renderJsonToString(image, {}, "sample.nms"))["blocks"]);
    ASSERT_GE(elements.size(), 30u);
    std::vector<uint64_t> offsets;
    for (const Element& e : elements) offsets.push_back(e.offset);
    const auto answers = nlohmann::json::parse(explain(sample, offsets, {}, true));
    ASSERT_EQ(answers.size(), elements.size());
    const std::string report = test::report(sample);
    std::set<std::string> lists;
    for (size_t k = 0; k < elements.size(); ++k) {
        const Element& e = elements[k];
        SCOPED_TRACE(e.list + " " + std::to_string(e.index));
        const auto& hits = answers[k]["hits"];
        const auto hit = std::find_if(hits.begin(), hits.end(), [](const auto& h) { return h.contains("list"); });
        ASSERT_NE(hit, hits.end()) << answers[k].dump();
        EXPECT_EQ((*hit)["list"], e.list);
        EXPECT_EQ((*hit)["element"], e.index);
        EXPECT_EQ((*hit)["elements"], e.count);
        lists.insert(e.list);
        // The text answer: the same number, in the report's brackets.
        const std::string text = explain(sample, {e.offset});
        EXPECT_NE(text.find(", element [" + std::to_string(e.index) + "] of " + std::to_string(e.count) + ", "),
                  std::string::npos)
            << text;
        // A name of the string table: the report's line "[i] name" shows the same value.
        if (e.list == "strings") {
            const std::string value = text.substr(text.rfind(", value ") + 8);
            EXPECT_NE(report.find("  [" + std::to_string(e.index) + "] " + value), std::string::npos) << value;
        }
    }
    EXPECT_EQ(lists, (std::set<std::string>{"strings", "types", "typeTableOffsets", "lineRows"}));
}

// A value is the report's spelling of it whole: a text of the database that begins with
// blanks keeps them (no blanks are taken off the front of a rendered value).
TEST(Explain, AValueIsSpelledWholeLeadingBlanksAndAll) {
    auto sample = nmsbuild::sampleDatabase();
    sample[0x40] = ' ';
    sample[0x41] = ' ';
    EXPECT_EQ(explain(sample, {0x41}),
              "0x41: NM32_HEADER (offset: 0x0)\n"
              "  field filePath, CHAR[0x104] at 0x40..0x143, byte 1 of 260, value   \\work\\app\\release\\app.exe\n");
    const auto doc = nlohmann::json::parse(explain(sample, {0x41}, {}, true));
    EXPECT_EQ(doc[0]["hits"][0]["field"]["value"], "  \\work\\app\\release\\app.exe");
    EXPECT_EQ(doc[0]["hits"][0]["field"]["spelled"], "  \\work\\app\\release\\app.exe");
}

TEST(Explain, SectionsLeftOutAndAWalkCutShort) {
    const auto sample = nmsbuild::sampleDatabase();
    SectionSelection noSymbols;
    noSymbols.skipSymd = true;
    EXPECT_EQ(explain(sample, {0x700, 0x10}, noSymbols),
              "0x700: in the SYMD section at 0x605..0x832, which the section flags leave out\n"
              "0x10: NM32_HEADER (offset: 0x0)\n"
              "  field creationTime, ULONG at 0x10..0x13, byte 0 of 4, value 0x5F3E2A10\n");

    // Cut inside the first segment: the walk stops at the first procedure, as the report does.
    const std::vector<uint8_t> cut(sample.begin(), sample.begin() + 0x6A4);
    const std::string stopped =
        "  the walk stopped before the end of the database: ERROR in SYMD_HEADER -> the data at "
        "offset 0x6A9 runs past the end of the file (size 0x6A4).\n";
    const Explanation answers = explainImage(NmsImage{cut.data(), cut.size()}, {},
                                             std::vector<uint64_t>{0x6A0, 0x6A5, 0x8}, false);
    EXPECT_EQ(answers.end, WalkEnd::Bounds);
    EXPECT_EQ(answers.text,
              "0x6A0: in no structure that the report describes, within the SYMD section at 0x605..0x832\n"
              "  after SEGMENTDATA (offset: 0x63D) 1 of 2, field offSCLineDef, which ends at 0x672\n"
              "  before nothing: no structure comes after it\n" + stopped +
              "0x6A5: past the end of the file (size 0x6A4)\n" + stopped +
              "0x8: NM32_HEADER (offset: 0x0)\n"
              "  field verMinor, ULONG at 0x8..0xB, byte 0 of 4, value 0x2\n");
}

TEST(Explain, TheJsonFormHoldsTheSameFacts) {
    const auto sample = nmsbuild::sampleDatabase();
    const std::string text = explain(sample, {0x4B1, 0x57D, 0x9000, 0x7CD}, {}, true);
    const auto doc = nlohmann::json::parse(text);
    ASSERT_EQ(doc.size(), 4u);
    // The value is a number, as in the report's JSON document; the text's spelling of it
    // beside. Type 0x1002 is the record after 0x1001's: the records follow the NMTP header
    // (0x449, 20 bytes) and its 12 offsets at 0x48D, record 2 at 0x28 from there, 0x4B5.
    EXPECT_EQ(doc[0].dump(),
              R"({"hits":[{"blocks":[{"block":"NMTP_HEADER","count":1,"index":0,"offset":1097},)"
              R"({"block":"DATAS_LF_ARGLIST","count":12,"index":1,"offset":1185,"typeIndex":4097}],)"
              R"("byte":0,"element":1,"elements":2,"field":{"leads":"record","name":"type","offset":1201,)"
              R"("role":"typeIndex","size":4,"spelled":"0x1002","target":1205,"type":"ULONG","value":4098},)"
              R"("list":"types"}],"offset":1201})");
    EXPECT_EQ(doc[1]["hits"].size(), 0u);
    // The nearest fields by offset and size, as the report's JSON gives extents: lf_index,
    // the record's one field, is the ULONG at 0x579..0x57C.
    EXPECT_EQ(doc[1]["previous"]["block"]["block"], "unknown type");
    EXPECT_EQ(doc[1]["previous"]["offset"], 0x579);
    EXPECT_EQ(doc[1]["previous"]["size"], 4);
    EXPECT_EQ(doc[1]["next"]["offset"], 0x585);
    EXPECT_EQ(doc[1]["next"]["size"], 4);
    // The byte lies in the NMTP section's extent as its directory entry gives it.
    EXPECT_EQ(doc[1]["section"], nlohmann::json({{"kind", 3}, {"name", "NMTP"}, {"offset", 0x449}, {"size", 0x13C}}));
    EXPECT_EQ(doc[2]["pastEnd"]["fileSize"], sample.size());
    EXPECT_EQ(doc[3]["hits"][0]["field"]["shown"], false);
    EXPECT_EQ(doc[3]["hits"][0]["field"]["index"], 1);
}

// A field in explain's JSON is the report's JSON field (value a number, a string only for a
// signature or a text; "text" or "error"), with its role, its target and the text's spelling.
// Targets worked out by hand: the STTB section at 0x3BC; the first segment's procedures at
// its start (0x63D) plus offProcDef.
TEST(Explain, JsonFieldsGiveValuesRolesAndTargets) {
    const auto sample = nmsbuild::sampleDatabase();
    std::vector<uint8_t> farProcedures = sample;
    const uint8_t far[] = {0x00, 0x00, 0xFF, 0xFF};  // offProcDef 0xFFFF0000
    std::copy(std::begin(far), std::end(far), farProcedures.begin() + 0x64B);
    nmsbuild::Database unknownKind = nmsbuild::sampleDescription();
    unknownKind.entries[1].entryIndex = 9;
    const auto unknown = nmsbuild::build(unknownKind);
    SectionSelection noSttb;
    noSttb.skipSttb = true;
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        SectionSelection selection;
        uint64_t offset;
        nlohmann::json field;
    };
    using J = nlohmann::json;
    const Case cases[] = {
        {"a signature", sample, {}, 0x0,
         J{{"name", "NM32"}, {"type", "ULONG"}, {"offset", 0}, {"size", 4}, {"value", "NM32"},
           {"role", "signature"}, {"spelled", "NM32"}}},
        {"an enumeration", sample, {}, 0x2A4,
         J{{"name", "entryIndex"}, {"type", "ULONG"}, {"offset", 0x2A4}, {"size", 4}, {"value", 2},
           {"text", "STTB"}, {"role", "enum"}, {"spelled", "2(STTB)"}}},
        {"a section's offset", sample, {}, 0x2A8,
         J{{"name", "offEntry"}, {"type", "ULONG"}, {"offset", 0x2A8}, {"size", 4}, {"value", 0x3BC},
           {"role", "offset"}, {"target", 0x3BC}, {"leads", "block"}, {"spelled", "0x3BC"}}},
        {"a section's offset left out", sample, noSttb, 0x2A8,
         J{{"name", "offEntry"}, {"type", "ULONG"}, {"offset", 0x2A8}, {"size", 4}, {"value", 0x3BC},
           {"role", "offset"}, {"target", 0x3BC}, {"leads", "leftOut"}, {"spelled", "0x3BC"}}},
        {"a primitive type", sample, {}, 0x6ED,
         J{{"name", "type"}, {"type", "ULONG"}, {"offset", 0x6ED}, {"size", 4}, {"value", 0x12},
           {"text", "long"}, {"role", "typeIndex"}, {"unresolved", "primitive"}, {"spelled", "0x12(long)"}}},
        {"a target past the end", farProcedures, {}, 0x64B,
         J{{"name", "offProcDef"}, {"type", "ULONG"}, {"offset", 0x64B}, {"size", 4}, {"value", 0xFFFF0000u},
           {"role", "offset"}, {"target", 0x63D + uint64_t{0xFFFF0000}}, {"leads", "elements"},
           {"targetOutsideFile", true}, {"spelled", "0xFFFF0000"}}},
        {"an unknown kind", unknown.bytes, {}, 0x2A4,
         J{{"name", "entryIndex"}, {"type", "ULONG"}, {"offset", 0x2A4}, {"size", 4}, {"value", 9},
           {"error", "9(unknown)"}, {"role", "enum"}, {"spelled", "9(unknown)"}}},
        {"an unknown kind's offset, not followed", unknown.bytes, {}, 0x2A8,
         J{{"name", "offEntry"}, {"type", "ULONG"}, {"offset", 0x2A8}, {"size", 4}, {"value", 0x3BC},
           {"role", "offset"}, {"spelled", "0x3BC"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto doc = J::parse(explain(c.bytes, {c.offset}, c.selection, true));
        ASSERT_FALSE(doc[0]["hits"].empty()) << doc.dump();
        EXPECT_EQ(doc[0]["hits"][0]["field"], c.field);
    }
}

TEST(Explain, AByteThatVeryManyFieldsNameIsListedUpToALimit) {
    // 150 type-table entries name the one name; its string-table element holds it as well.
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable({.names = {"shared"}})});
    db.entries.push_back({nmsbuild::kTytb, nmsbuild::typeTables({.entries = std::vector<nmsbuild::TypeTableEntry>(150)})});
    const auto built = nmsbuild::build(db);
    const uint64_t name = built.sectionOffsets[0] + 20 + 4;  // behind the header and one offset
    const std::string text = explain(built.bytes, {name});
    size_t answers = 0;
    for (size_t at = 0; (at = text.find("text of ", at)) != std::string::npos; ++at) ++answers;
    EXPECT_EQ(answers, ExplainPrinter::kMaxHits);
    EXPECT_NE(text.find(": and 51 more places, not listed\n"), std::string::npos) << text.substr(0, 400);
    const auto doc = nlohmann::json::parse(explain(built.bytes, {name}, {}, true));
    EXPECT_EQ(doc[0]["hits"].size(), ExplainPrinter::kMaxHits);
    EXPECT_EQ(doc[0]["moreHits"], 51);
}

}  // namespace
}  // namespace symdeck::test

namespace symdeck::test {
namespace {

// A type table whose two entries name a long name and the last name of the string table,
// which runs to the end of the file without its NUL.
struct LongAndLastNames {
    std::vector<uint8_t> bytes;
    uint64_t typeTable = 0;
    uint64_t stringTable = 0;
};
LongAndLastNames longAndLastNames() {
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kTytb, nmsbuild::typeTables({.entries = {{0x12, 1}, {0x12, 2}}})});
    db.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable({.names = {"alpha", std::string(300, 'x'), "tail"}})});
    auto built = nmsbuild::build(db);
    built.bytes.pop_back();  // the NUL of "tail"
    return {built.bytes, built.sectionOffsets[0], built.sectionOffsets[1]};
}

TEST(Explain, LongTextsAreCutAndNamesStopAtTheEndOfTheFile) {
    const auto db = longAndLastNames();
    ASSERT_EQ(db.bytes.size(), 0x443u);
    ASSERT_EQ(db.typeTable, 0x2C4u);
    ASSERT_EQ(db.stringTable, 0x2ECu);
    const std::string shown(kMaxShownText, 'x');
    const std::string cut = " (cut: the first 256 of 300 bytes shown)";
    const std::string first = "TYTB_HEADER (offset: 0x2C4) > TYPETABLE (offset: 0x2DC) 1 of 2";
    const std::string second = "TYTB_HEADER (offset: 0x2C4) > TYPETABLE (offset: 0x2E4) 2 of 2";
    struct Case {
        uint64_t offset;
        std::string answer;
    };
    const Case cases[] = {
        // "tail" is 4 bytes at 0x43F..0x442 and the file ends there: no NUL is counted.
        {0x442,
         "0x442: " + second + "\n  text of iName at 0x43F..0x442, byte 3 of 4, \"tail\"\n"
         "0x442: STTB_HEADER (offset: 0x2EC)\n"
         "  list Strings, element [2] of 3, text of offset at 0x43F..0x442, byte 3 of 4, \"tail\"\n"},
        {0x443, "0x443: past the end of the file (size 0x443)\n"},
        // A name of 300 bytes: its first 256 are shown, as a value and as a text.
        {0x2E0,
         "0x2E0: " + first + "\n  field iName, ULONG at 0x2E0..0x2E3, byte 0 of 4, value 1(\"" + shown + "\")" + cut + "\n"},
        {0x43E,
         "0x43E: " + first + "\n  text of iName at 0x312..0x43E, byte 300 of 301 (its terminating NUL), \"" + shown + "\"" + cut + "\n"
         "0x43E: STTB_HEADER (offset: 0x2EC)\n"
         "  list Strings, element [1] of 3, text of offset at 0x312..0x43E, byte 300 of 301 (its terminating NUL), \"" + shown + "\"" + cut + "\n"},
        {0x2E8, "0x2E8: " + second + "\n  field iName, ULONG at 0x2E8..0x2EB, byte 0 of 4, value 2(\"tail\")\n"},
        {~uint64_t{0}, "0xFFFFFFFFFFFFFFFF: past the end of the file (size 0x443)\n"},
    };
    std::vector<uint64_t> all;
    std::string answers;
    for (const Case& c : cases) {
        EXPECT_EQ(explain(db.bytes, {c.offset}), c.answer);
        all.push_back(c.offset);
        answers += c.answer;
    }
    EXPECT_EQ(explain(db.bytes, all), answers);
}

TEST(Explain, JsonGivesLargeOffsetsAsHexadecimalStringsAndTellsWhatItCut) {
    const auto db = longAndLastNames();
    const std::string shown(kMaxShownText, 'x');
    const std::string pastEnd = R"("hits":[],"pastEnd":{"fileSize":1091}})";
    // 2^53 - 1 is the last offset a reader of doubles holds exactly; from 2^53 on the
    // offset comes as a string as well.
    EXPECT_EQ(explain(db.bytes, {(uint64_t{1} << 53) - 1, uint64_t{1} << 53, ~uint64_t{0}}, {}, true),
              "[\n"
              R"({"offset":9007199254740991,)" + pastEnd + ",\n" +
              R"({"offset":9007199254740992,"offsetHex":"0x20000000000000",)" + pastEnd + ",\n" +
              R"({"offset":18446744073709551615,"offsetHex":"0xFFFFFFFFFFFFFFFF",)" + pastEnd + "\n]\n");
    const auto doc = nlohmann::json::parse(explain(db.bytes, {0x2E0, 0x43E, 0x442}, {}, true));
    const nlohmann::json cut = {{"shown", 256}, {"length", 300}};
    EXPECT_EQ(doc[0]["hits"][0]["field"]["value"], 1);
    EXPECT_EQ(doc[0]["hits"][0]["field"]["text"], shown);
    EXPECT_EQ(doc[0]["hits"][0]["field"]["spelled"], "1(\"" + shown + "\")");
    EXPECT_EQ(doc[0]["hits"][0]["field"]["cut"], cut);
    EXPECT_EQ(doc[1]["hits"][1]["text"],
              nlohmann::json({{"offset", 0x312}, {"size", 301}, {"byte", 300}, {"value", shown}, {"cut", cut}}));
    EXPECT_EQ(doc[2]["hits"][0]["text"],
              nlohmann::json({{"offset", 0x43F}, {"size", 4}, {"byte", 3}, {"value", "tail"}}));
    EXPECT_FALSE(doc[2]["hits"][0]["field"].contains("cut"));
}

// Three GTYP entries: the first names the whole section, the second a part of it, the
// third its first bytes.
std::vector<uint8_t> overlappingSections() {
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable({.names = {"a"}})});
    db.entries.push_back({nmsbuild::kGtyp, nmsbuild::gtyp({.body = std::string(64, '\0')})});
    db.entries.push_back({.entryIndex = nmsbuild::kGtyp});
    db.entries.push_back({.entryIndex = nmsbuild::kGtyp});
    const auto section = static_cast<uint32_t>(nmsbuild::build(db).sectionOffsets[1]);
    db.entries[2].offEntry = section + 32;
    db.entries[2].entryLength = 16;
    db.entries[3].offEntry = section;
    db.entries[3].entryLength = 8;
    return nmsbuild::build(db).bytes;
}

TEST(Explain, ABytesSectionLeftOutIsTheLastEntryThatHoldsIt) {
    const auto bytes = overlappingSections();
    SectionSelection noGtyp;
    noGtyp.skipGtyp = true;
    // The section is at 0x326..0x385; the second entry's part at 0x346..0x355, the third's
    // at 0x326..0x32D.
    EXPECT_EQ(explain(bytes, {0x326, 0x32E, 0x348, 0x356, 0x385}, noGtyp),
              "0x326: in the GTYP section at 0x326..0x32D, which the section flags leave out\n"
              "0x32E: in the GTYP section at 0x326..0x385, which the section flags leave out\n"
              "0x348: in the GTYP section at 0x346..0x355, which the section flags leave out\n"
              "0x356: in the GTYP section at 0x326..0x385, which the section flags leave out\n"
              "0x385: in the GTYP section at 0x326..0x385, which the section flags leave out\n");
}

// Every kind of section left out by its flag: the directory entry's Enum field gives the
// kind, its followed offset (which leads nowhere the walk goes) the start, its Size field
// the length; where they lie is where the builder put them. An entry of a kind no flag
// names is never taken for a section left out, nor is one of a kind the walk reports.
TEST(Explain, EverySectionLeftOutIsToldByItsEntry) {
    const auto sample = nmsbuild::build(nmsbuild::sampleDescription());
    const auto entryWord = [&](size_t i, uint64_t field) {
        const uint64_t at = sample.directoryOffset + 56 + 36 * i + field;  // NMDR, NMDE sizes
        uint32_t v = 0;
        for (int b = 3; b >= 0; --b) v = v << 8 | sample.bytes[at + b];
        return v;
    };
    struct Case {
        std::string name;
        bool SectionSelection::*skip;
        uint32_t kind;
    };
    const Case cases[] = {
        {"GTYP", &SectionSelection::skipGtyp, nmsbuild::kGtyp},
        {"STTB", &SectionSelection::skipSttb, nmsbuild::kSttb},
        {"NMTP", &SectionSelection::skipNmtp, nmsbuild::kNmtp},
        {"TYTB", &SectionSelection::skipTytb, nmsbuild::kTytb},
        {"HSHT", &SectionSelection::skipHsht, nmsbuild::kHsht},
        {"SYMD", &SectionSelection::skipSymd, nmsbuild::kSymd},
        {"SRCP", &SectionSelection::skipSrcp, nmsbuild::kSrcp},
        {"FPOD", &SectionSelection::skipFpod, nmsbuild::kFpod},
    };
    size_t checked = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t entry = sample.sectionOffsets.size();
        for (size_t i = 0; i < sample.sectionOffsets.size(); ++i)
            if (entryWord(i, 4) == c.kind) entry = i;
        ASSERT_LT(entry, sample.sectionOffsets.size());
        const uint64_t start = sample.sectionOffsets[entry];
        const uint64_t length = entryWord(entry, 12);
        ASSERT_EQ(entryWord(entry, 8), start);
        SectionSelection selection;
        selection.*c.skip = true;
        // The section's signature and its sectionLength: bytes no name's text shares.
        const std::vector<uint64_t> asked{start, start + 4};
        std::string expected;
        for (const uint64_t at : asked) {
            char line[160];
            std::snprintf(line, sizeof line,
                          "0x%llX: in the %s section at 0x%llX..0x%llX, which the section flags leave out\n",
                          static_cast<unsigned long long>(at), c.name.c_str(),
                          static_cast<unsigned long long>(start),
                          static_cast<unsigned long long>(start + length - 1));
            expected += line;
        }
        EXPECT_EQ(explain(sample.bytes, asked, selection), expected);
        const auto doc = nlohmann::json::parse(explain(sample.bytes, asked, selection, true));
        EXPECT_EQ(doc[1]["leftOut"], nlohmann::json({{"kind", c.kind}, {"name", c.name}, {"offset", start},
                                                     {"size", length}}));
        // Reported, the same byte is the section's signature.
        const std::string reported = explain(sample.bytes, {start});
        EXPECT_NE(reported.find("field " + c.name + ", ULONG at"), std::string::npos) << reported;
        ++checked;
    }
    EXPECT_EQ(checked, std::size(cases));

    // An entry of an unknown kind (9) over the FPOD section: with FPOD's own entry gone, the
    // bytes are in no structure, whatever the flags leave out.
    nmsbuild::Database db = nmsbuild::sampleDescription();
    const auto fpod = std::find_if(db.entries.begin(), db.entries.end(),
                                   [](const auto& e) { return e.entryIndex == nmsbuild::kFpod; });
    ASSERT_NE(fpod, db.entries.end());
    fpod->entryIndex = 9;
    const auto unknown = nmsbuild::build(db);
    const uint64_t at = unknown.sectionOffsets[static_cast<size_t>(fpod - db.entries.begin())];
    SectionSelection everything;
    for (const Case& c : cases) everything.*c.skip = true;
    const std::string answer = explain(unknown.bytes, {at}, everything);
    EXPECT_NE(answer.find(": in no structure that the report describes\n"), std::string::npos) << answer;
}

// A type table of three entries walked 100 times (every byte of it then has its 100
// places), and a second table header whose entries are read from the first's, 3 bytes
// further on: the last of them ends 3 bytes into that header, so its bytes are of one
// full offset and three open ones.
std::vector<uint8_t> tableReadAcrossItsEnd() {
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kTytb, nmsbuild::typeTables({.entries = {{0x12, 0}, {0x13, 0}, {0x14, 0}}})});
    db.entries.resize(100, {.entryIndex = nmsbuild::kTytb});
    db.entries.push_back({});
    // Built once to learn where the first table lies; the second build lays out the same.
    const auto table = static_cast<uint32_t>(nmsbuild::build(db).sectionOffsets[0]);
    for (size_t i = 1; i < 100; ++i) db.entries[i].offEntry = table;
    db.entries[100] = {nmsbuild::kTytb, nmsbuild::typeTables({.nTypeTables = 3, .offTypeTables = table + 24 + 3})};
    return nmsbuild::build(db).bytes;
}

// The answers to many offsets at once are the answers to each alone, in the order asked:
// whatever one offset's search, skip links or nearest fields leave behind does not reach
// another's. Every byte of each database from `from` on (and a few past its end), asked in
// a scrambled order with repeats.
TEST(Explain, ManyOffsetsAnswerAsEachAlone) {
    const auto sample = nmsbuild::sampleDatabase();
    std::vector<uint8_t> spoiled = sample;
    std::copy_n("XXXX", 4, spoiled.begin() + 0x244);  // the directory's signature
    nmsbuild::Database shared;
    shared.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable({.names = {"shared"}})});
    shared.entries.push_back({nmsbuild::kTytb, nmsbuild::typeTables({.entries = std::vector<nmsbuild::TypeTableEntry>(150)})});
    SectionSelection noSymbols;
    noSymbols.skipSymd = true;
    SectionSelection noGtyp;
    noGtyp.skipGtyp = true;
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        SectionSelection selection;
        uint64_t from = 0;  // the first byte asked
    };
    const auto acrossItsEnd = tableReadAcrossItsEnd();
    const Case cases[] = {
        {"sample", sample, {}},
        {"sample without SYMD", sample, noSymbols},
        {"sample cut in a segment", std::vector<uint8_t>(sample.begin(), sample.begin() + 0x6A4), {}},
        {"sample with a spoiled directory", spoiled, {}},
        {"150 fields naming one name", nmsbuild::build(shared).bytes, {}},
        {"overlapping sections left out", overlappingSections(), noGtyp},
        {"names at the end of the file", longAndLastNames().bytes, {}},
        // The two tables and the last directory entries: the 100 before them are alike.
        {"a table read across its end", acrossItsEnd, {}, acrossItsEnd.size() - 160},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint64_t> offsets;
        const uint64_t asked = c.bytes.size() + 3 - c.from;
        for (uint64_t i = 0; i < asked; ++i) offsets.push_back(c.from + (i * 7919) % asked);
        offsets.insert(offsets.end(), {c.from, c.from + asked / 2, c.from});
        std::string alone;
        for (const uint64_t offset : offsets) alone += explain(c.bytes, {offset}, c.selection);
        EXPECT_EQ(explain(c.bytes, offsets, c.selection), alone);
        // The JSON form writes the same places: every fourth offset is enough for it.
        std::vector<uint64_t> some;
        nlohmann::json aloneJson = nlohmann::json::array();
        for (size_t i = 0; i < offsets.size(); i += 4) {
            some.push_back(offsets[i]);
            aloneJson.push_back(nlohmann::json::parse(explain(c.bytes, {offsets[i]}, c.selection, true))[0]);
        }
        EXPECT_EQ(nlohmann::json::parse(explain(c.bytes, some, c.selection, true)), aloneJson);
    }
}

}  // namespace
}  // namespace symdeck::test

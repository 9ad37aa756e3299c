// The JSON form: whole documents of small databases built in memory, the ends of damaged
// walks, raw bytes of the file in strings, and the property checks that the damage sweeps
// and the fuzzer rely on (each must catch the fault it is there for).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "checks/json_checks.h"
#include "entry/render.h"
#include "format/walk.h"
#include "forms/explain_answers.h"
#include "forms/json_printer.h"
#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;
using Json = nlohmann::ordered_json;

std::string json(const std::vector<uint8_t>& bytes, std::string_view name = "t.nms",
                 const SectionSelection& selection = {}) {
    return renderJsonToString(NmsImage{bytes.data(), bytes.size()}, selection, name);
}

// One field as the document writes it: `before` holds what stands between its value and its
// role (signed, text or error, bytes), `after` what follows the role (target, counts).
std::string F(const std::string& name, const std::string& type, uint64_t offset, int size,
              const std::string& value, const std::string& role, const std::string& before = "",
              const std::string& after = "") {
    return "{\"name\":\"" + name + "\",\"type\":\"" + type + "\",\"offset\":" +
           std::to_string(offset) + ",\"size\":" + std::to_string(size) + ",\"value\":" + value +
           before + ",\"role\":\"" + role + "\"" + after + "}";
}
std::string U(const std::string& name, uint64_t offset, uint64_t value, const std::string& role = "number",
              const std::string& before = "", const std::string& after = "") {
    return F(name, "ULONG", offset, 4, std::to_string(value), role, before, after);
}
std::string text(const std::string& t) { return ",\"text\":\"" + t + "\""; }
std::string error(const std::string& code) { return ",\"error\":\"" + code + "\""; }
std::string target(uint64_t at, const std::string& leads) {
    return ",\"target\":" + std::to_string(at) + ",\"leads\":\"" + leads + "\"";
}
std::string counts(const std::string& what, const std::string& counting = "run") {
    return ",\"counts\":\"" + what + "\",\"counting\":\"" + counting + "\"";
}
// ",N1,N2,...": `count` zero ULONGs from `offset` on.
std::string unnamed(uint64_t offset, int count) {
    std::string fields;
    for (int i = 0; i < count; ++i) {
        std::string name = "N";  // (not "N" + ...: g++ 12 warns falsely on that at -O3)
        name += std::to_string(i + 1);
        fields += ',';
        fields += U(name, offset + 4 * uint64_t(i), 0);
    }
    return fields;
}
// ",\"N1\":0,...": the same in the values.
std::string unnamedValues(int count) {
    std::string values;
    for (int i = 0; i < count; ++i) values += ",\"N" + std::to_string(i + 1) + "\":0";
    return values;
}

TEST(Json, WholeDocumentOfASmallDatabase) {
    const auto bytes = smallAwkwardDatabase();
    std::string expected =
        "{\"format\":\"symdeck-report\",\"version\":2,\"database\":{\"name\":\"dir\\\\t.nms\",\"size\":740},"
        "\"blocks\":[\n{\"block\":\"NM32_HEADER\",\"offset\":0,\"fields\":[" +
        F("NM32", "ULONG", 0, 4, "\"NM32\"", "signature") + "," + U("verMajor", 4, 1) + "," + U("verMinor", 8, 0) +
        "," + U("offNMDR", 12, 580, "offset", "", target(580, "block")) + "," + U("creationTime", 16, 0) + "," +
        U("creationNumber", 20, 0) + "," + U("fileType", 24, 3, "enum", error("unknownEnum")) + "," +
        U("fileLength", 28, 0, "size");
    expected += unnamed(32, 8);
    // A text of invalid UTF-8: U+FFFD for the byte of no sequence, and the exact bytes.
    expected += "," + F("filePath", "CHAR[0x104]", 64, 260, "\"c:\\\\a\\\"b\"", "text") + "," +
                F("copyrightString", "CHAR[0x100]", 324, 256, "\"\\u0001\xEF\xBF\xBD\"", "text",
                  ",\"bytes\":\"01e9\"") +
                "],\"values\":{\"NM32\":\"NM32\",\"verMajor\":1,\"verMinor\":0,\"offNMDR\":580,"
                "\"creationTime\":0,\"creationNumber\":0,\"fileType\":3,\"fileLength\":0" +
                unnamedValues(8) + ",\"filePath\":\"c:\\\\a\\\"b\",\"copyrightString\":\"\\u0001\xEF\xBF\xBD\"}},";
    expected += "\n{\"block\":\"NMDR_HEADER\",\"offset\":580,\"fields\":[" +
                F("NMDR", "ULONG", 580, 4, "\"NMDR\"", "signature") + "," +
                U("nNMDE", 584, 2, "count", "", counts("NMDE_S")) + "," + U("offGTYP", 588, 0, "offset") + "," +
                U("offSTTB", 592, 0, "offset") + "," + U("offSYMD", 596, 0, "offset") + "," +
                U("offSRCP", 600, 0, "offset") + "," + U("offFPOD", 604, 0, "offset");
    expected += unnamed(608, 7);
    expected += "],\"values\":{\"NMDR\":\"NMDR\",\"nNMDE\":2,\"offGTYP\":0,\"offSTTB\":0,\"offSYMD\":0,"
                "\"offSRCP\":0,\"offFPOD\":0" + unnamedValues(7) + "},\"blocks\":[";
    const uint32_t kinds[] = {kTytb, 9}, offsets[] = {708, 0}, lengths[] = {32, 0};
    for (uint32_t e = 0; e < 2; ++e) {
        const uint64_t at = 636 + 36 * e;
        expected += std::string(e ? "," : "") + "\n{\"block\":\"NMDE_S\",\"offset\":" + std::to_string(at) +
                    ",\"index\":" + std::to_string(e) + ",\"fields\":[" +
                    F("NMDE", "ULONG", at, 4, "\"NMDE\"", "signature") + "," +
                    U("entryIndex", at + 4, kinds[e], "enum", e ? error("unknownSectionKind") : text("TYTB")) +
                    "," + U("offEntry", at + 8, offsets[e], "offset", "", e ? "" : target(708, "block")) + "," +
                    U("entryLength", at + 12, lengths[e], "size");
        expected += unnamed(at + 16, 5);
        expected += "],\"values\":{\"NMDE\":\"NMDE\",\"entryIndex\":" + std::to_string(kinds[e]) +
                    ",\"offEntry\":" + std::to_string(offsets[e]) + ",\"entryLength\":" +
                    std::to_string(lengths[e]) + unnamedValues(5) + "}}";
    }
    expected += "]},\n{\"block\":\"TYTB_HEADER\",\"offset\":708,\"fields\":[" +
                F("TYTB", "ULONG", 708, 4, "\"TYTB\"", "signature") + "," + U("sectionLength", 712, 32, "size") +
                "," + U("offTypeTables", 720, 732, "offset", "", target(732, "elements")) + "," + U("N1", 724, 0) +
                "," + U("N2", 728, 0) +
                "],\"values\":{\"TYTB\":\"TYTB\",\"sectionLength\":32,\"offTypeTables\":732,"
                "\"N1\":0,\"N2\":0},\"blocks\":[\n{\"block\":\"TYPETABLE\",\"offset\":732,\"fields\":[" +
                U("type", 732, 0x22, "typeIndex", text("unsigned long")) + "," +
                U("iName", 736, 5, "nameIndex", error("nameIndexOutOfRange")) +
                "],\"values\":{\"type\":34,\"iName\":5}}]},"
                "\n{\"block\":\"UNKNOWN\",\"kind\":9,\"fields\":[],\"values\":{}}],\n"
                "\"result\":{\"status\":\"complete\",\"damagedFields\":1,\"unknownValues\":2}}\n";
    EXPECT_EQ(json(bytes, "dir\\t.nms"), expected);
}

// The block of the one section after the string table, as compact JSON.
std::string sectionBlock(uint32_t kind, SectionEmitter section, uint32_t verMinor = 0) {
    Database db;
    db.header.verMinor = verMinor;
    db.entries.push_back({kSttb, stringTable({.names = {"_TEXT", "x", "r"}})});
    db.entries.push_back({kind, std::move(section)});
    const Json doc = Json::parse(json(build(db).bytes, "t.nms", {.skipSttb = true}));
    EXPECT_EQ(doc.at("result").at("status"), "complete");
    return doc.at("blocks").at(2).dump();
}

TEST(Json, SectionBlocksNestListsAndErrorsAsTheTextDoes) {
    // The sections start behind the header (580), the directory (56 + 2 * 36) and the
    // string table (20 + 3 * 4 + "_TEXT\0x\0r\0"): at 750.
    const uint64_t s = 750;
    const auto at = [&](uint64_t n) { return std::to_string(s + n); };
    struct Case {
        const char* what;
        uint32_t kind;
        SectionEmitter section;
        std::string expected;
    };
    const Case cases[] = {
        {"hash table: the offsets list, then the entries as nested blocks", kHsht,
         hashTables({.tableOffsets = {7}, .entries = {{.iName = 1, .type = 0x1000}}}),
         "{\"block\":\"HSHT_HEADER\",\"offset\":" + at(0) + ",\"fields\":[" +
             F("HSHT", "ULONG", s, 4, "\"HSHT\"", "signature") + "," + U("sectionLength", s + 4, 56, "size") +
             "," + U("sizeTableOffsets", s + 8, 1, "count", "", counts("typeTableOffsets")) + "," +
             U("nTypes", s + 12, 1, "count", "", counts("HSHT_TYPETABLE")) + "," +
             U("offTableOffsets", s + 16, s + 32, "offset", "", target(s + 32, "elements")) + "," +
             U("offTypeTables", s + 20, s + 36, "offset", "", target(s + 36, "elements")) + "," +
             U("N1", s + 24, 0) + "," + U("N2", s + 28, 0) +
             ",{\"list\":\"typeTableOffsets\",\"offset\":" + at(32) + ",\"elements\":[[" +
             U("offset", s + 32, 7, "offset") +
             "]]}],\"values\":{\"HSHT\":\"HSHT\",\"sectionLength\":56,\"sizeTableOffsets\":1,\"nTypes\":1,"
             "\"offTableOffsets\":" + at(32) + ",\"offTypeTables\":" + at(36) + ",\"N1\":0,\"N2\":0},"
             "\"blocks\":[{\"block\":\"HSHT_TYPETABLE\",\"offset\":" + at(36) + ",\"fields\":[" +
             U("offPreviousTable", s + 36, 0, "offset") + "," + U("hashNumber", s + 40, 0) + "," +
             U("iName", s + 44, 1, "nameIndex", text("x")) + "," +
             U("type", s + 48, 0x1000, "typeIndex", text("one of NM types")) + "," + U("N1", s + 52, 0) +
             "],\"values\":{\"offPreviousTable\":0,\"hashNumber\":0,\"iName\":1,\"type\":4096,\"N1\":0}}]}"},
        {"type records: a member with an access of no word, a derivation list", kNmtp,
         typeRecords({.records = {Member{.indexType = 0x10, .iName = 2, .access = 9},
                                  Derived{.types = {0x1000}}}}),
         "{\"block\":\"NMTP_HEADER\",\"offset\":" + at(0) + ",\"sectionEnd\":" + at(64) + ",\"fields\":[" +
             F("NMTP", "ULONG", s, 4, "\"NMTP\"", "signature") + "," + U("sectionLength", s + 4, 64, "size") +
             "," + U("nTypes", s + 8, 2, "count", "", counts("typeRecords")) + "," + U("N1", s + 12, 0) + "," +
             U("N2", s + 16, 0) +
             "],\"values\":{\"NMTP\":\"NMTP\",\"sectionLength\":64,\"nTypes\":2,\"N1\":0,\"N2\":0},"
             "\"blocks\":[{\"block\":\"DATAS_LF_MEMBER\",\"offset\":" + at(28) + ",\"typeIndex\":4096,\"fields\":[" +
             U("lf_index", s + 28, 0x1406, "enum", text("TYPE_LF_MEMBER")) + "," +
             U("indexType", s + 32, 0x10, "typeIndex", text("char")) + "," +
             U("iName", s + 36, 2, "nameIndex", text("r")) + "," +
             F("access", "USHORT", s + 40, 2, "9", "enum", error("unknownEnum")) + "," +
             F("offset", "USHORT", s + 42, 2, "0", "offset") + "," + U("N1", s + 44, 0) +
             "],\"values\":{\"lf_index\":5126,\"indexType\":16,\"iName\":2,\"access\":9,\"offset\":0,\"N1\":0}},"
             "{\"block\":\"DATAS_LF_DERIVED\",\"offset\":" + at(48) + ",\"typeIndex\":4097,\"fields\":[" +
             U("lf_index", s + 48, 0x2204, "enum", text("TYPE_LF_DERIVED")) + "," + U("N1", s + 52, 0) + "," +
             U("argCount", s + 56, 1, "count", "", counts("types")) + ",{\"list\":\"types\",\"offset\":" + at(60) +
             ",\"elements\":[[" + U("type", s + 60, 0x1000, "typeIndex", "", target(s + 28, "record")) +
             "]]}],\"values\":{\"lf_index\":8708,\"N1\":0,\"argCount\":1}}]}"},
    };
    for (const Case& c : cases) EXPECT_EQ(sectionBlock(c.kind, c.section), c.expected) << c.what;
}

TEST(Json, SymbolDataNestsSegmentsProceduresVariablesLinesAndFiles) {
    const std::string block = sectionBlock(
        kSymd, symbolData({.segments = {{.nSeg = 1,
                                         .procedures = {{.offStartProc = 0x10,
                                                         .locals = {{.tableType = 5, .iName = 1}},
                                                         .registers = {{.registerNumber = 17}}}},
                                         .sourceSections = {{.lines = {{0x10, 7}}}},
                                         .vlpEntries = {{.tableType = 7}}}},
                           .sourceFiles = {{.iName = 2}}}));
    const Json symd = Json::parse(block);
    // Blocks nest as the text indents them.
    std::vector<std::string> words;
    std::function<void(const Json&, const std::string&)> walk = [&](const Json& b, const std::string& path) {
        words.push_back(path + b.at("block").get<std::string>());
        if (b.contains("blocks"))
            for (const Json& inner : b.at("blocks")) walk(inner, path + "  ");
    };
    walk(symd, "");
    EXPECT_EQ(words, (std::vector<std::string>{
                         "SYMD_HEADER", "  SEGMENTDATA_HEADER", "    SEGMENTDATA",
                         "      SEGDATA_PROCEDURE", "        SEGDATA_VLPTABLE",
                         "        SEGDATA_REGISTER", "      SEGDATA_SOURCELINES",
                         "      SEGDATA_SOURCESECTION", "      SEGDATA_VLPTABLE",
                         "    SEGDATA_SOURCEFILE"}));
    const Json& segment = symd.at("blocks").at(0).at("blocks").at(0);
    const Json& procedure = segment.at("blocks").at(0);
    // The local variable's tableType breaks its rule; its type word is that of its two bytes,
    // whatever word the text's error line shows.
    const Json& local = procedure.at("blocks").at(0).at("fields").at(1);
    EXPECT_EQ(local.dump(), F("tableType", "USHORT", local.at("offset"), 2, "5", "enum", error("wrongTableType")));
    // A 16-bit register number, though the text's line says ULONG.
    const Json& reg = procedure.at("blocks").at(1).at("fields").at(5);
    EXPECT_EQ(reg.dump(), F("registerNumber", "USHORT", reg.at("offset"), 2, "17", "enum", text("eax")));
    const Json& lines = segment.at("blocks").at(1);
    const uint64_t row = lines.at("offset");
    EXPECT_EQ(lines.at("fields").dump(),
              "[{\"list\":\"lineRows\",\"offset\":" + std::to_string(row) + ",\"elements\":[[" +
                  U("offInCode", row, 0x10, "offset") + "," + U("lineNumber", row + 4, 7) + "]]}]");
    EXPECT_EQ(procedure.at("values").at("sizeRegVariables"), 18);
    EXPECT_EQ(procedure.at("fields").at(5).at("entries"), 1);
    EXPECT_EQ(segment.at("blocks").at(3).at("fields").at(1).at("text"), "TT_LOCALP");
    EXPECT_EQ(symd.at("blocks").at(0).at("blocks").at(1).at("fields").at(0).at("text"), "r");
}

TEST(Json, TheEndOfADamagedWalkClosesEveryScope) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {"a", "b"}})});
    db.entries.push_back(
        {kSymd, symbolData({.segments = {{.procedures = {{.locals = {{}, {}}}}}}})});
    const Built built = build(db);
    const uint64_t symd = built.sectionOffsets[1];
    std::vector<uint8_t> badSignature = built.bytes;
    badSignature[symd] = 'X';
    std::vector<uint8_t> truncated = built.bytes;
    // Into the second local variable: the walk stops deep inside segment and procedure.
    const uint64_t cut = symd + 44 + 12 + 54 + 32 + 16 + 8;
    truncated.resize(cut);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string end;
    } cases[] = {
        {"bounds", truncated,
         "{\"status\":\"error\",\"kind\":\"bounds\",\"header\":\"SYMD_HEADER\",\"offset\":" +
             std::to_string(cut - 8) + ",\"fileSize\":" + std::to_string(cut) + ",\"damagedFields\":0,\"unknownValues\":0}"},
        {"signature", badSignature,
         "{\"status\":\"error\",\"kind\":\"signature\",\"header\":\"SYMD_HEADER\",\"offset\":" +
             std::to_string(symd) + ",\"damagedFields\":0,\"unknownValues\":0}"},
    };
    for (const Case& c : cases) {
        const std::string doc = json(c.bytes);
        const std::string text = report(c.bytes);
        EXPECT_EQ(Json::parse(doc).at("result").dump(), c.end) << c.what;
        EXPECT_EQ(checks::checkJsonAgainstText(doc, text, c.bytes.size()), "") << c.what;
    }
}

TEST(Json, TheSizeLimitCountsTheDocumentsOwnBytes) {
    // Every offset of the string table names one long name: the listing would grow with
    // the square of the file.
    const std::string name(65536, 'n');
    Database db;
    db.entries.push_back({kSttb, [&](Bytes& out) {
                              out.raw("STTB");
                              out.u32(0);
                              out.u32(16384);
                              out.u32(0);
                              out.u32(0);
                              for (int i = 0; i < 16384; ++i) out.u32(0);
                              out.raw(name);
                              out.u8(0);
                          }});
    const auto bytes = build(db).bytes;
    const std::string doc = json(bytes);
    const uint64_t limit = reportLimit(bytes.size());
    EXPECT_EQ(Json::parse(doc).at("result").dump(),
              "{\"status\":\"error\",\"kind\":\"limit\",\"header\":\"STTB_HEADER\",\"limit\":" +
                  std::to_string(limit) + ",\"damagedFields\":0,\"unknownValues\":0}");
    EXPECT_GE(doc.size(), limit);
    EXPECT_LE(doc.size(), limit + name.size() + 400);
    EXPECT_EQ(checks::checkJsonAgainstText(doc, report(bytes), bytes.size()), "");
}

// A text of the file that is valid UTF-8 is that text; one that is not has one U+FFFD for
// each maximal invalid subsequence (as Python's errors="replace" decodes it) and its exact
// bytes in lower-case hexadecimal. Control bytes, quote and backslash are escaped.
TEST(Json, TextsOfTheFileAreUtf8OrReplacedWithTheirBytes) {
    const std::string R = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        std::string name;
        std::string written;  // between the quotes
        std::string bytes;    // "" when valid
    } cases[] = {
        {"\xC3\xBC\xE2\x82\xAC", "\xC3\xBC\xE2\x82\xAC", ""},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", ""},
        {std::string("\x01\"\\\x7F\t", 5), "\\u0001\\\"\\\\\\u007F\\t", ""},
        {"\x80\xFF", R + R, "80ff"},
        {"\xE2\x82" "A", R + "A", "e28241"},          // a cut sequence is one subsequence
        {"\xF0\x9F\x98", R, "f09f98"},
        {"\xF0\x80\x80", R + R + R, "f08080"},       // overlong: no valid second byte
        {"\xED\xA0\x80", R + R + R, "eda080"},       // a surrogate
        {"\xF4\x90\x80\x80", R + R + R + R, "f4908080"},  // past U+10FFFF
        {"\xC0\xAF" "x\xC3", R + R + "x" + R, "c0af78c3"},
    };
    for (const auto& c : cases) {
        Database db;
        db.entries.push_back({kSttb, stringTable({.names = {c.name}})});
        const std::string doc = json(build(db).bytes);
        const std::string want = "\"text\":\"" + c.written + "\"" +
                                 (c.bytes.empty() ? "" : ",\"bytes\":\"" + c.bytes + "\"") + ",\"role\"";
        EXPECT_NE(doc.find(want), std::string::npos) << c.bytes << "\n" << doc;
        const Json name = Json::parse(doc).at("blocks").at(2).at("fields").at(5).at("elements").at(0).at(0);
        EXPECT_EQ(name.contains("bytes"), !c.bytes.empty()) << c.bytes;
    }
}

// Every number of the documents is written by putDecimal: the same characters as
// std::to_chars at each change in the number of digits, around the powers of two, and at
// the extremes.
TEST(Json, NumbersAreWrittenAsToCharsWritesThem) {
    std::vector<uint64_t> values = {0, UINT32_MAX, uint64_t{UINT32_MAX} + 1, UINT64_MAX, UINT64_MAX - 1};
    uint64_t power = 1;
    for (int digits = 1; digits <= 20; ++digits) {
        values.insert(values.end(), {power - 1, power, power + 1, 2 * power - 1, 9 * power + (power - 1)});
        if (digits < 20) power *= 10;
    }
    for (int bits = 1; bits < 64; ++bits) {
        const uint64_t two = uint64_t{1} << bits;
        values.insert(values.end(), {two - 1, two, two + 1});
    }
    for (const uint64_t value : values) {
        char wanted[24];
        char written[24];
        const std::string_view want(wanted, std::to_chars(wanted, wanted + 24, value).ptr - wanted);
        EXPECT_EQ(std::string_view(written, putDecimal(written, value) - written), want) << want;
    }
}

// The database's name comes from the command line: the system's text (UTF-8), written as
// it is; a byte of no valid UTF-8 sequence reads as U+FFFD, one per maximal invalid
// subsequence.
TEST(Json, TheDatabasesNameIsTextAsGiven) {
    const struct {
        std::string_view name;
        std::string_view written;
        std::string_view parsed;
    } cases[] = {
        {"plain/x.nms", "plain/x.nms", "plain/x.nms"},
        {"Donn\xC3\xA9""es.nms", "Donn\xC3\xA9""es.nms", "Donn\xC3\xA9""es.nms"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.nms", "\xE6\x97\xA5\xE6\x9C\xAC.nms", "\xE6\x97\xA5\xE6\x9C\xAC.nms"},
        {"\xF0\x9F\x98\x80.nms", "\xF0\x9F\x98\x80.nms", "\xF0\x9F\x98\x80.nms"},
        {"a\"b\\c\td\x01.nms", "a\\\"b\\\\c\\td\\u0001.nms", "a\"b\\c\td\x01.nms"},
        {"Donn\xE9""es.nms", "Donn\xEF\xBF\xBD""es.nms", "Donn\xEF\xBF\xBD""es.nms"},
        {"\xC3.nms\xE2\x82", "\xEF\xBF\xBD.nms\xEF\xBF\xBD", "\xEF\xBF\xBD.nms\xEF\xBF\xBD"},
    };
    Database db;
    const auto bytes = build(db).bytes;
    for (const auto& c : cases) {
        const std::string doc = json(bytes, c.name);
        const std::string head = "{\"format\":\"symdeck-report\",\"version\":2,\"database\":{\"name\":\"";
        EXPECT_EQ(doc.substr(0, head.size() + c.written.size() + 2), head + std::string(c.written) + "\",")
            << c.written;
        EXPECT_EQ(Json::parse(doc).at("database").at("name"), c.parsed) << c.written;
    }
}

// The raw JSON that follows `"key":` at `at` in `doc`: a string, and the "bytes" member
// after it when there is one.
std::string stringAt(const std::string& doc, size_t at) {
    size_t end = at + 1;
    while (end < doc.size() && doc[end] != '"') end += doc[end] == '\\' ? 2 : 1;
    ++end;
    if (doc.compare(end, 9, ",\"bytes\":") == 0) end = doc.find('"', end + 10) + 1;
    return doc.substr(at, end - at);
}

// Explain's JSON answers write a text of the file with the same writer as the report's
// JSON: the same string, and the same "bytes" where the text is not valid UTF-8.
TEST(Json, ExplainAnswersWriteTextsAsTheReportDoes) {
    const struct {
        std::string what;
        std::string name;
    } cases[] = {
        {"valid UTF-8", "Donn\xC3\xA9" "es \xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"invalid UTF-8", "Donn\xE9" "es\x80\xFF\xF0\x9F\x98"},
        {"C1 controls", "a\xC2\x80\xC2\x9B[2J\xC2\x9F\xC2\xA0"},
        {"other controls", std::string("\x01\"\\\x7F\t\n\x1B", 7)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Database db;
        db.entries.push_back({kSttb, stringTable({.names = {c.name}})});
        const auto bytes = build(db).bytes;
        const std::string doc = json(bytes);
        const size_t key = doc.find("\"text\":", doc.find("\"name\":\"offset\""));
        ASSERT_NE(key, std::string::npos);
        const std::string written = stringAt(doc, key + 7);
        const std::vector<uint8_t> raw(c.name.begin(), c.name.end());
        const auto at = std::search(bytes.begin(), bytes.end(), raw.begin(), raw.end());
        ASSERT_NE(at, bytes.end());
        const std::vector<uint64_t> offsets{static_cast<uint64_t>(at - bytes.begin()) + 1};
        const std::string answer = explainImage(NmsImage{bytes.data(), bytes.size()}, {}, offsets, true).text;
        // The list element's offset field names the text: its "text", and the text's "value".
        for (const std::string member : {"\"text\":", "\"value\":"})
            EXPECT_NE(answer.find(member + written), std::string::npos) << member << written << "\n" << answer;
        const Json hit = Json::parse(answer).at(0).at("hits").at(0);
        const Json field = Json::parse(doc).at("blocks").at(2).at("fields").at(5).at("elements").at(0).at(0);
        EXPECT_EQ(hit.at("text").at("value"), field.at("text"));
        EXPECT_EQ(hit.at("text").value("bytes", ""), field.value("bytes", ""));
    }
}

// No JSON the program writes carries a C1 control (U+0080 to U+009F) as it is, which some
// terminals obey as they do ESC: each is \u00XX in the report's JSON, its lines and
// explain's answers, in texts of the file and in the database's name alike.
TEST(Json, C1ControlsAreEscapedInEveryDocument) {
    const std::string name = "x\xC2\x9B" "31m\xC2\x80\xC3\xA9";
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {name}})});
    const auto bytes = build(db).bytes;
    const NmsImage image{bytes.data(), bytes.size()};
    const std::vector<uint8_t> raw(name.begin(), name.end());
    const auto at = std::search(bytes.begin(), bytes.end(), raw.begin(), raw.end());
    ASSERT_NE(at, bytes.end());
    const std::vector<uint64_t> offsets{static_cast<uint64_t>(at - bytes.begin())};
    const struct {
        std::string form;
        std::string text;
    } forms[] = {
        {"json", renderJsonToString(image, {}, name)},
        {"json lines", renderJsonToString(image, {}, name, true)},
        {"explain", explainImage(image, {}, offsets, true).text},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(f.form);
        for (size_t i = 0; i + 1 < f.text.size(); ++i)
            ASSERT_FALSE(f.text[i] == '\xC2' && static_cast<unsigned char>(f.text[i + 1]) < 0xA0) << i;
        EXPECT_NE(f.text.find("\"x\\u009B31m\\u0080\xC3\xA9\""), std::string::npos) << f.text;
    }
}

std::string lines(const std::vector<uint8_t>& bytes) {
    return renderJsonToString(NmsImage{bytes.data(), bytes.size()}, {}, "t.nms", true);
}

// The lines form: a header, one line per block with the path of its enclosing blocks, a
// long list carried on in list lines of at most 2048 elements, and the result.
TEST(JsonLines, LongListsAreSplitAndEveryLineIsTheDocuments) {
    std::vector<std::string> names;
    for (int i = 0; i < 5000; ++i) names.push_back("name" + std::to_string(i));
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = names})});
    db.entries.push_back({kTytb, typeTables({.entries = {{0x10, 4999}}})});
    const auto bytes = build(db).bytes;
    const std::string text = lines(bytes);
    std::vector<Json> parsed;
    size_t longest = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t nl = text.find('\n', at);
        ASSERT_NE(nl, std::string::npos);
        longest = std::max(longest, nl - at);
        parsed.push_back(Json::parse(text.substr(at, nl - at)));
        at = nl + 1;
    }
    std::vector<std::string> kinds;
    for (const Json& line : parsed)
        kinds.push_back(line.at("line").get<std::string>() + " " + line.value("block", "") +
                        (line.contains("list") ? " " + line.at("list").get<std::string>() : ""));
    EXPECT_EQ(kinds, (std::vector<std::string>{"header ", "block NM32_HEADER", "block NMDR_HEADER",
                                               "block NMDE_S", "block NMDE_S", "block STTB_HEADER",
                                               "list STTB_HEADER strings", "list STTB_HEADER strings",
                                               "block TYTB_HEADER", "block TYPETABLE", "result "}));
    // Each line holds at most 2048 elements, about 256 KiB; the list lines carry on where
    // the line before ended.
    size_t elements = parsed[5].at("fields").back().at("elements").size();
    for (size_t i : {6, 7}) {
        EXPECT_EQ(parsed[i].at("first"), elements);
        elements += parsed[i].at("elements").size();
        EXPECT_LE(parsed[i].at("elements").size(), 2048u);
    }
    EXPECT_EQ(elements, 5000u);
    EXPECT_LT(longest, 1u << 20);
    EXPECT_EQ(parsed.front().dump(),
              "{\"line\":\"header\",\"format\":\"symdeck-report-lines\",\"version\":2,"
              "\"database\":{\"name\":\"t.nms\",\"size\":" + std::to_string(bytes.size()) + "}}");
    EXPECT_EQ(parsed[9].at("path").dump(), "[{\"block\":\"TYTB_HEADER\",\"offset\":" +
                                               std::to_string(parsed[8].at("offset").get<uint64_t>()) + "}]");
    EXPECT_EQ(parsed.back().dump(),
              "{\"line\":\"result\",\"result\":{\"status\":\"complete\",\"damagedFields\":0,\"unknownValues\":0}}");
    checks::WalkTally tally;
    EXPECT_EQ(checks::checkJsonProperties(json(bytes), text, tally), "");
    EXPECT_EQ(tally.lines, 9u);
}

// Each fault the properties of version 2 are there for is caught.
TEST(JsonChecks, PropertiesCatchTheFaultsTheyAreThereFor) {
    Database db;
    db.header.copyrightString = "\xE9t\xE9";
    db.entries.push_back({kSttb, stringTable({.names = {"a", "b"}})});
    db.entries.push_back({kTytb, typeTables({.entries = {{0x10, 0}, {0x11, 1}}})});
    const auto bytes = build(db).bytes;
    const std::string doc = json(bytes), text = lines(bytes);
    checks::WalkTally tally;
    ASSERT_EQ(checks::checkJsonProperties(doc, text, tally), "");
    EXPECT_EQ(tally.invalidTexts, 1u);
    EXPECT_GT(tally.jsonTargets, 0u);
    EXPECT_GT(tally.jsonCounts, 0u);
    const auto replaced = [](std::string in, const std::string& from, const std::string& to) {
        const size_t at = in.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? in : in.replace(at, from.size(), to);
    };
    struct Case {
        const char* what;
        std::string json, lines;
    } cases[] = {
        {"a value that is not its field's", replaced(doc, "\"nNMDE\":2", "\"nNMDE\":4"), text},
        {"a field left out of the values", replaced(doc, "\"verMajor\":1,", ""), text},
        {"a target no block has", replaced(doc, "\"target\":580", "\"target\":581"), text},
        {"a count that is not its blocks'", replaced(doc, "\"value\":2,\"role\":\"count\"", "\"value\":4,\"role\":\"count\""), text},
        {"bytes that are not the text's", replaced(doc, "\"bytes\":\"e974e9", "\"bytes\":\"e975e9"), text},
        {"a line left out", doc, replaced(text, "{\"line\":\"block\",\"block\":\"TYPETABLE\"", "{\"line\":\"block\",\"block\":\"TYPETABLE\"").substr(0, text.rfind("{\"line\":\"block\",\"block\":\"TYPETABLE\"")) + text.substr(text.rfind("{\"line\":\"result\""))},
        {"a line's path", doc, replaced(text, "\"path\":[{\"block\":\"TYTB_HEADER\"", "\"path\":[{\"block\":\"NMDR_HEADER\"")},
        {"another result", doc, replaced(text, "\"status\":\"complete\"", "\"status\":\"complete\",\"x\":1")},
    };
    for (const Case& c : cases) {
        checks::WalkTally ignored;
        EXPECT_NE(checks::checkJsonProperties(c.json, c.lines, ignored), "") << c.what;
    }
}

// Each fault the property check is there for is caught.
TEST(JsonChecks, CatchTheFaultsTheyAreThereFor) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {"a"}})});
    db.entries.push_back({kTytb, typeTables({.entries = {{0x10, 0}, {0x11, 0}}})});
    const auto bytes = build(db).bytes;
    const std::string doc = json(bytes), text = report(bytes);
    ASSERT_EQ(checks::checkJsonAgainstText(doc, text, bytes.size()), "");
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = doc;
        const size_t at = changed.rfind(from);
        EXPECT_NE(at, std::string::npos) << from;
        return changed.replace(at, from.size(), to);
    };
    struct Case {
        const char* what;
        std::string json;
    } cases[] = {
        {"a scope left open", replaced("}}]}],\n\"result\"", "}}],\n\"result\"")},
        {"a trailing comma", replaced("}}]}],\n\"result\"", "}}]},],\n\"result\"")},
        {"no line feed at the end", doc.substr(0, doc.size() - 1)},
        {"a block the text does not have", replaced("\"block\":\"TYPETABLE\"", "\"block\":\"TYPETABLES\"")},
        {"a block's offset", replaced("\"block\":\"TYPETABLE\",\"offset\":", "\"block\":\"TYPETABLE\",\"offset\":1")},
        {"an end the text does not have", replaced("{\"status\":\"complete\"",
                                                   "{\"status\":\"error\",\"kind\":\"signature\","
                                                   "\"header\":\"TYTB_HEADER\",\"offset\":1")},
        {"a field outside the file", replaced("\"size\":4,", "\"size\":4000000,")},
        {"a field's keys out of order", replaced("{\"name\":\"N2\",\"type\":\"ULONG\"", "{\"type\":\"ULONG\",\"name\":\"N2\"")},
        {"a block left out", replaced(",\n{\"block\":\"TYPETABLE\"", "]},{\"x\":[{\"block\":\"TYPETABLE\"")},
    };
    for (const Case& c : cases)
        EXPECT_NE(checks::checkJsonAgainstText(c.json, text, bytes.size()), "") << c.what;
    // And a text with a block the document lacks.
    const std::string extra = text + "  TYPETABLE (offset: 0x1)\n";
    EXPECT_NE(checks::checkJsonAgainstText(doc, extra, bytes.size()), "");
}

}  // namespace
}  // namespace symdeck::test

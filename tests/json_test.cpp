// The JSON form: whole documents of small databases built in memory, the ends of damaged
// walks, raw bytes of the file in strings, and the property checks that the damage sweeps
// and the fuzzer rely on (each must catch the fault it is there for).
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/driver.h"
#include "checks/json_checks.h"
#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"
#include "report/explain_answers.h"
#include "report/walk.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;
using Json = nlohmann::ordered_json;

std::string json(const std::vector<uint8_t>& bytes, std::string_view name = "t.nms",
                 const SectionSelection& selection = {}) {
    return renderJsonToString(NmsImage{bytes.data(), bytes.size()}, selection, name);
}

// One field as the document writes it.
std::string F(const std::string& name, const std::string& type, uint64_t offset, int size,
              const std::string& value, const std::string& extra = "") {
    return "{\"name\":\"" + name + "\",\"type\":\"" + type + "\",\"offset\":" +
           std::to_string(offset) + ",\"size\":" + std::to_string(size) + ",\"value\":" + value +
           extra + "}";
}
std::string U(const std::string& name, uint64_t offset, uint64_t value, const std::string& extra = "") {
    return F(name, "ULONG", offset, 4, std::to_string(value), extra);
}
std::string text(const std::string& t) { return ",\"text\":\"" + t + "\""; }
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

TEST(Json, WholeDocumentOfASmallDatabase) {
    Database db;
    db.header.fileType = 3;
    db.header.filePath = "c:\\a\"b";
    db.header.copyrightString = "\x01\xE9";
    db.entries.push_back({kTytb, typeTables({.entries = {{0x22, 5}}})});
    db.entries.push_back({9, {}});
    const auto bytes = build(db).bytes;
    std::string expected =
        "{\"format\":\"symdeck-report\",\"version\":1,\"database\":{\"name\":\"dir\\\\t.nms\",\"size\":740},"
        "\"blocks\":[\n{\"block\":\"NM32_HEADER\",\"offset\":0,\"fields\":[" +
        F("NM32", "ULONG", 0, 4, "\"NM32\"") + "," + U("verMajor", 4, 1) + "," + U("verMinor", 8, 0) +
        "," + U("offNMDR", 12, 580) + "," + U("creationTime", 16, 0) + "," +
        U("creationNumber", 20, 0) + "," + U("fileType", 24, 3, ",\"error\":\"0x3(unknown)\"") + "," +
        U("fileLength", 28, 0);
    expected += unnamed(32, 8);
    expected += "," + F("filePath", "CHAR[0x104]", 64, 260, "\"c:\\\\a\\\"b\"") + "," +
                F("copyrightString", "CHAR[0x100]", 324, 256, "\"\\u0001\\u00E9\"") + "]},";
    expected += "\n{\"block\":\"NMDR_HEADER\",\"offset\":580,\"fields\":[" +
                F("NMDR", "ULONG", 580, 4, "\"NMDR\"") + "," + U("nNMDE", 584, 2) + "," +
                U("offGTYP", 588, 0) + "," + U("offSTTB", 592, 0) + "," + U("offSYMD", 596, 0) +
                "," + U("offSRCP", 600, 0) + "," + U("offFPOD", 604, 0);
    expected += unnamed(608, 7);
    expected += "],\"blocks\":[";
    const uint32_t kinds[] = {kTytb, 9}, offsets[] = {708, 0}, lengths[] = {32, 0};
    for (uint32_t e = 0; e < 2; ++e) {
        const uint64_t at = 636 + 36 * e;
        expected += std::string(e ? "," : "") + "\n{\"block\":\"NMDE_S\",\"offset\":" + std::to_string(at) +
                    ",\"index\":" + std::to_string(e) + ",\"fields\":[" +
                    F("NMDE", "ULONG", at, 4, "\"NMDE\"") + "," +
                    U("entryIndex", at + 4, kinds[e], e ? ",\"error\":\"9(unknown)\"" : text("TYTB")) +
                    "," + U("offEntry", at + 8, offsets[e]) + "," + U("entryLength", at + 12, lengths[e]);
        expected += unnamed(at + 16, 5);
        expected += "]}";
    }
    expected += "]},\n{\"block\":\"TYTB_HEADER\",\"offset\":708,\"fields\":[" +
                F("TYTB", "ULONG", 708, 4, "\"TYTB\"") + "," + U("sectionLength", 712, 32) + "," +
                U("offTypeTables", 720, 732) + "," + U("N1", 724, 0) + "," + U("N2", 728, 0) +
                "],\"blocks\":[\n{\"block\":\"TYPETABLE\",\"offset\":732,\"fields\":[" +
                U("type", 732, 0x22, text("unsigned long")) + "," +
                U("iName", 736, 5, text("iName is out of range")) + "]}]},"
                "\n{\"block\":\"UNKNOWN\",\"kind\":9,\"fields\":[]}],\n\"end\":{\"status\":\"complete\"}}\n";
    EXPECT_EQ(json(bytes, "dir\\t.nms"), expected);
}

// The block of the one section after the string table, as compact JSON.
std::string sectionBlock(uint32_t kind, SectionEmitter section, uint32_t verMinor = 0) {
    Database db;
    db.header.verMinor = verMinor;
    db.entries.push_back({kSttb, stringTable({.names = {"_TEXT", "x", "r"}})});
    db.entries.push_back({kind, std::move(section)});
    const Json doc = Json::parse(json(build(db).bytes, "t.nms", {.skipSttb = true}));
    EXPECT_EQ(doc.at("end").dump(), "{\"status\":\"complete\"}");
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
         "{\"block\":\"HSHT_HEADER\",\"offset\":" + at(0) + ",\"fields\":[" + F("HSHT", "ULONG", s, 4, "\"HSHT\"") +
             "," + U("sectionLength", s + 4, 56) + "," + U("sizeTableOffsets", s + 8, 1) + "," +
             U("nTypes", s + 12, 1) + "," + U("offTableOffsets", s + 16, s + 32) + "," +
             U("offTypeTables", s + 20, s + 36) + "," + U("N1", s + 24, 0) + "," + U("N2", s + 28, 0) +
             ",{\"list\":\"Type Table Offsets\",\"offset\":" + at(32) + ",\"elements\":[[" + U("offset", s + 32, 7) +
             "]]}],\"blocks\":[{\"block\":\"HSHT_TYPETABLE\",\"offset\":" + at(36) + ",\"fields\":[" +
             U("offPreviousTable", s + 36, 0) + "," + U("hashNumber", s + 40, 0) + "," +
             U("iName", s + 44, 1, text("x")) + "," + U("type", s + 48, 0x1000, text("one of NM types")) +
             "," + U("N1", s + 52, 0) + "]}]}"},
        {"type records: a member with an access of no word, a derivation list", kNmtp,
         typeRecords({.records = {Member{.indexType = 0x10, .iName = 2, .access = 9},
                                  Derived{.types = {0x1000}}}}),
         "{\"block\":\"NMTP_HEADER\",\"offset\":" + at(0) + ",\"end\":" + at(64) + ",\"fields\":[" +
             F("NMTP", "ULONG", s, 4, "\"NMTP\"") + "," + U("sectionLength", s + 4, 64) + "," +
             U("nTypes", s + 8, 2) + "," + U("N1", s + 12, 0) + "," + U("N2", s + 16, 0) +
             "],\"blocks\":[{\"block\":\"DATAS_LF_MEMBER\",\"offset\":" + at(28) + ",\"typeIndex\":4096,\"fields\":[" +
             U("lf_index", s + 28, 0x1406, text("TYPE_LF_MEMBER")) + "," +
             U("indexType", s + 32, 0x10, text("char")) + "," + U("iName", s + 36, 2, text("r")) + "," +
             F("access", "USHORT", s + 40, 2, "9", ",\"error\":\"unknown(9)\"") + "," +
             F("offset", "USHORT", s + 42, 2, "0") + "," + U("N1", s + 44, 0) +
             "]},{\"block\":\"DATAS_LF_DERIVED\",\"offset\":" + at(48) + ",\"typeIndex\":4097,\"fields\":[" +
             U("lf_index", s + 48, 0x2204, text("TYPE_LF_DERIVED")) + "," + U("N1", s + 52, 0) + "," +
             U("argCount", s + 56, 1) + ",{\"list\":\"type\",\"offset\":" + at(60) + ",\"elements\":[[" +
             U("type", s + 60, 0x1000) + "]]}]}]}"},
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
    // The local variable's tableType breaks its rule: the type word of its text line, ULONG.
    const Json& local = procedure.at("blocks").at(0).at("fields").at(1);
    EXPECT_EQ(local.at("type"), "ULONG");
    EXPECT_EQ(local.at("size"), 2);
    EXPECT_EQ(local.at("error"), "TYPE ERROR -> it should be 1(TT_LOCALV) but it's 5");
    const Json& reg = procedure.at("blocks").at(1).at("fields").at(5);
    EXPECT_EQ(reg.dump(), F("registerNumber", "ULONG", reg.at("offset"), 2, "17", text("eax")));
    const Json& lines = segment.at("blocks").at(1);
    const uint64_t row = lines.at("offset");
    EXPECT_EQ(lines.at("fields").dump(),
              "[{\"list\":\"SEGDATA_SOURCELINES\",\"offset\":" + std::to_string(row) + ",\"elements\":[[" +
                  U("offInCode", row, 0x10) + "," + U("lineNumber", row + 4, 7) + "]]}]");
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
             std::to_string(cut - 8) + ",\"fileSize\":" + std::to_string(cut) + "}"},
        {"signature", badSignature,
         "{\"status\":\"error\",\"kind\":\"signature\",\"header\":\"SYMD_HEADER\",\"offset\":" +
             std::to_string(symd) + "}"},
    };
    for (const Case& c : cases) {
        const std::string doc = json(c.bytes);
        const std::string text = report(c.bytes);
        EXPECT_EQ(Json::parse(doc).at("end").dump(), c.end) << c.what;
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
    EXPECT_EQ(Json::parse(doc).at("end").dump(),
              "{\"status\":\"error\",\"kind\":\"limit\",\"header\":\"STTB_HEADER\",\"limit\":" +
                  std::to_string(limit) + "}");
    EXPECT_GE(doc.size(), limit);
    EXPECT_LE(doc.size(), limit + name.size() + 400);
    EXPECT_EQ(checks::checkJsonAgainstText(doc, report(bytes), bytes.size()), "");
}

// Every byte of a name stands for one code point: control bytes, quote and backslash
// escaped, bytes from 0x80 on as U+0080 to U+00FF.
TEST(Json, RawBytesOfTheFileAreCodePoints) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {std::string("\x01\"\\\x7F\x80\xFF\t", 7)}})});
    const std::string doc = json(build(db).bytes);
    EXPECT_NE(doc.find("\"text\":\"\\u0001\\\"\\\\\\u007F\\u0080\\u00FF\\t\"}"), std::string::npos);
    const Json parsed = Json::parse(doc);
    EXPECT_EQ(parsed.at("blocks").at(2).at("fields").at(5).at("elements").at(0).at(0).at("text"),
              "\x01\"\\\x7F\xC2\x80\xC3\xBF\t");
}

// The database's name comes from the command line: it is the system's text (UTF-8), not
// bytes of the file, and reads back as the same characters; a byte of no valid UTF-8
// sequence reads as U+FFFD. The document itself stays ASCII.
TEST(Json, TheDatabasesNameIsTextAsGiven) {
    const struct {
        std::string_view name;
        std::string_view written;
        std::string_view parsed;
    } cases[] = {
        {"plain/x.nms", "plain/x.nms", "plain/x.nms"},
        {"Donn\xC3\xA9""es.nms", "Donn\\u00E9es.nms", "Donn\xC3\xA9""es.nms"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.nms", "\\u65E5\\u672C.nms", "\xE6\x97\xA5\xE6\x9C\xAC.nms"},
        {"\xF0\x9F\x98\x80.nms", "\\uD83D\\uDE00.nms", "\xF0\x9F\x98\x80.nms"},
        {"a\"b\\c\td\x01.nms", "a\\\"b\\\\c\\td\\u0001.nms", "a\"b\\c\td\x01.nms"},
        {"Donn\xE9""es.nms", "Donn\\uFFFDes.nms", "Donn\xEF\xBF\xBD""es.nms"},
        {"\xC3.nms\xE2\x82", "\\uFFFD.nms\\uFFFD\\uFFFD", "\xEF\xBF\xBD.nms\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    Database db;
    const auto bytes = build(db).bytes;
    for (const auto& c : cases) {
        const std::string doc = json(bytes, c.name);
        const std::string head = "{\"format\":\"symdeck-report\",\"version\":1,\"database\":{\"name\":\"";
        EXPECT_EQ(doc.substr(0, head.size() + c.written.size() + 2), head + std::string(c.written) + "\",")
            << c.written;
        EXPECT_EQ(Json::parse(doc).at("database").at("name"), c.parsed) << c.written;
        EXPECT_TRUE(std::all_of(doc.begin(), doc.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; }));
    }
}

// An explanation's JSON answer spells a text from the file exactly as the report does: the
// same escapes, so both parse to the same code points.
TEST(Json, ExplainAnswersEscapeTextsAsTheReportDoes) {
    const std::string name("\x01\"\\\x7F\x80\xFF\t", 7);
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {name}})});
    const auto bytes = build(db).bytes;
    const std::vector<uint8_t> raw(name.begin(), name.end());
    const auto at = std::search(bytes.begin(), bytes.end(), raw.begin(), raw.end());
    ASSERT_NE(at, bytes.end());
    const std::vector<uint64_t> offsets{static_cast<uint64_t>(at - bytes.begin()) + 5};
    const std::string answer =
        explainImage(NmsImage{bytes.data(), bytes.size()}, {}, offsets, true).text;
    EXPECT_NE(answer.find("\"value\":\"\\u0001\\\"\\\\\\u007F\\u0080\\u00FF\\t\""),
              std::string::npos)
        << answer;
    const Json hits = Json::parse(answer).at(0).at("hits");
    ASSERT_FALSE(hits.empty());
    for (const Json& hit : hits) EXPECT_EQ(hit.at("text").at("value"), "\x01\"\\\x7F\xC2\x80\xC3\xBF\t");
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
        {"a scope left open", replaced("]}]}],\n\"end\"", "]}],\n\"end\"")},
        {"a trailing comma", replaced("]}]}],\n\"end\"", "]}]},],\n\"end\"")},
        {"no line feed at the end", doc.substr(0, doc.size() - 1)},
        {"a block the text does not have", replaced("\"block\":\"TYPETABLE\"", "\"block\":\"TYPETABLES\"")},
        {"a block's offset", replaced("\"block\":\"TYPETABLE\",\"offset\":", "\"block\":\"TYPETABLE\",\"offset\":1")},
        {"an end the text does not have", replaced("{\"status\":\"complete\"}",
                                                   "{\"status\":\"error\",\"kind\":\"signature\","
                                                   "\"header\":\"TYTB_HEADER\",\"offset\":1}")},
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

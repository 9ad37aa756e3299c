// The table form: the whole CSV of a small database, its JSON rows against its CSV, texts
// that CSV must quote, the row of a block without fields, identities as the diff gives
// them, and every truncation and corruption of the sample: each row the same columns.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "entry/render.h"
#include "forms/diff.h"
#include "forms/table_printer.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/sample.h"
#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;
using Json = nlohmann::ordered_json;
constexpr size_t kColumns = std::size(kTableColumns);

std::string csv(const std::vector<uint8_t>& bytes, std::string_view name = "t.nms",
                const SectionSelection& selection = {}) {
    return renderTableToString(NmsImage{bytes.data(), bytes.size()}, selection, name);
}
std::string jsonRows(const std::vector<uint8_t>& bytes, std::string_view name = "t.nms",
                     const SectionSelection& selection = {}) {
    return renderTableToString(NmsImage{bytes.data(), bytes.size()}, selection, name, true);
}

// A CSV text as RFC 4180 reads it: records of fields, a quoted field's doubled quotes one
// quote. A field that was quoted keeps its quotes' mark in `quoted`, to tell "" from null.
struct Cell {
    std::string text;
    bool quoted = false;
};
std::vector<std::vector<Cell>> parseCsv(const std::string& text, std::string& error) {
    std::vector<std::vector<Cell>> rows;
    std::vector<Cell> row;
    Cell cell;
    size_t i = 0;
    bool fieldStart = true;
    while (i < text.size()) {
        const char c = text[i];
        if (fieldStart && c == '"') {
            cell.quoted = true;
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    error = "an unclosed quote";
                    return rows;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        cell.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell.text += text[i++];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\n') {
                error = "text after a closing quote";
                return rows;
            }
            fieldStart = false;
            continue;
        }
        if (c == ',' || c == '\n') {
            row.push_back(cell);
            cell = Cell{};
            if (c == '\n') {
                rows.push_back(row);
                row.clear();
            }
            fieldStart = true;
            ++i;
            continue;
        }
        if (c == '"' || c == '\r') {
            error = "a quote or carriage return in an unquoted field";
            return rows;
        }
        cell.text += c;
        fieldStart = false;
        ++i;
    }
    if (!row.empty() || !fieldStart || !cell.text.empty()) error = "no line feed after the last row";
    return rows;
}

// What a row's text says: the cells, each as its text or "null".
std::string cellWord(const Cell& c) { return c.text.empty() && !c.quoted ? "null" : c.text; }
std::string jsonWord(const Json& v) {
    if (v.is_null()) return "null";
    if (v.is_string()) return v.get<std::string>();
    return v.dump();
}

// The rows of both spellings say the same, and each row has every column: the CSV's header
// line and each record kColumns fields, each JSON line an object of the columns in order.
std::string checkRows(const std::string& table, const std::string& lines) {
    std::string error;
    const auto rows = parseCsv(table, error);
    if (!error.empty()) return "CSV: " + error;
    if (rows.empty()) return "no header line";
    for (size_t c = 0; c < kColumns; ++c)
        if (rows[0].size() != kColumns || rows[0][c].text != kTableColumns[c]) return "the header line";
    std::vector<std::string> jsonLines;
    for (size_t from = 0; from < lines.size();) {
        const size_t end = lines.find('\n', from);
        if (end == std::string::npos) return "JSON rows: no line feed after the last row";
        jsonLines.push_back(lines.substr(from, end - from));
        from = end + 1;
    }
    if (jsonLines.size() + 1 != rows.size()) return "the forms' rows differ in number";
    for (size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != kColumns) return "row " + std::to_string(r) + ": " + std::to_string(rows[r].size()) + " columns";
        const Json row = Json::parse(jsonLines[r - 1], nullptr, false);
        if (!row.is_object() || row.size() != kColumns) return "JSON row " + std::to_string(r) + " is no object of every column";
        size_t c = 0;
        for (const auto& [key, value] : row.items()) {
            if (key != kTableColumns[c]) return "JSON row " + std::to_string(r) + ": " + key + " out of order";
            // An empty text is null in CSV too, to a reader that does not tell quoted from not.
            if (jsonWord(value) != cellWord(rows[r][c]))
                return "row " + std::to_string(r) + " column " + key + ": " + jsonWord(value) + " against " + cellWord(rows[r][c]);
            ++c;
        }
    }
    return "";
}

std::string B(const std::string& word, uint64_t offset, uint64_t size, const std::string& path,
              const std::string& identity) {
    return "\"t.nms\"," + word + "," + std::to_string(offset) + "," + std::to_string(size) + "," + path + "," + identity;
}
// A field's columns (its block's come first); `list` is ",," for a block's own field. A text
// is given as it is written, quotes and all.
std::string F(const std::string& name, const std::string& type, uint64_t offset, int size, const std::string& role,
              const std::string& number, const std::string& text = "", const std::string& target = "",
              const std::string& problem = "", const std::string& list = ",,") {
    const std::string outside = target.empty() ? "" : "false";
    return list + "," + name + "," + type + "," + std::to_string(offset) + "," + std::to_string(size) + "," + role +
           "," + number + "," + text + "," + target + "," + outside + "," + problem + "\n";
}
std::string U(const std::string& name, uint64_t offset, uint64_t value, const std::string& role = "number",
              const std::string& text = "", const std::string& target = "", const std::string& problem = "") {
    return F(name, "ULONG", offset, 4, role, std::to_string(value), text, target, problem);
}

TEST(Table, WholeCsvOfASmallDatabase) {
    const auto bytes = smallAwkwardDatabase();
    std::string header;
    for (const std::string_view c : kTableColumns) header += std::string(header.empty() ? "" : ",") + std::string(c);
    std::string expected = header + "\n";
    // The file header: its fixed part is its extent.
    const std::string nm32 = B("NM32_HEADER", 0, 580, "", "NM32_HEADER[0]");
    expected += nm32 + F("NM32", "ULONG", 0, 4, "signature", "", "\"NM32\"");
    expected += nm32 + U("verMajor", 4, 1) + nm32 + U("verMinor", 8, 0);
    expected += nm32 + U("offNMDR", 12, 580, "offset", "", "580");
    expected += nm32 + U("creationTime", 16, 0) + nm32 + U("creationNumber", 20, 0);
    expected += nm32 + U("fileType", 24, 3, "enum", "", "", "unknownEnum");
    expected += nm32 + U("fileLength", 28, 0, "size");
    for (int i = 0; i < 8; ++i) expected += nm32 + U("N" + std::to_string(i + 1), 32 + 4 * uint64_t(i), 0);
    // Texts, always quoted: a quote doubled; invalid UTF-8 as U+FFFD; a control byte as it is.
    expected += nm32 + F("filePath", "CHAR[0x104]", 64, 260, "text", "", "\"c:\\a\"\"b\"");
    expected += nm32 + F("copyrightString", "CHAR[0x100]", 324, 256, "text", "", "\"\x01\xEF\xBF\xBD\"");
    const std::string nmdr = B("NMDR_HEADER", 580, 56, "", "NMDR_HEADER[0]");
    expected += nmdr + F("NMDR", "ULONG", 580, 4, "signature", "", "\"NMDR\"");
    expected += nmdr + U("nNMDE", 584, 2, "count");
    uint64_t at = 588;
    for (const char* name : {"offGTYP", "offSTTB", "offSYMD", "offSRCP", "offFPOD"}) expected += nmdr + U(name, at, 0, "offset"), at += 4;
    for (int i = 0; i < 7; ++i) expected += nmdr + U("N" + std::to_string(i + 1), at, 0), at += 4;
    // The directory's entries: known by their kind.
    const uint32_t kinds[] = {kTytb, 9}, offsets[] = {708, 0}, lengths[] = {32, 0};
    for (uint32_t e = 0; e < 2; ++e) {
        at = 636 + 36 * e;
        const std::string entry = B("NMDE_S", at, 36, "NMDR_HEADER@580", "NMDR_HEADER[0]/NMDE_S[" + std::to_string(kinds[e]) + "]");
        expected += entry + F("NMDE", "ULONG", at, 4, "signature", "", "\"NMDE\"");
        expected += entry + U("entryIndex", at + 4, kinds[e], "enum", e ? "" : "\"TYTB\"", "", e ? "unknownSectionKind" : "");
        expected += entry + U("offEntry", at + 8, offsets[e], "offset", "", e ? "" : "708");
        expected += entry + U("entryLength", at + 12, lengths[e], "size");
        for (int i = 0; i < 5; ++i) expected += entry + U("N" + std::to_string(i + 1), at + 16 + 4 * uint64_t(i), 0);
    }
    const std::string tytb = B("TYTB_HEADER", 708, 24, "", "TYTB_HEADER[0]");
    expected += tytb + F("TYTB", "ULONG", 708, 4, "signature", "", "\"TYTB\"") + tytb + U("sectionLength", 712, 32, "size") +
                tytb + U("offTypeTables", 720, 732, "offset", "", "732") + tytb + U("N1", 724, 0) + tytb + U("N2", 728, 0);
    const std::string table = B("TYPETABLE", 732, 8, "TYTB_HEADER@708", "TYTB_HEADER[0]/TYPETABLE[0]");
    expected += table + U("type", 732, 0x22, "typeIndex", "\"unsigned long\"") +
                table + U("iName", 736, 5, "nameIndex", "", "", "nameIndexOutOfRange");
    // The entry of an unknown kind: its kind, and no block columns.
    expected += "\"t.nms\",UNKNOWN,,,,,,,,,,,,9,,,,unknownSectionKind\n";
    EXPECT_EQ(csv(bytes), expected);
    EXPECT_EQ(checkRows(csv(bytes), jsonRows(bytes)), "");
}

// Texts that hold what CSV must quote, and texts that are not valid UTF-8, as a string table's name and
// as the database's name; the JSON rows say the same texts.
TEST(Table, TextsAreQuotedWhereTheyMustBeAndValidUtf8) {
    const std::string R = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        std::string text;
        std::string written;  // the CSV field, between its quotes
    } cases[] = {
        {"plain", "plain"},
        {"a,b", "a,b"},
        {"say \"hi\"", "say \"\"hi\"\""},
        {"\"", "\"\""},
        {"two\nlines", "two\nlines"},
        {"cr\r", "cr\r"},
        {"\xC3\xBC\xE2\x82\xAC", "\xC3\xBC\xE2\x82\xAC"},
        {"\xE2\x82" "A,", R + "A,"},
        {"\x80\xFF", R + R},
        {"\t x", "\t x"},
    };
    for (const auto& c : cases) {
        Database db;
        db.entries.push_back({kSttb, stringTable({.names = {c.text}})});
        const auto bytes = build(db).bytes;
        const std::string table = csv(bytes, c.text + ".nms");
        // The name is the value of the list's row: after its role and its null number.
        EXPECT_NE(table.find(",strings,0,offset,ULONG,692,4,offset,0,\"" + c.written + "\","), std::string::npos)
            << c.written << "\n" << table;
        EXPECT_NE(table.find("\n\"" + c.written + ".nms\",NM32_HEADER,0,580,,NM32_HEADER[0],"), std::string::npos)
            << c.written;
        EXPECT_EQ(checkRows(table, jsonRows(bytes, c.text + ".nms")), "") << c.written;
    }
}

// A block without fields has one row with every field column null, in both forms: the sample
// cut inside the first row of its line table, whose block the walk opens before it finds
// that the row does not fit. Its size is its list's, as the list's count gives it: 6 rows.
TEST(Table, ABlockWithoutFieldsHasOneRowOfNullFieldColumns) {
    const auto sample = sampleDatabase();
    const std::vector<uint8_t> cut(sample.begin(), sample.begin() + 1914);
    const std::string table = csv(cut);
    const std::string identity = "SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_SOURCELINES[0]";
    const std::string row = "\"t.nms\",SEGDATA_SOURCELINES,1911,48,SYMD_HEADER@1541/SEGMENTDATA_HEADER@1585/SEGMENTDATA@1597," +
                            identity + ",,,,,,,,,,,,\n";
    ASSERT_GE(table.size(), row.size());
    EXPECT_EQ(table.substr(table.size() - row.size()), row);
    const std::string lines = jsonRows(cut);
    const size_t last = lines.rfind('\n', lines.size() - 2) + 1;
    const Json object = Json::parse(lines.substr(last));
    EXPECT_EQ(object.at("identity"), identity);
    for (size_t c = kTableBlockColumns; c < kColumns; ++c)
        EXPECT_TRUE(object.at(std::string(kTableColumns[c])).is_null()) << kTableColumns[c];
    EXPECT_EQ(checkRows(table, lines), "");
}

// The rows' identities are the diff's: every block the diff of the sample against a corruption
// of it shows in the corrupted database is a row of that database's table, with that identity
// at that offset.
std::set<std::pair<std::string, std::string>> identities(const std::string& table) {
    std::string error;
    std::set<std::pair<std::string, std::string>> found;
    for (const auto& row : parseCsv(table, error)) found.insert({row[5].text, row[2].text});
    return found;
}

TEST(Table, IdentitiesAreTheDiffs) {
    const auto sample = sampleDatabase();
    const NmsImage original{sample.data(), sample.size()};
    CorruptionSweep sweep(sample);
    size_t compared = 0;
    for (int round = 0; round < 400; ++round) {
        const DamagedInput damaged = sweep.next();
        const NmsImage image{damaged.bytes.data(), damaged.bytes.size()};
        std::string text;
        {
            ReportWriter out(stringSink(text));
            writeDiff(DiffInput{"a", &original}, DiffInput{"b", &image}, {}, DiffForm::JsonLines, false, out);
            out.flush();
        }
        const auto rows = identities(renderTableToString(image));
        for (size_t from = 0; from < text.size();) {
            const size_t end = text.find('\n', from);
            const Json line = Json::parse(text.substr(from, end - from));
            from = end + 1;
            if (line.at("line") != "change" || line.at("new").is_null()) continue;
            const std::string block = line.at("block");
            if (block == "strings" || block == "types" || block == "typeTableOffsets" || block == "lineRows") continue;
            const std::string offset = std::to_string(line.at("new").at("offset").get<uint64_t>());
            EXPECT_TRUE(rows.count({line.at("identity"), offset})) << line.dump();
            ++compared;
        }
    }
    EXPECT_GT(compared, 200u);
}

// Every truncation and the first corruptions of the sample: both forms whole, every row
// every column, and the same rows in both.
TEST(Table, EveryRowHasEveryColumnOverTheDamageSweep) {
    const auto sample = sampleDatabase();
    for (size_t size = 0; size <= sample.size(); ++size) {
        const std::vector<uint8_t> cut(sample.begin(), sample.begin() + static_cast<ptrdiff_t>(size));
        ASSERT_EQ(checkRows(csv(cut), jsonRows(cut)), "") << "truncated to " << size << " bytes";
    }
    CorruptionSweep sweep(sample);
    for (int round = 0; round < 1000; ++round) {
        const DamagedInput damaged = sweep.next();
        ASSERT_EQ(checkRows(csv(damaged.bytes), jsonRows(damaged.bytes)), "") << "corruption " << round;
    }
}

}  // namespace
}  // namespace symdeck::test

// The structural diff: pairs of databases built in memory, each pair a known edit of one
// description, and the whole list of changes the diff gives for it (offsets left out: they
// move with every layout), with its counts and how each walk ended.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "checks/report_checks.h"
#include "forms/diff.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/nmsbuild.h"
#include "nmsbuild/sample.h"
#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;

// A database in parts that a test may edit before it is laid out.
struct Parts {
    StringTable strings{.names = {"_TEXT", "main", "argc", "argv", "count", "helper", "total", "other"}};
    TypeRecords types{.records = {Procedure{.argList = 0x1001, .rType = 0x0012, .argCount = 1},
                                  ArgList{.types = {0x0012}},
                                  Array{.elemType = 0x0110, .length = 8, .indexType = 0x0012, .nElements = 2}}};
    SymbolData symbols{.segments = {Segment{
                           .nSeg = 1,
                           .physSize = 0x400,
                           .procedures = {{.offStartProc = 0x10,
                                           .offEndProc = 0x4F,
                                           .locals = {{.type = 0x0012, .iName = 2, .offVLP = 8},
                                                      {.type = 0x0110, .iName = 3, .offVLP = 12}}},
                                          {.offStartProc = 0x50,
                                           .offEndProc = 0x8F,
                                           .locals = {{.type = 0x0012, .iName = 4, .offVLP = 8}},
                                           .registers = {{.type = 0x0012, .iName = 6, .registerNumber = 17}}}},
                           .sourceSections = {{.offStart = 0x10, .offEnd = 0x8F, .lines = {{0x10, 3}, {0x50, 9}}}}}},
                       .sourceFiles = {{.iName = 0, .sourceLength = 100}}};
    Fpod fpod{.n = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}};
    // Laid out with the type records after the symbol data, and this many zero bytes
    // behind every section (each entry's length still the section's own).
    bool typesLast = false;
    uint32_t padding = 0;
    bool withFpod = true;
};

std::vector<uint8_t> laidOut(const Parts& p) {
    Database db;
    db.header.fileLength = 4096;
    const auto padded = [&](SectionEmitter section) -> SectionEmitter {
        return [section, padding = p.padding](Bytes& out) {
            section(out);
            out.zeros(padding);
        };
    };
    std::vector<Entry> entries;
    entries.push_back({kSttb, padded(stringTable(p.strings))});
    Entry types{kNmtp, padded(typeRecords(p.types))};
    Entry symbols{kSymd, padded(symbolData(p.symbols))};
    if (p.typesLast) {
        entries.push_back(symbols);
        entries.push_back(types);
    } else {
        entries.push_back(types);
        entries.push_back(symbols);
    }
    if (p.withFpod) entries.push_back({kFpod, padded(fpod(p.fpod))});
    db.entries = entries;
    Built built = build(db);
    // Each entry's length is its section's alone, whatever lies behind it.
    if (p.padding != 0) {
        Database fixed = db;
        for (size_t i = 0; i < fixed.entries.size(); ++i) {
            const uint64_t end = i + 1 < built.sectionOffsets.size() ? built.sectionOffsets[i + 1] : built.bytes.size();
            fixed.entries[i].entryLength = static_cast<uint32_t>(end - built.sectionOffsets[i] - p.padding);
        }
        built = build(fixed);
    }
    return built.bytes;
}

struct Diffed {
    std::string changes;  // the change lines, offsets left out
    std::string summary;  // the last line
    DiffResult result;
};

Diffed diff(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after, DiffForm form = DiffForm::Text) {
    std::string text;
    ReportWriter out(stringSink(text), 4096);
    const NmsImage a{before.data(), before.size()};
    const NmsImage b{after.data(), after.size()};
    Diffed d;
    d.result = writeDiff(DiffInput{"old.nms", &a}, DiffInput{"new.nms", &b}, SectionSelection{}, form, false, out);
    out.flush();
    if (form == DiffForm::JsonLines) {
        d.changes = text;
        return d;
    }
    // Two header lines, the changes (lines of a mark and a blank, and their fields' lines),
    // then the summary and a line for each walk that stopped.
    const size_t first = text.find('\n', text.find('\n') + 1) + 1;
    size_t last = first;
    while (last < text.size() && (text[last + 1] == ' ' && std::string_view("+-~ ").find(text[last]) != std::string_view::npos))
        last = text.find('\n', last) + 1;
    d.changes = std::regex_replace(text.substr(first, last - first), std::regex("  (old|new) 0x[0-9A-F]+"), "");
    d.summary = text.substr(last);
    return d;
}

struct Case {
    const char* name;
    std::function<void(Parts&)> edit;
    const char* changes;
    uint64_t added, removed, changed;
};

TEST(Diff, KnownEditsGiveTheirChangesAndNothingElse) {
    const Case cases[] = {
        {"the same database laid out otherwise",
         [](Parts& p) {
             p.typesLast = true;
             p.padding = 12;
         },
         "", 0, 0, 0},
        {"a procedure inserted in the middle of a segment",
         [](Parts& p) {
             auto& procedures = p.symbols.segments[0].procedures;
             procedures.insert(procedures.begin() + 1,
                               SegmentProcedure{.offStartProc = 0x30, .offEndProc = 0x4F,
                                                .locals = {{.type = 0x0012, .iName = 7, .offVLP = 4}}});
         },
         // The section grows by a 32-byte record and a 16-byte variable; the procedures after
         // the new one are as they were, and so is the source section, whose rows moved with
         // them.
         "~ NMDE_S  NMDR_HEADER[0]/NMDE_S[6]\n      entryLength: 296(0x128) bytes -> 344(0x158) bytes\n"
         "~ SYMD_HEADER  SYMD_HEADER[0]\n      sectionLength: 296(0x128) bytes -> 344(0x158) bytes\n"
         "~ SEGMENTDATA  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]\n      nProcedures: 2 -> 3\n"
         "+ SEGDATA_PROCEDURE  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_PROCEDURE[1]  holding 1 block\n",
         1, 0, 3},
        {"a variable renamed",
         [](Parts& p) { p.symbols.segments[0].procedures[0].locals[1].iName = 5; },
         "~ SEGDATA_VLPTABLE  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_PROCEDURE[0]/"
         "SEGDATA_VLPTABLE[1]\n      iName: 3(\"argv\") -> 5(\"helper\")\n",
         0, 0, 1},
        {"a type record's field changed",
         [](Parts& p) { std::get<Array>(p.types.records[2]).length = 16; },
         "~ DATAS_LF_ARRAY  NMTP_HEADER[0]/DATAS_LF_ARRAY[0x1002]\n      length: 8 bytes -> 16 bytes\n", 0, 0, 1},
        {"a string added",
         [](Parts& p) { p.strings.names.push_back("extra"); },
         // Its offset and its text with the NUL.
         "~ NMDE_S  NMDR_HEADER[0]/NMDE_S[2]\n      entryLength: 98(0x62) bytes -> 108(0x6C) bytes\n"
         "~ STTB_HEADER  STTB_HEADER[0]\n      sectionLength: 98(0x62) bytes -> 108(0x6C) bytes\n"
         "      nNames: 8 -> 9\n"
         "+ strings  STTB_HEADER[0]/strings[0]/strings[8]\n",
         1, 0, 2},
        {"a procedure removed with its variables",
         [](Parts& p) { p.symbols.segments[0].procedures.pop_back(); },
         // Its local and its register variable are counted on its line.
         "~ NMDE_S  NMDR_HEADER[0]/NMDE_S[6]\n      entryLength: 296(0x128) bytes -> 230(0xE6) bytes\n"
         "~ SYMD_HEADER  SYMD_HEADER[0]\n      sectionLength: 296(0x128) bytes -> 230(0xE6) bytes\n"
         "~ SEGMENTDATA  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]\n      nProcedures: 2 -> 1\n"
         "- SEGDATA_PROCEDURE  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_PROCEDURE[1]  holding 2 blocks\n",
         0, 1, 3},
        {"a source section removed with its rows",
         [](Parts& p) { p.symbols.segments[0].sourceSections.clear(); },
         // The segment's line table with its two rows, and the section that named them.
         "~ NMDE_S  NMDR_HEADER[0]/NMDE_S[6]\n      entryLength: 296(0x128) bytes -> 260(0x104) bytes\n"
         "~ SYMD_HEADER  SYMD_HEADER[0]\n      sectionLength: 296(0x128) bytes -> 260(0x104) bytes\n"
         "~ SEGMENTDATA  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]\n      nSourceSec: 1 -> 0\n"
         "- SEGDATA_SOURCELINES  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_SOURCELINES[0]  holding 2 elements\n"
         "- SEGDATA_SOURCESECTION  SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_SOURCESECTION[0]\n",
         0, 2, 3},
        {"a section removed from the directory",
         [](Parts& p) { p.withFpod = false; },
         "~ NMDR_HEADER  NMDR_HEADER[0]\n      nNMDE: 4 -> 3\n      offFPOD: 0x4FA (FPOD_HEADER[0]) -> 0x0\n"
         "- NMDE_S  NMDR_HEADER[0]/NMDE_S[8]\n"
         "- FPOD_HEADER  FPOD_HEADER[0]\n",
         0, 2, 1},
    };
    const std::vector<uint8_t> base = laidOut(Parts{});
    for (const Case& c : cases) {
        Parts edited;
        c.edit(edited);
        const Diffed d = diff(base, laidOut(edited));
        EXPECT_EQ(d.changes, c.changes) << c.name;
        EXPECT_EQ(d.result.added, c.added) << c.name;
        EXPECT_EQ(d.result.removed, c.removed) << c.name;
        EXPECT_EQ(d.result.changed, c.changed) << c.name;
        EXPECT_EQ(d.result.same(), c.added + c.removed + c.changed == 0) << c.name;
        // Every section stands elsewhere when the layout changes.
        if (edited.typesLast) {
            EXPECT_GE(d.result.moved, 4u) << c.name;
        }
        // Compared the other way, what was added is removed and the counts trade places.
        const Diffed back = diff(laidOut(edited), base);
        EXPECT_EQ(back.result.added, c.removed) << c.name;
        EXPECT_EQ(back.result.removed, c.added) << c.name;
        EXPECT_EQ(back.result.changed, c.changed) << c.name;
    }
}

// A copy cut short inside its last section: that section is removed, the directory's offset
// of it names nothing the new walk reports, and the summary says where the new walk stopped.
TEST(Diff, ACopyCutShort) {
    const std::vector<uint8_t> whole = laidOut(Parts{});
    const std::vector<uint8_t> cut(whole.begin(), whole.end() - 8);
    const Diffed d = diff(whole, cut);
    EXPECT_EQ(d.changes,
              "~ NMDR_HEADER  NMDR_HEADER[0]\n      offFPOD: 0x4FA (FPOD_HEADER[0]) -> 0x4FA\n"
              "- FPOD_HEADER  FPOD_HEADER[0]\n");
    EXPECT_EQ(d.summary, "0 added, 1 removed, 1 changed, 0 moved\n"
                         "new walk stopped: ERROR in FPOD_HEADER -> the data at offset 0x4FA runs past the end of "
                         "the file (size 0x522).\n");
    EXPECT_EQ(d.result.newStop.end, WalkEnd::Bounds);
}

// A database damaged, compared with itself, is the same, its walk ending where it ends; and
// compared with the whole sample, whatever the damage, the diff ends, its JSON lines are
// JSON of the three kinds with one change line for each change it counts, and the walk that
// stopped says so.
TEST(Diff, DamagedDatabasesAgainstThemselvesAndTheSample) {
    const std::vector<uint8_t> sample = sampleDatabase();
    CorruptionSweep sweep(sample);
    size_t compared = 0, different = 0;
    const auto check = [&](const std::vector<uint8_t>& damaged, const SectionSelection& selection, const char* what,
                           int round) {
        const NmsImage image{damaged.data(), damaged.size()};
        const NmsImage whole{sample.data(), sample.size()};
        std::string text, lines;
        ReportWriter a(stringSink(text), 4096), b(stringSink(lines), 4096);
        const DiffResult self = writeDiff(DiffInput{"d", &image}, DiffInput{"d", &image}, selection, DiffForm::Text, false, a);
        ASSERT_TRUE(self.same() && self.moved == 0) << what << " " << round;
        const DiffResult other =
            writeDiff(DiffInput{"s", &whole}, DiffInput{"d", &image}, selection, DiffForm::JsonLines, false, b);
        b.flush();
        size_t changes = 0, results = 0;
        for (size_t at = 0; at < lines.size();) {
            const size_t end = lines.find('\n', at);
            const auto line = nlohmann::json::parse(lines.substr(at, end - at));
            const std::string kind = line.at("line");
            ASSERT_TRUE(kind == "header" || kind == "change" || kind == "result") << lines;
            changes += kind == "change";
            if (kind == "result") {
                ++results;
                ASSERT_EQ(line.at("same"), other.same());
                ASSERT_EQ(line.at("new").at("walk").at("status") == "complete", other.newStop.end == WalkEnd::Complete);
            }
            at = end + 1;
        }
        ASSERT_EQ(results, 1u);
        ASSERT_EQ(changes, other.added + other.removed + other.changed) << lines;
        ++compared;
        different += !other.same();
    };
    for (size_t size = 0; size <= sample.size(); size += 7)
        check(std::vector<uint8_t>(sample.begin(), sample.begin() + static_cast<ptrdiff_t>(size)), SectionSelection{},
              "cut at", static_cast<int>(size));
    for (int round = 0; round < CorruptionSweep::kRounds; ++round) {
        const DamagedInput input = sweep.next();
        check(input.bytes, checks::selectionFromBits(input.selectionBits), "corruption", round);
    }
    // Most damaged copies differ from the sample somewhere; the others were damaged in bytes
    // that no walk reads or in sections that their selection leaves out.
    EXPECT_GT(compared, 4000u);
    EXPECT_GT(different, compared * 3 / 4);
}

}  // namespace
}  // namespace symdeck::test

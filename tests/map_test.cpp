// The map of a database: its units as the map form gives them, and explain on the map, which
// walks only the units that may hold the asked bytes, against explain walking every unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "checks/map_checks.h"
#include "checks/report_checks.h"
#include "entry/render.h"
#include "format/walk_database.h"
#include "forms/database_map.h"
#include "forms/explain_answers.h"
#include "forms/explain_printer.h"
#include "forms/view_printer.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/nmsbuild.h"
#include "nmsbuild/sample.h"

namespace symdeck {
namespace {

TEST(Map, TheSampleUnitByUnit) {
    const auto sample = nmsbuild::sampleDatabase();
    std::string lines;
    ReportWriter out(stringSink(lines), 4096);
    EXPECT_EQ(renderImageMap(NmsImage{sample.data(), sample.size()}, {}, out), WalkEnd::Complete);
    out.flush();
    // Every unit's text range is its piece of the report, which begins after the banner
    // (240 bytes); a segment's bytes are its record and its blocks, its names those of the
    // string table.
    EXPECT_EQ(lines,
              R"({"unit":0,"block":"NM32_HEADER","offset":0,"size":580,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[240,1110],"fields":[0,18],"bytes":[[0,580]],"names":[]}
{"unit":1,"block":"NMDR_HEADER","offset":580,"size":56,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[1110,5186],"fields":[18,104],"bytes":[[580,924]],"names":[]}
{"unit":2,"block":"GTYP_HEADER","offset":924,"size":32,"sectionEnd":956,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[5186,5652],"fields":[104,112],"bytes":[[924,956]],"names":[]}
{"unit":3,"block":"STTB_HEADER","offset":956,"size":20,"sectionEnd":1097,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[5652,6172],"fields":[112,130],"bytes":[[956,1028]],"names":[[1028,1097]]}
{"unit":4,"block":"NMTP_HEADER","offset":1097,"size":20,"sectionEnd":1413,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[6172,10526],"fields":[130,200],"bytes":[[1097,1405]],"names":[[1055,1071]]}
{"unit":5,"block":"TYTB_HEADER","offset":1413,"size":24,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[10526,11370],"fields":[200,211],"bytes":[[1413,1461]],"names":[[1040,1097]]}
{"unit":6,"block":"HSHT_HEADER","offset":1461,"size":32,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[11370,12527],"fields":[211,231],"bytes":[[1461,1541]],"names":[[1040,1067]]}
{"unit":7,"block":"SYMD_HEADER","offset":1541,"size":44,"sectionEnd":2099,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[12527,21147],"fields":[231,379],"bytes":[[1541,2099]],"names":[[1071,1084]]}
{"unit":8,"block":"SEGMENTDATA","offset":1597,"size":54,"parent":7,"depth":1,"index":0,"count":2,"complete":true,"text":[13226,18724],"fields":[245,340],"bytes":[[1597,1999]],"names":[[1028,1097]]}
{"unit":9,"block":"SEGMENTDATA","offset":1651,"size":54,"parent":7,"depth":1,"index":1,"count":2,"complete":true,"text":[18724,20429],"fields":[340,369],"bytes":[[1651,2059]],"names":[[1034,1097]]}
{"unit":10,"block":"SRCP_HEADER","offset":2099,"size":20,"sectionEnd":2119,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[21147,21506],"fields":[379,384],"bytes":[[2099,2119]],"names":[]}
{"unit":11,"block":"FPOD_HEADER","offset":2119,"size":48,"sectionEnd":2167,"parent":null,"depth":0,"index":0,"count":1,"complete":true,"text":[21506,22116],"fields":[384,396],"bytes":[[2119,2167]],"names":[]}
{"end":"complete","units":12,"textLength":22116,"fieldCount":396}
)");
    EXPECT_EQ(renderToString(NmsImage{sample.data(), sample.size()}).size(), 22116u);
}

// Explain's answers when the walk visits every unit of the map.
std::string explainEveryUnit(const std::vector<uint8_t>& bytes, const SectionSelection& selection,
                             std::vector<uint64_t> offsets) {
    const NmsImage image{bytes.data(), bytes.size()};
    std::vector<uint64_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    const DatabaseMap map = mapDatabase(image, selection);
    const auto walked = std::make_unique<bool[]>(map.units.size());
    std::fill_n(walked.get(), map.units.size(), true);
    std::string discarded;
    ReportWriter counting(stringSink(discarded), 4096);
    TextMeasure text(counting);
    ExplainPrinter print(sorted, image.size);
    Skipping<ExplainPrinter> every(print, map, std::span<const bool>(walked.get(), map.units.size()));
    Measured<Skipping<ExplainPrinter>> measured(text, every);
    walkDatabase(measured, image, selection);
    std::string answers;
    ReportWriter out(stringSink(answers), 4096);
    explainOffsets(print, offsets, false, out);
    out.flush();
    return answers;
}

// Explain on the map walks the units whose bytes or names hold an offset and those whose
// fields come nearest to it; its answers are those of a walk of every unit: every byte of
// the sample alone, and offsets of corrupted samples.
TEST(Map, ExplainOnTheMapAnswersAsAWalkOfEveryUnit) {
    const auto sample = nmsbuild::sampleDatabase();
    const NmsImage image{sample.data(), sample.size()};
    for (uint64_t at = 0; at <= sample.size(); ++at)
        ASSERT_EQ(explainImage(image, {}, std::vector<uint64_t>{at}, false).text,
                  explainEveryUnit(sample, {}, {at}))
            << "offset " << at;

    nmsbuild::CorruptionSweep sweep(sample);
    for (int round = 0; round < 400; ++round) {
        const nmsbuild::DamagedInput input = sweep.next();
        const auto selection = checks::selectionFromBits(input.selectionBits);
        const uint64_t size = input.bytes.size();
        const std::vector<uint64_t> offsets = {size / 7, size / 3, size / 2, (size * 5) / 7, size - size / 9};
        ASSERT_EQ(explainImage(NmsImage{input.bytes.data(), size}, selection, offsets, false).text,
                  explainEveryUnit(input.bytes, selection, offsets))
            << "corruption round " << round;
    }
}

// Windows of the view form on a kept map where the report reaches its size limit: the
// string table's offsets all name one long name, so the text grows with the square of the
// file and stops inside the table. The sections before it are passed over with their text
// counted, and the window ends where the whole walk ends, byte for byte; the map that plans
// measured the text, since its bound reached the limit.
// A string table whose `count` offsets all name one name of 8,192 bytes: its report grows
// with the square of the file.
std::vector<uint8_t> reportPastItsLimit(uint32_t count = 4096) {
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kGtyp, nmsbuild::gtyp({})});
    db.entries.push_back({nmsbuild::kSrcp, nmsbuild::srcp({})});
    db.entries.push_back({nmsbuild::kSttb, [count](nmsbuild::Bytes& out) {
                              out.raw("STTB");
                              out.u32(0);
                              out.u32(count);
                              out.u32(0);
                              out.u32(0);
                              for (uint32_t i = 0; i < count; ++i) out.u32(0);
                              out.raw(std::string(8192, 'n'));
                              out.u8(0);
                          }});
    return nmsbuild::build(db).bytes;
}

TEST(Map, WindowsWhereTheReportReachesItsLimit) {
    const auto bytes = reportPastItsLimit();
    const NmsImage image{bytes.data(), bytes.size()};
    const DatabaseMap planning = planningMap(image, {}, true);
    ASSERT_EQ(planning.stop.end, WalkEnd::Limit);
    EXPECT_TRUE(planning.textMeasured);
    ASSERT_GE(planning.units.size(), 5u);
    const MapUnit& table = planning.units.back();
    struct Window {
        ViewSpan bytes, fields;
    };
    const Window windows[] = {
        {{0, 8}, {table.fieldsBefore, table.fieldsBefore + 2}},                       // the header, the table's first fields
        {{table.title.offset, table.title.offset + 4}, {table.fieldsBefore + 500, table.fieldsBefore + 600}},
        {{bytes.size() - 16, bytes.size()}, {planning.fieldCount - 3, planning.fieldCount + 10}},  // past the limit
    };
    int passedOver = 0;
    for (const Window& w : windows) {
        const std::vector<bool> walked = unitsForFields(planning, {&w.bytes, 1}, {&w.fields, 1});
        passedOver += static_cast<int>(std::count(walked.begin(), walked.end(), false));
        for (const bool count : {true, false}) {
            const ViewOptions options{.skeleton = false, .countText = count, .chosen = true,
                                      .bytes = {&w.bytes, 1}, .fields = {&w.fields, 1}};
            const std::string whole = renderViewToString(image, {}, &options);
            EXPECT_EQ(renderViewToString(image, {}, &options, &planning), whole)
                << "bytes " << w.bytes.from << ", fields " << w.fields.from << (count ? ", text counted" : "");
        }
    }
    // The plans left units out: the windows were not whole walks.
    EXPECT_GE(passedOver, 4);
}

// A list long enough to be cut into groups (70,000 names, groups of 274): each group is a
// unit of the map, the groups follow each other to the list's end, and a window in the
// middle of the list walks one group and gives the whole walk's bytes; explain of a name
// there answers as a walk of every unit.
TEST(Map, GroupsOfALongList) {
    nmsbuild::StringTable table;
    for (int i = 0; i < 70000; ++i) table.names.push_back("name" + std::to_string(i));
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable(table)});
    const auto bytes = nmsbuild::build(db).bytes;
    const NmsImage image{bytes.data(), bytes.size()};
    const DatabaseMap planning = planningMap(image, {}, true);
    ASSERT_EQ(planning.stop.end, WalkEnd::Complete);

    std::vector<const MapUnit*> groups;
    for (const MapUnit& unit : planning.units)
        if (unit.groupEnd != 0) groups.push_back(&unit);
    ASSERT_EQ(groups.size(), 256u);
    uint32_t next = 0;
    for (const MapUnit* group : groups) {
        EXPECT_EQ(group->title.position, next);
        EXPECT_TRUE(group->complete);
        next = group->groupEnd;
    }
    EXPECT_EQ(next, 70000u);

    const MapUnit& middle = *groups[128];
    const ViewSpan none[] = {{0, 0}};
    const ViewSpan fields[] = {{middle.fieldsBefore + 5, middle.fieldsBefore + 10}};
    const std::vector<bool> walked = unitsForFields(planning, none, fields);
    EXPECT_EQ(std::count(walked.begin(), walked.end(), true), 2);  // the section and the group
    const ViewOptions options{.skeleton = false, .countText = false, .chosen = true, .bytes = none, .fields = fields};
    EXPECT_EQ(renderViewToString(image, {}, &options, &planning), renderViewToString(image, {}, &options));

    const std::vector<uint64_t> offsets = {middle.texts.spans[0].lo + 2, middle.title.offset + 1};
    EXPECT_EQ(explainImage(image, {}, offsets, false).text, explainEveryUnit(bytes, {}, offsets));

    // Two threads share out the 256 groups as they reach them; joined, their maps are the one
    // walk's map, line for line.
    const auto mapLines = [](const DatabaseMap& map) {
        std::string lines;
        ReportWriter out(stringSink(lines), 4096);
        writeMapLines(map, out);
        out.flush();
        return lines;
    };
    const std::optional<DatabaseMap> shared = mapDatabaseShared(image, {});
    ASSERT_TRUE(shared.has_value());
    EXPECT_EQ(mapLines(*shared), mapLines(mapDatabase(image, {}, Measure::Bound)));
}

// Two walks that share out the units inside the sections (segments, groups) join into the
// map one walk makes only where that walk ends complete, below the size limit, with no more
// units than a map keeps; elsewhere they give nothing, and one walk maps the database.
TEST(Map, SharingWalksJoinOnlyWhereOneWalkEndsWhole) {
    const auto sample = nmsbuild::sampleDatabase();
    // The sample with its second segment's one procedure far out of the file: the walk
    // stops inside that segment, a unit the second walk takes.
    auto stops = sample;
    const DatabaseMap sampleMap = mapDatabase(NmsImage{sample.data(), sample.size()});
    const auto segment = std::find_if(sampleMap.units.begin(), sampleMap.units.end(), [](const MapUnit& u) {
        return u.title.word == "SEGMENTDATA" && u.title.position == 1;
    });
    ASSERT_NE(segment, sampleMap.units.end());
    const auto put32 = [&](uint64_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) stops[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(segment->title.offset + 14, 0x7FFFFF00);  // offProcDef, after a USHORT and three ULONGs
    put32(segment->title.offset + 18, 1);           // nProcedures

    nmsbuild::StringTable table;
    for (int i = 0; i < 20000; ++i) table.names.push_back("name" + std::to_string(i));
    nmsbuild::Database names;
    names.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable(table)});
    const auto manyNames = nmsbuild::build(names).bytes;
    const auto pastLimit = reportPastItsLimit();
    // 300 lines of that name: either walk's half of the groups stays below the size limit,
    // both halves together reach it.
    const auto halvesPastLimit = reportPastItsLimit(300);

    struct Case {
        const char* what;
        const std::vector<uint8_t>& bytes;
        Grouping grouping;
        bool joins;
    };
    const Case cases[] = {
        {"the sample's two segments", sample, {}, true},
        {"a walk that stops inside a segment", stops, {}, false},
        {"20,000 names in 100 groups", manyNames, {1, 100}, true},
        {"20,000 names in groups of one, more units than a map keeps", manyNames, {1, 20000}, false},
        {"a report that reaches the size limit inside its groups", pastLimit, {64, 16}, false},
        {"a report whose shared halves reach the size limit together", halvesPastLimit, {64, 16}, false},
    };
    for (const Case& c : cases) {
        const NmsImage image{c.bytes.data(), c.bytes.size()};
        const DatabaseMap one = mapDatabase(image, {}, Measure::Bound, c.grouping);
        // Every case has units inside a section to share out.
        EXPECT_GE(std::count_if(one.units.begin(), one.units.end(), [](const MapUnit& u) { return u.depth > 0; }), 2)
            << c.what;
        const std::optional<DatabaseMap> shared = mapDatabaseShared(image, {}, c.grouping, true);
        ASSERT_EQ(shared.has_value(), c.joins) << c.what;
        if (shared) {
            EXPECT_EQ(checks::sameMap(one, *shared), "") << c.what;
        }
    }
}

// A sequence is cut into groups from `from` elements on, into at most `most` groups of equal
// size but the last; a shorter one, or a grouping of no groups, is not cut.
TEST(Map, GroupSizes) {
    struct Case {
        Grouping grouping;
        uint32_t count;
        uint32_t size;
    };
    const Case cases[] = {
        {{}, 65535, 0},
        {{}, 65536, 256},
        {{}, 65537, 257},
        {{}, 0xFFFFFFFFu, 16777216},
        {{4, 3}, 3, 0},
        {{4, 3}, 4, 2},
        {{4, 3}, 7, 3},
        {{4, 0}, 100, 0},
        {{0, 1}, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.grouping.size(c.count), c.size) << c.count << " from " << c.grouping.from << ", at most "
                                                     << c.grouping.most;
        // The groups cover the sequence and there are no more than `most` of them.
        if (c.size != 0) {
            EXPECT_LE((uint64_t{c.count} + c.size - 1) / c.size, c.grouping.most);
        }
    }
}

}  // namespace
}  // namespace symdeck

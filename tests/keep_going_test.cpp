// A walk that goes on past damage (--keep-going): databases built in memory with one
// damage each, whose reports with the flag are the sound twin's report with the damaged
// structure's lines given up for the error line that the walk without the flag ends with;
// the JSON forms' damages and counts; and on a sound database, not one byte changed.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "checks/report_checks.h"
#include "entry/render.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/sample.h"
#include "nmsbuild/types_build.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;
using Json = nlohmann::ordered_json;

constexpr SectionSelection kKeepGoing{.keepGoing = true};

std::string jsonOf(const std::vector<uint8_t>& bytes, const SectionSelection& selection, bool lines = false) {
    return renderJsonToString(NmsImage{bytes.data(), bytes.size()}, selection, "t.nms", lines);
}

// Where the line that holds `text` begins in `report` (from `from` on).
size_t lineOf(const std::string& report, const std::string& text, size_t from = 0) {
    const size_t at = report.find(text, from);
    if (at == std::string::npos) return std::string::npos;
    const size_t start = report.rfind('\n', at);
    return start == std::string::npos ? 0 : start + 1;
}

// `report` with the lines from the one holding `first` up to the one holding `next` given
// up for `replacement`.
std::string replaceLines(const std::string& report, const std::string& first, const std::string& next,
                         const std::string& replacement) {
    const size_t from = lineOf(report, first);
    const size_t to = lineOf(report, next, from + 1);
    if (from == std::string::npos || to == std::string::npos) return "(" + first + " or " + next + " not found)";
    return report.substr(0, from) + replacement + report.substr(to);
}

std::vector<TypeRecord> threeLabels() { return {Label{1}, Label{2}, Label{3}}; }

// The sound twin and its damaged copy; the damaged one's report with the flag is the twin's
// with the lines from `first` to `next` replaced by the error line.
struct Case {
    const char* what;
    Database sound;
    Database damaged;
    // Text on the first line of the damaged structure in the twin's report (empty: nothing
    // follows the damage, and the report is the one without the flag), and on the first
    // line after it.
    std::string first;
    std::string next;
    // Lines that go as well, from the one holding the first text to the one holding the
    // second: what only the damaged structure led to.
    std::string goneFirst = "";
    std::string goneNext = "";
};

Database withEntries(std::vector<Entry> entries) {
    Database db;
    db.entries = std::move(entries);
    return db;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    const auto sections = [](const std::string& gtypSignature, const std::string& entrySignature) {
        Entry middle{kGtyp, gtyp(Gtyp{.signature = gtypSignature})};
        middle.signature = entrySignature;
        return withEntries({Entry{kSttb, stringTable(StringTable{.names = {"a", "b"}})}, middle,
                            Entry{kFpod, fpod(Fpod{})}});
    };
    all.push_back({"a section's signature", sections("GTYP", "NMDE"), sections("GTYX", "NMDE"), "GTYP_HEADER",
                   "FPOD_HEADER"});
    // A damaged entry leads nowhere: its section is not reported either.
    Case entry{"a directory entry's signature", sections("GTYP", "NMDE"), sections("GTYP", "NMDX"),
               "NMDE_S (1)", "NMDE_S (2)", "GTYP_HEADER", "FPOD_HEADER"};
    all.push_back(entry);
    const auto types = [](std::optional<std::vector<uint32_t>> offsets) {
        return withEntries({Entry{kSttb, stringTable(StringTable{.names = {"a"}})},
                            Entry{kNmtp, typeRecords(TypeRecords{.records = threeLabels(), .typeOffsets = offsets})},
                            Entry{kFpod, fpod(Fpod{})}});
    };
    all.push_back({"a type record between sound ones", types(std::vector<uint32_t>{0, 8, 16}),
                   types(std::vector<uint32_t>{0, 0x7FFFFF00u, 16}), "(type: 0x1001)", "(type: 0x1002)"});
    // The last section runs past the end of the file: the walk ends after its damage.
    const auto cut = [](std::optional<uint32_t> names) {
        return withEntries({Entry{kGtyp, gtyp(Gtyp{})}, Entry{kSttb, stringTable(StringTable{.names = {"a"}, .nNames = names})}});
    };
    all.push_back({"a list past the end of the file", cut(std::nullopt), cut(0x100000u), "", ""});
    return all;
}

TEST(KeepGoing, ReportIsTheSoundTwinsWithTheDamagedStructureGivenUpForItsErrorLine) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> sound = build(c.sound).bytes;
        const std::vector<uint8_t> damaged = build(c.damaged).bytes;
        ASSERT_EQ(sound.size(), damaged.size());
        const std::string stopped = report(damaged);
        const std::string errorLine = lastLine(stopped);
        ASSERT_TRUE(errorLine.starts_with("ERROR in ")) << stopped;
        std::string expected =
            c.first.empty() ? stopped : replaceLines(report(sound), c.first, c.next, errorLine + "\n");
        if (!c.goneFirst.empty()) expected = replaceLines(expected, c.goneFirst, c.goneNext, "");
        const std::string going = report(damaged, kKeepGoing);
        EXPECT_EQ(going, expected);
        // Everything the walk without the flag reported stands as it was.
        EXPECT_TRUE(going.starts_with(stopped)) << stopped;
    }
}

TEST(KeepGoing, JsonFormsGiveEachDamageWhereItHappenedAndCountThem) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> damaged = build(c.damaged).bytes;
        const Json stopped = Json::parse(jsonOf(damaged, {}));
        const Json doc = Json::parse(jsonOf(damaged, kKeepGoing));
        // The first damage is the walk's error, as it was without the flag; the count follows.
        // (The walk that goes on may meet more fields with a problem.)
        Json result = doc.at("result");
        Json before = stopped.at("result");
        EXPECT_EQ(result.at("damages"), 1);
        for (const char* count : {"damagedFields", "unknownValues"}) {
            EXPECT_GE(result.at(count), before.at(count));
            result.erase(count);
            before.erase(count);
        }
        result.erase("damages");
        EXPECT_EQ(result, before);
        // The damage stands among the blocks, with the error's kind and place.
        std::vector<Json> damages;
        const auto collect = [&](const auto& self, const Json& blocks) -> void {
            for (const Json& b : blocks) {
                if (b.contains("damage")) damages.push_back(b);
                if (b.contains("blocks")) self(self, b.at("blocks"));
            }
        };
        collect(collect, doc.at("blocks"));
        ASSERT_EQ(damages.size(), 1u);
        EXPECT_EQ(damages[0].at("damage"), stopped.at("result").at("kind"));
        EXPECT_EQ(damages[0].at("header"), stopped.at("result").at("header"));
        EXPECT_EQ(damages[0].at("offset"), stopped.at("result").at("offset"));

        // The lines form: one damage line, with the path of the blocks it stands in.
        const std::string lines = jsonOf(damaged, kKeepGoing, true);
        size_t damageLines = 0;
        size_t from = 0;
        while (from < lines.size()) {
            const size_t end = lines.find('\n', from);
            const Json line = Json::parse(lines.substr(from, end - from));
            if (line.at("line") == "damage") {
                ++damageLines;
                EXPECT_EQ(line.at("offset"), damages[0].at("offset"));
                EXPECT_TRUE(line.contains("path"));
            }
            if (line.at("line") == "result") {
                EXPECT_EQ(line.at("result"), doc.at("result"));
            }
            from = end + 1;
        }
        EXPECT_EQ(damageLines, 1u);
    }
}

TEST(KeepGoing, ChangesNoByteOfASoundDatabase) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> sound = build(c.sound).bytes;
        EXPECT_EQ(report(sound, kKeepGoing), report(sound));
        EXPECT_EQ(jsonOf(sound, kKeepGoing), jsonOf(sound, {}));
        EXPECT_EQ(jsonOf(sound, kKeepGoing, true), jsonOf(sound, {}, true));
    }
}

// Damaged entries one after the other: each is told once, and the walk reports the sound
// ones' sections.
TEST(KeepGoing, EveryDamagedEntryIsToldOnce) {
    std::vector<Entry> entries;
    for (int i = 0; i < 4; ++i) {
        Entry e{kFpod, fpod(Fpod{})};
        if (i % 2 == 1) e.signature = "XXXX";
        entries.push_back(e);
    }
    const std::vector<uint8_t> bytes = build(withEntries(entries)).bytes;
    const std::string going = report(bytes, kKeepGoing);
    size_t errors = 0;
    for (size_t at = going.find("ERROR in"); at != std::string::npos; at = going.find("ERROR in", at + 1)) ++errors;
    EXPECT_EQ(errors, 2u);
    size_t sections = 0;
    for (size_t at = going.find("FPOD_HEADER"); at != std::string::npos; at = going.find("FPOD_HEADER", at + 1))
        ++sections;
    EXPECT_EQ(sections, 2u) << going;
    Damages damages;
    ReportWriter out(ReportSink{[](void*, const char*, size_t) { return true; }, nullptr}, 4096);
    const WalkEnd end = renderImage(NmsImage{bytes.data(), bytes.size()}, kKeepGoing, out, false, nullptr,
                                    nullptr, &damages);
    EXPECT_EQ(end, WalkEnd::Signature);
    EXPECT_EQ(damages.count, 2u);
}

// Sections that overlap: a damage the walk does not stop for. Without the flag every form
// stays as it is and --check counts it; with the flag its line stands after the sections.
TEST(KeepGoing, OverlappingSectionsAreADamageOfTheirOwn) {
    struct Overlap {
        const char* what;
        std::optional<uint32_t> nmtpLength;  // NMTP's sectionLength (unset: its size)
        bool sharedEntry;                    // a second entry names the GTYP section again
        uint64_t damages;
    };
    const Overlap cases[] = {
        {"sound", std::nullopt, false, 0},
        {"NMTP runs 8 bytes into GTYP", 20 + 4 * 3 + 24 + 8, false, 1},
        {"an end that wraps below its offset gives no extent", 0xFFFFFFF0u, false, 0},
        {"two entries that name one section", std::nullopt, true, 0},
    };
    for (const Overlap& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Entry> entries{Entry{kSttb, stringTable(StringTable{.names = {"a"}})},
                                   Entry{kNmtp, typeRecords(TypeRecords{.records = threeLabels(),
                                                                        .sectionLength = c.nmtpLength})},
                                   Entry{kGtyp, gtyp(Gtyp{})}};
        if (c.sharedEntry) entries.push_back(Entry{kGtyp, {}});
        Built built = build(withEntries(entries));
        if (c.sharedEntry) {
            // The last entry's offEntry: the GTYP section's offset.
            const uint64_t entry = built.directoryOffset + 56 + 36 * 3;
            for (int k = 0; k < 4; ++k)
                built.bytes[entry + 8 + k] = static_cast<uint8_t>(built.sectionOffsets[2] >> (8 * k));
        }
        const std::vector<uint8_t>& bytes = built.bytes;
        const std::string plain = report(bytes);
        EXPECT_TRUE(plain.find("ERROR") == std::string::npos) << plain;
        Damages counted;
        ReportWriter out(ReportSink{[](void*, const char*, size_t) { return true; }, nullptr}, 4096);
        EXPECT_EQ(renderImage(NmsImage{bytes.data(), bytes.size()}, {}, out, false, nullptr, nullptr, &counted),
                  WalkEnd::Complete);
        EXPECT_EQ(counted.count, c.damages);
        const std::string going = report(bytes, kKeepGoing);
        if (c.damages == 0) {
            EXPECT_EQ(going, plain);
            EXPECT_EQ(jsonOf(bytes, kKeepGoing), jsonOf(bytes, {}));
            continue;
        }
        EXPECT_EQ(going, plain + "ERROR in GTYP_HEADER -> the section at offset 0x" + hex(built.sectionOffsets[2]) +
                             " overlaps the section at offset 0x" + hex(built.sectionOffsets[1]) + ".\n");
        const Json result = Json::parse(jsonOf(bytes, kKeepGoing)).at("result");
        EXPECT_EQ(result.at("kind"), "overlap");
        EXPECT_EQ(result.at("offset"), built.sectionOffsets[2]);
        EXPECT_EQ(result.at("overlaps"), built.sectionOffsets[1]);
        EXPECT_EQ(result.at("damages"), 1);
    }
}

// Over the corruptions of the damage sweep: the report with the flag begins with the whole
// report without it (every block that walk reported, in its place, and its error line),
// the JSON document is whole, and its result counts the damages it holds.
TEST(KeepGoing, OverTheCorruptionSweepTheWalkWithoutTheFlagIsAPrefix) {
    nmsbuild::CorruptionSweep sweep(nmsbuild::sampleDatabase());
    uint64_t went = 0;
    uint64_t gained = 0;
    for (int round = 0; round < nmsbuild::CorruptionSweep::kRounds; ++round) {
        const nmsbuild::DamagedInput input = sweep.next();
        SectionSelection selection = checks::selectionFromBits(input.selectionBits);
        const std::string stopped = report(input.bytes, selection);
        selection.keepGoing = true;
        const std::string going = report(input.bytes, selection);
        ASSERT_TRUE(going.starts_with(stopped)) << "corruption round " << round;
        gained += going.size() - stopped.size();
        if (going.size() == stopped.size()) continue;
        ++went;
        const Json doc = Json::parse(jsonOf(input.bytes, selection));
        uint64_t damages = 0;
        const auto count = [&](const auto& self, const Json& blocks) -> void {
            for (const Json& b : blocks) {
                if (b.contains("damage")) {
                    ++damages;
                    const std::string code = b.at("damage");
                    EXPECT_TRUE(code == "bounds" || code == "signature" || code == "overlap") << round;
                }
                if (b.contains("blocks")) self(self, b.at("blocks"));
            }
        };
        count(count, doc.at("blocks"));
        EXPECT_EQ(doc.at("result").value("damages", uint64_t{0}), damages) << "corruption round " << round;
    }
    std::cout << "went on past damage in " << went << " of " << nmsbuild::CorruptionSweep::kRounds
              << " corruptions, " << gained << " bytes of report more\n";
    // The sweep's corruptions stop many walks early: going on must report more for some.
    EXPECT_GT(went, 100u);
}

}  // namespace
}  // namespace symdeck::test

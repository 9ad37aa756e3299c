// The JSON documents name a list, and what a count counts, by its subject's key: the
// model's name that the decoder states beside the text's words. Every key a walk states must
// be a name the documents' schemas know, whatever the database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "checks/report_checks.h"
#include "entry/render.h"
#include "forms/recorder.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/sample.h"

namespace symdeck {
namespace {

// The keys of a walk's lists, runs and counts.
struct Keys {
    std::set<std::string> lists;
    std::set<std::string> runsAndCounts;

    void add(const std::vector<WalkEvent>& events) {
        for (const WalkEvent& e : events) {
            if (e.kind == WalkEvent::Kind::OpenList) lists.emplace(e.list.subject.key);
            if (e.kind == WalkEvent::Kind::OpenRun) runsAndCounts.emplace(e.run.subject.key);
            const bool field = e.kind == WalkEvent::Kind::Field || e.kind == WalkEvent::Kind::Reads;
            if (field && !e.field.counts.empty()) runsAndCounts.emplace(e.field.counts);
        }
    }
};

std::set<std::string> enumOf(const nlohmann::json& values) {
    return {values.begin(), values.end()};
}

// The sample, every truncation of it and the corruption sweep, walked with their selections.
Keys keysOfTheSweeps() {
    Keys keys;
    const auto sample = nmsbuild::sampleDatabase();
    for (size_t size = 0; size <= sample.size(); ++size)
        keys.add(recordWalk(NmsImage{sample.data(), size}));
    nmsbuild::CorruptionSweep sweep(sample);
    for (int round = 0; round < nmsbuild::CorruptionSweep::kRounds; ++round) {
        const nmsbuild::DamagedInput input = sweep.next();
        keys.add(recordWalk(NmsImage{input.bytes.data(), input.bytes.size()},
                            checks::selectionFromBits(input.selectionBits)));
    }
    return keys;
}

TEST(Subjects, EveryKeyIsANameTheSchemasKnow) {
    // The schemas stand in docs/ of the checkout whose fuzz/regressions ctest names.
    const char* regressions = std::getenv("SYMDECK_REGRESSIONS");
    if (regressions == nullptr)
        GTEST_SKIP() << "SYMDECK_REGRESSIONS is not set (run through ctest)";
    const std::filesystem::path docs =
        std::filesystem::path(regressions).parent_path().parent_path() / "docs";
    const Keys keys = keysOfTheSweeps();
    // Lists, counts and runs of the sound sample and of damaged ones were walked.
    EXPECT_GE(keys.lists.size(), 4u);
    EXPECT_GE(keys.runsAndCounts.size(), 12u);
    // Names that are neither a list nor a block word (what is counted but not reported, the
    // type records together) are in the documents' style: lower camel case.
    const std::regex camelCase("[a-z][A-Za-z]*");
    for (const char* name : {"symdeck-report.schema.json", "symdeck-report-lines.schema.json"}) {
        std::ifstream file(docs / name);
        ASSERT_TRUE(file) << (docs / name);
        const auto schema = nlohmann::json::parse(file);
        const auto& defs = schema["$defs"];
        const std::set<std::string> lists = enumOf(defs["list"]["properties"]["list"]["enum"]);
        const std::set<std::string> blocks = enumOf(defs["blockWord"]["enum"]);
        // Every list the schema names is walked, and no other.
        EXPECT_EQ(keys.lists, lists) << name;
        for (const std::string& key : keys.runsAndCounts) {
            const bool known = lists.count(key) != 0 || blocks.count(key) != 0;
            EXPECT_TRUE(known || std::regex_match(key, camelCase)) << name << ": " << key;
        }
    }
}

}  // namespace
}  // namespace symdeck

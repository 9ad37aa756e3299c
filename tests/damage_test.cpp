// Damage sweeps: every truncation of the sample database, and thousands of deterministic
// corruptions of it, must each give a report with the properties every report has. The
// inputs the fuzzer ever found are replayed too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "checks/report_checks.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/sample.h"

namespace symdeck {
namespace {

using checks::checkReport;
using checks::WalkTally;

// Every property of the walk's events must have checked something: a property that passes
// by checking nothing would hide that the walk no longer says what it means.
void expectChecked(const WalkTally& t, const WalkTally& floor) {
    std::cout << "checked: targets " << t.targets << ", followed " << t.followed << ", type records "
              << t.typeRecords << ", counts " << t.counts << ", runs " << t.runs << ", explained "
              << t.explained << "; JSON values " << t.values << ", targets " << t.jsonTargets << ", counts " << t.jsonCounts
              << ", invalid texts " << t.invalidTexts << ", lines " << t.lines << "; map units " << t.units
              << ", walked alone " << t.unitsAlone << ", windows " << t.windows << ", groups " << t.groups
              << ", shared " << t.shared << "; signs " << t.signs << ", last fields " << t.lastFields << "\n";
    EXPECT_GE(t.targets, floor.targets);
    EXPECT_GE(t.followed, floor.followed);
    EXPECT_GE(t.typeRecords, floor.typeRecords);
    EXPECT_GE(t.counts, floor.counts);
    EXPECT_GE(t.runs, floor.runs);
    EXPECT_GE(t.explained, floor.explained);
    EXPECT_GE(t.values, floor.values);
    EXPECT_GE(t.jsonTargets, floor.jsonTargets);
    EXPECT_GE(t.jsonCounts, floor.jsonCounts);
    EXPECT_GE(t.invalidTexts, floor.invalidTexts);
    EXPECT_GE(t.lines, floor.lines);
    EXPECT_GE(t.units, floor.units);
    EXPECT_GE(t.unitsAlone, floor.unitsAlone);
    EXPECT_GE(t.windows, floor.windows);
    EXPECT_GE(t.signs, floor.signs);
    EXPECT_GE(t.groups, floor.groups);
    EXPECT_GE(t.shared, floor.shared);
    EXPECT_GE(t.lastFields, floor.lastFields);
}

TEST(Damage, EveryTruncationOfTheSample) {
    const auto sample = nmsbuild::sampleDatabase();
    WalkTally tally;
    for (size_t size = 0; size <= sample.size(); ++size) {
        const std::string failure = checkReport(sample.data(), size, SectionSelection{}, &tally);
        ASSERT_EQ(failure, "") << "truncated to " << size << " bytes";
    }
    expectChecked(tally, {40000, 20000, 8, 20, 20, 4000, 30000, 10000, 15, 0, 30000, 8000, 1500,
                          3000, 300000, 5000, 15, 30000});
}

TEST(Damage, ThousandsOfCorruptionsOfTheSample) {
    nmsbuild::CorruptionSweep sweep(nmsbuild::sampleDatabase());
    WalkTally tally;
    for (int round = 0; round < nmsbuild::CorruptionSweep::kRounds; ++round) {
        const nmsbuild::DamagedInput input = sweep.next();
        const auto selection = checks::selectionFromBits(input.selectionBits);
        const std::string failure = checkReport(input.bytes.data(), input.bytes.size(), selection, &tally);
        ASSERT_EQ(failure, "") << "corruption round " << round;
    }
    expectChecked(tally, {60000, 30000, 3000, 12000, 12000, 7000, 60000, 20000, 12000, 100, 60000,
                          12000, 2500, 5000, 500000, 7000, 12000, 55000});
}

// Inputs kept from fuzzing (first byte: the selection bits; then the database).
TEST(Damage, FuzzRegressionsAndSeeds) {
    const char* dir = std::getenv("SYMDECK_REGRESSIONS");
    if (dir == nullptr) GTEST_SKIP() << "SYMDECK_REGRESSIONS is not set (run through ctest)";
    const std::filesystem::path regressions(dir);
    int replayed = 0;
    WalkTally tally;
    for (const auto& folder : {regressions, regressions.parent_path() / "corpus"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (data.empty()) continue;
            const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
            EXPECT_EQ(checkReport(bytes + 1, data.size() - 1, checks::selectionFromBits(bytes[0]), &tally), "")
                << entry.path();
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
    expectChecked(tally, {250, 100, 15, 60, 60, 40, 150, 60, 60, 0, 150, 50, 10, 20, 1500, 30, 80, 150});
}

}  // namespace
}  // namespace symdeck

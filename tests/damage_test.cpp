// Damage sweeps: every truncation of the sample database, and thousands of deterministic
// corruptions of it, must each give a report with the properties every report has. The
// inputs the fuzzer ever found are replayed too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "checks/report_checks.h"
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
              << ", invalid texts " << t.invalidTexts << ", lines " << t.lines << "\n";
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
}

TEST(Damage, EveryTruncationOfTheSample) {
    const auto sample = nmsbuild::sampleDatabase();
    WalkTally tally;
    for (size_t size = 0; size <= sample.size(); ++size) {
        const std::string failure = checkReport(sample.data(), size, SectionSelection{}, &tally);
        ASSERT_EQ(failure, "") << "truncated to " << size << " bytes";
    }
    expectChecked(tally, {40000, 20000, 8, 20, 20, 4000, 30000, 10000, 15, 0, 30000});
}

// A small deterministic generator, so that a failure names a case that can be replayed.
struct Lcg {
    uint64_t state;
    uint32_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    }
};

TEST(Damage, ThousandsOfCorruptionsOfTheSample) {
    const auto sample = nmsbuild::sampleDatabase();
    const uint32_t interesting[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0,
                                    static_cast<uint32_t>(sample.size()),
                                    static_cast<uint32_t>(sample.size() - 1), 0x1000, 0x244};
    Lcg rng{12345};
    WalkTally tally;
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> bytes = sample;
        const int edits = 1 + static_cast<int>(rng.next() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng.next() % bytes.size();
            switch (rng.next() % 3) {
                case 0:  // one byte anywhere
                    bytes[at] = static_cast<uint8_t>(rng.next());
                    break;
                case 1: {  // a ULONG set to a value that steers the walk somewhere odd
                    const uint32_t v = interesting[rng.next() % std::size(interesting)];
                    for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                        bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
                    break;
                }
                default:  // the file cut short as well
                    bytes.resize(at + 1);
                    break;
            }
        }
        const auto selection = checks::selectionFromBits(static_cast<uint8_t>(rng.next()));
        const std::string failure = checkReport(bytes.data(), bytes.size(), selection, &tally);
        ASSERT_EQ(failure, "") << "corruption round " << round;
    }
    expectChecked(tally, {60000, 30000, 3000, 12000, 12000, 7000, 60000, 20000, 12000, 100, 60000});
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
    expectChecked(tally, {250, 100, 15, 60, 60, 40, 150, 60, 60, 0, 150});
}

}  // namespace
}  // namespace symdeck

// The damage sweeps' inputs: every truncation of the sample, and a deterministic series of
// corruptions of it, each with the selection it is reported with. The damage tests check
// each one's report; tools/make_damage writes them out for other builds to be compared on.
#pragma once

#include <cstdint>
#include <vector>

namespace nmsbuild {

struct DamagedInput {
    std::vector<uint8_t> bytes;
    // The kinds left out, one bit per kind in the order of its flags (checks::selectionFromBits).
    uint8_t selectionBits = 0;
};

// The corruptions, one after another: the same series on every call of a new sweep.
class CorruptionSweep {
public:
    static constexpr int kRounds = 4000;
    explicit CorruptionSweep(std::vector<uint8_t> sample) : sample_(std::move(sample)) {}
    DamagedInput next();

private:
    uint32_t random();
    std::vector<uint8_t> sample_;
    uint64_t state_ = 12345;
};

}  // namespace nmsbuild

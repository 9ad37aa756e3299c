#include "nmsbuild/damage.h"

#include <iterator>

namespace nmsbuild {

// A small linear congruential generator, so that a failure names a round that can be replayed.
uint32_t CorruptionSweep::random() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state_ >> 33);
}

DamagedInput CorruptionSweep::next() {
    const uint32_t interesting[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0,
                                    static_cast<uint32_t>(sample_.size()),
                                    static_cast<uint32_t>(sample_.size() - 1), 0x1000, 0x244};
    DamagedInput input{sample_, 0};
    std::vector<uint8_t>& bytes = input.bytes;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
        const size_t at = random() % bytes.size();
        switch (random() % 3) {
            case 0:  // one byte anywhere
                bytes[at] = static_cast<uint8_t>(random());
                break;
            case 1: {  // a ULONG set to a value that steers the walk somewhere odd
                const uint32_t v = interesting[random() % std::size(interesting)];
                for (size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
                    bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
                break;
            }
            default:  // the file cut short as well
                bytes.resize(at + 1);
                break;
        }
    }
    input.selectionBits = static_cast<uint8_t>(random());
    return input;
}

}  // namespace nmsbuild

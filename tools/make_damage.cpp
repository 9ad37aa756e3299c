// Writes the damage sweeps' inputs (nmsbuild/damage.h) into a directory, for builds other
// than the test suite's to be compared on (tools/compare-wasm.sh):
//   make_damage DIRECTORY
// truncated-NNNNN.nms (the sample cut to NNNNN bytes), corrupted-NNNNN.nms (round NNNNN),
// and list.txt: one line per file, "LEFT_OUT NAME", LEFT_OUT the kinds left out as bits
// 1 << entryIndex (as symdeck-core.wasm takes them).
#include <cstdio>
#include <fstream>
#include <string>

#include "nmsbuild/damage.h"
#include "nmsbuild/sample.h"
#include "format/section_kinds.h"

namespace {

uint32_t leftOutMask(uint8_t selectionBits) {
    uint32_t mask = 0;
    for (const auto& kind : symdeck::kSectionKindInfo)
        if ((selectionBits >> kind.flagOrder) & 1) mask |= uint32_t{1} << kind.entryIndex;
    return mask;
}

bool put(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string numbered(const char* stem, size_t n) {
    char name[64];
    std::snprintf(name, sizeof name, "%s-%05zu.nms", stem, n);
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_damage DIRECTORY\n");
        return 2;
    }
    const std::string directory = argv[1];
    std::ofstream list(directory + "/list.txt", std::ios::trunc);
    const auto sample = nmsbuild::sampleDatabase();
    bool ok = static_cast<bool>(list);
    for (size_t size = 0; ok && size <= sample.size(); ++size) {
        const std::string name = numbered("truncated", size);
        ok = put(directory + "/" + name, std::vector<uint8_t>(sample.begin(), sample.begin() + static_cast<long>(size)));
        list << 0 << ' ' << name << '\n';
    }
    nmsbuild::CorruptionSweep sweep(sample);
    for (int round = 0; ok && round < nmsbuild::CorruptionSweep::kRounds; ++round) {
        const nmsbuild::DamagedInput input = sweep.next();
        const std::string name = numbered("corrupted", static_cast<size_t>(round));
        ok = put(directory + "/" + name, input.bytes);
        list << leftOutMask(input.selectionBits) << ' ' << name << '\n';
    }
    if (!ok || !list.flush()) {
        std::fprintf(stderr, "make_damage: cannot write into %s\n", directory.c_str());
        return 1;
    }
    return 0;
}

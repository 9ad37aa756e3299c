#include "nmsbuild/corpus.h"

#include "nmsbuild/sample.h"

namespace nmsbuild {

std::vector<std::pair<std::string, std::vector<uint8_t>>> corpusDatabases() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
    out.emplace_back("sample", sampleDatabase());

    // Each section of the sample alone, with the string table beside it so names resolve.
    const Database sample = sampleDescription();
    for (size_t i = 0; i < sample.entries.size(); ++i) {
        Database one;
        one.header = sample.header;
        for (const Entry& e : sample.entries)
            if (e.entryIndex == kSttb) one.entries.push_back(e);
        if (sample.entries[i].entryIndex != kSttb) one.entries.push_back(sample.entries[i]);
        out.emplace_back("section-" + std::to_string(i) + "-kind-" +
                             std::to_string(sample.entries[i].entryIndex),
                         build(one).bytes);
    }

    out.emplace_back("sample-minor-version-1", build(sampleDescription(1)).bytes);

    Database empty;
    out.emplace_back("empty-directory", build(empty).bytes);

    Database unknown;
    unknown.entries.push_back({.entryIndex = 9});
    unknown.entries.push_back({kFpod, fpod({})});
    unknown.entries.push_back({.entryIndex = 0xFFFFFFFF});
    out.emplace_back("unknown-kinds", build(unknown).bytes);
    return out;
}

}  // namespace nmsbuild

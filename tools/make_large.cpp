// Writes a large, sound database for the benchmarks:
//   make_large OUTPUT.nms MEBIBYTES [SEED] [random] [later]
// "random" makes every name reference fall anywhere in the string table (the worst case
// for the caches) instead of where a real module's would; "later" makes a later build of
// the same database (a few procedures added, a few types changed, the sections in another
// order), to compare with it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "nmsbuild/large.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 6) {
        std::fprintf(stderr, "usage: make_large OUTPUT.nms MEBIBYTES [SEED] [random] [later]\n");
        return 2;
    }
    const double mebibytes = std::atof(argv[2]);
    const unsigned long long seed = argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
    auto order = nmsbuild::NameOrder::Local;
    nmsbuild::LaterBuild later;
    for (int i = 4; i < argc; ++i) {
        if (std::string(argv[i]) == "random") order = nmsbuild::NameOrder::Random;
        else if (std::string(argv[i]) == "later") later.on = true;
    }
    if (mebibytes <= 0) {
        std::fprintf(stderr, "make_large: the size must be positive\n");
        return 2;
    }
    const auto bytes = nmsbuild::largeDatabase(static_cast<uint64_t>(mebibytes * 1048576.0), seed, order, later);
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_large: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

// Writes the fuzzer's seed corpus: one file per database of the project's own builder, each
// with a leading selection byte (0: every section reported).
#include <cstdio>
#include <fstream>

#include "nmsbuild/corpus.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus DIRECTORY\n");
        return 2;
    }
    for (const auto& [name, bytes] : nmsbuild::corpusDatabases()) {
        const std::string path = std::string(argv[1]) + "/" + name;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.put('\0');
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            std::fprintf(stderr, "make_corpus: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

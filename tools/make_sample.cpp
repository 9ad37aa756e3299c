// Writes the bundled sample database: every section kind, with a few of everything in it,
// so that the report shows every kind of block.
#include <cstdio>
#include <fstream>

#include "nmsbuild/sample.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.nms\n");
        return 2;
    }
    const auto bytes = nmsbuild::sampleDatabase();
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

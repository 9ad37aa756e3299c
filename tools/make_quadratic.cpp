// Writes a damaged database whose report would grow with the square of its size: a string
// table whose every name offset points at one long name that fills half the file.
//   make_quadratic OUTPUT.nms MEBIBYTES
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "nmsbuild/nmsbuild.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_quadratic OUTPUT.nms MEBIBYTES\n");
        return 2;
    }
    const auto total = static_cast<uint64_t>(std::atof(argv[2]) * 1048576.0);
    const uint32_t nNames = static_cast<uint32_t>(total / 2 / 4);
    const uint64_t nameLength = total / 2;
    nmsbuild::Database db;
    db.entries.push_back({nmsbuild::kSttb, [&](nmsbuild::Bytes& out) {
                              out.raw("STTB");
                              out.u32(0);
                              out.u32(nNames);
                              out.u32(0);
                              out.u32(0);
                              out.zeros(uint64_t{4} * nNames);  // every offset is 0
                              out.data.insert(out.data.end(), nameLength, 'n');
                              out.u8(0);
                          }});
    const auto bytes = nmsbuild::build(db).bytes;
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_quadratic: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

// Opens a database through the C interface's handle and walks every block in chunks,
// reading every field: `bench_handle DB [CHUNK]` prints the blocks, the fields, the bytes of
// their texts and spellings, and the seconds of the open and of the walk. Run it under
// /usr/bin/time -v for the peak memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "symdeck.h"

namespace {

struct Tally {
    unsigned long long blocks = 0;
    unsigned long long fields = 0;
    unsigned long long bytes = 0;
};

int count(void* context, uint64_t, const symdeck_block* block, const symdeck_field* fields, size_t n) {
    auto* t = static_cast<Tally*>(context);
    ++t->blocks;
    t->bytes += block->title_size + block->identity_size;
    for (size_t i = 0; i < n; ++i) {
        ++t->fields;
        t->bytes += fields[i].name_size + fields[i].text_size + fields[i].spelling_size + fields[i].word_size;
    }
    return 1;
}

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_handle DB [CHUNK]\n");
        return 2;
    }
    const unsigned long long chunk = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 4096;
    const auto start = std::chrono::steady_clock::now();
    symdeck_db* db = nullptr;
    char reason[256];
    const int32_t opened = symdeck_open_path(argv[1], 0, &db, reason, sizeof reason);
    if (opened != 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], opened == SYMDECK_CANNOT_READ ? reason : symdeck_error_message(opened));
        return 2;
    }
    const double openSeconds = since(start);
    const auto walkStart = std::chrono::steady_clock::now();
    Tally tally;
    const uint64_t blocks = symdeck_block_count(db);
    for (uint64_t first = 0; first < blocks; first += chunk) {
        const int32_t end = symdeck_walk_blocks(db, first, chunk, &count, &tally);
        if (end != 0) {
            std::fprintf(stderr, "walk: %s\n", symdeck_error_message(end));
            return 1;
        }
    }
    std::printf("blocks %llu fields %llu text bytes %llu open %.2f s walk %.2f s (chunks of %llu)\n", tally.blocks,
                tally.fields, tally.bytes, openSeconds, since(walkStart), chunk);
    symdeck_close(db);
    return 0;
}

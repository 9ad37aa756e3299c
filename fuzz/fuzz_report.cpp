// libFuzzer target: the complete walk over arbitrary bytes, in the text, JSON and explain forms. The first byte chooses the
// section selection (one skip flag per bit), the rest is the database.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "checks/report_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto selection = symdeck::checks::selectionFromBits(data[0]);
    const std::string failure = symdeck::checks::checkReport(data + 1, size - 1, selection);
    if (!failure.empty()) {
        std::fprintf(stderr, "report property failed: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}

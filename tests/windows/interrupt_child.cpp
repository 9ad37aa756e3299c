// A report on its way to the disk that never finishes by itself: creates the report's
// temporary through the platform layer, says "writing" on standard output once the first
// block is in it, and goes on writing until Ctrl+C ends it. ctrl_c.py types the Ctrl+C.
//   interrupt_child REPORT
// Exit status 3 means it wrote its whole allowance without being interrupted.
#include <string>
#include <string_view>

#include "app/platform.h"

int main(int argc, char** argv) {
    using namespace symdeck::platform;
    if (argc != 2) return 2;
    prepareProcess();
    PendingReport report;
    if (createReport(argv[1], FileId{}, report) != CreateStatus::Ok) return 2;
    const std::string block(1 << 16, 'x');
    std::string reason;
    for (int i = 0; i < 4096; ++i) {  // 256 MiB at most
        if (!writeReport(report, block.data(), block.size())) break;
        if (i == 0 && !writeStandardOutput("writing\n", reason)) break;
    }
    discardReport(report);
    return 3;
}

#include <new>
#include <string>

#include "frontend/command_line.h"
#include "frontend/platform.h"
#include "frontend/run.h"

int main(int argc, char** argv) {
    symdeck::platform::prepareProcess();
    symdeck::Console console;
    int status = 1;
#if defined(__cpp_exceptions)
    try {
        status = symdeck::runConversion(argc, argv, console);
    } catch (const std::bad_alloc&) {
        // Memory ran out somewhere in the run: what was made is gone with the stack (a
        // pending temporary removed with it), and the run fails as a database too large to
        // read does. The message goes where the run had decided messages go.
        console.text = symdeck::kTitleLine;
        console.text += "  Failed to allocate memory.\n";
        console.errors.clear();
        status = 1;
    }
#else
    // Without exceptions (the WebAssembly build) memory the C++ library cannot have ends
    // the run with a trap; the core's own blocks are failures the run reports.
    status = symdeck::runConversion(argc, argv, console);
#endif
    if (console.toStandardError) {
        symdeck::platform::writeStandardError(console.text + console.errors);
        return status;
    }
    // Help that could not be shown, or a failure that could not be told, is no success.
    std::string reason;
    const bool shown = symdeck::platform::writeStandardOutput(console.text, reason);
    symdeck::platform::writeStandardError(console.errors);
    if (!shown) {
        symdeck::platform::writeStandardError("symdeck: write error: " + reason + "\n");
        return 1;
    }
    return status;
}

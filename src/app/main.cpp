#include <string>

#include "app/platform.h"
#include "app/run.h"

int main(int argc, char** argv) {
    symdeck::platform::prepareProcess();
    symdeck::Console console;
    const int status = symdeck::runConversion(argc, argv, console);
    if (console.toStandardError) {
        symdeck::platform::writeStandardError(console.text);
        return status;
    }
    // Help that could not be shown, or a failure that could not be told, is no success.
    std::string reason;
    if (!symdeck::platform::writeStandardOutput(console.text, reason)) {
        symdeck::platform::writeStandardError("symdeck: write error: " + reason + "\n");
        return 1;
    }
    return status;
}

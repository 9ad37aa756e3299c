#include <cstdio>
#include <string>

#include "app/run.h"

int main(int argc, char** argv) {
    std::string console;
    const int status = symdeck::runConversion(argc, argv, console);
    std::fwrite(console.data(), 1, console.size(), stdout);
    return status;
}

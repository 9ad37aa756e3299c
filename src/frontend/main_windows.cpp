// The program's entry on Windows. The command line arrives in UTF-16 (wmain), whatever the
// console's code page, and the program takes UTF-8: every argument is converted here and
// handed to the common entry, which this build compiles from main.cpp under the name
// symdeckMain (CMake renames it; the source stays the same on every system).
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "frontend/command_line.h"
#include "frontend/platform.h"

int symdeckMain(int argc, char** argv);

namespace {

int run(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        const int length = static_cast<int>(::wcslen(argv[i]));
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, argv[i], length, nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(n), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, argv[i], length, utf8.data(), n, nullptr, nullptr);
        arguments.push_back(std::move(utf8));
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return symdeckMain(argc, pointers.data());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The arguments' conversion comes before the common entry and its own catch: memory
    // that runs out here fails the run the same way.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::string reason;
        symdeck::platform::writeStandardOutput(
            std::string(symdeck::kTitleLine) + "  Failed to allocate memory.\n", reason);
        return 1;
    }
}

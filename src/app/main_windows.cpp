// The program's entry on Windows. The command line arrives in UTF-16 (wmain), whatever the
// console's code page, and the program takes UTF-8: every argument is converted here and
// handed to the common entry, which this build compiles from main.cpp under the name
// symdeckMain (CMake renames it; the source stays the same on every system).
#include <windows.h>

#include <string>
#include <vector>

int symdeckMain(int argc, char** argv);

int wmain(int argc, wchar_t** argv) {
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

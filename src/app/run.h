// The conversion run: arguments in, exit status out. Reads the input whole, renders the
// report through a fixed block into a temporary file beside the report, and renames it
// over the report's name only when every byte has been written.
#pragma once

#include <string>

namespace symdeck {

// Returns the exit status: 0 after a written report or the help text, 1 after a failure.
// Whatever belongs on standard output (the help text or one failure message with its
// title line) is appended to `console`.
int runConversion(int argc, const char* const* argv, std::string& console);

}  // namespace symdeck

// The conversion run: arguments in, exit status out. Reads the input whole, renders the
// report through a fixed block into a temporary file beside the report, and renames it
// over the report's name only when every byte has been written.
#pragma once

#include <string>

namespace symdeck {

// What the run has to say for itself, and where it goes.
struct Console {
    // The help text, the version, the answers of --explain, or one failure message with its
    // title line.
    std::string text;
    // Standard error instead of standard output: the report itself is written into
    // standard output ("-o -", or a name such as /dev/stdout), or standard output is open on
    // the database, which nothing may be written into.
    bool toStandardError = false;
    // Lines for standard error whatever the text's stream: warnings about the command line,
    // the system's reason for a failure the text tells ("symdeck: app.nms: Permission
    // denied"), and --check's summary of the database. Written after the text.
    std::string errors;
};

// Returns the exit status: 0 after a written report or the help text, 1 after a failure
// (2 with --check after a damaged database's report). What the run has to say is appended
// to `console`.
int runConversion(int argc, const char* const* argv, Console& console);

}  // namespace symdeck

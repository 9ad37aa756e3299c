// The command line: help switches, the input and report names, and the section selection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/selection.h"

namespace symdeck {

// MissingOptionValue: an option that takes a value ("-o", "--output", "--output=",
// "--explain") has nothing behind it. BadExplainOffset: the value of "--explain" is no
// offset. BadDiffArguments: "--diff" without the names of two databases behind it.
enum class Outcome {
    ShowHelp,
    ShowVersion,
    BadFirstArgument,
    MissingOptionValue,
    BadExplainOffset,
    BadDiffArguments,
    Convert
};

// The forms of the same report: the text, a JSON document of the same blocks, the same as
// JSON lines, the viewer's page with the database in it, and the table form: one row per
// field, as CSV or (with --json-lines) as JSON rows.
enum class ReportForm { Text, Json, JsonLines, Html, Table, TableLines };

struct CommandLine {
    Outcome outcome = Outcome::ShowHelp;
    // Both names exactly as typed; only the matching of switches, flags and the ".nms",
    // ".txt", ".json", ".jsonl", ".html" and ".csv" markers ignores case.
    std::string inputName;
    std::string outputName;  // empty when the report goes to standard output
    bool toStandardOutput = false;  // "-o -"
    bool outputNamed = false;  // "-o" or "--output" given (the answers of --explain follow it)
    ReportForm form = ReportForm::Text;  // "--json", "--json-lines", "--html", "--table"
    bool check = false;  // "--check": exit status 2 when the walk stopped at damage
    // "--explain=OFFSET": the offsets to explain instead of writing a report, in the order
    // given.
    std::vector<uint64_t> explainOffsets;
    // With BadExplainOffset: the value as typed; with MissingOptionValue: the option.
    std::string badValue;
    SectionSelection selection;
    // "--diff OLD NEW" as the first arguments: compare two databases (inputName is OLD,
    // diffNewName NEW); the changes go to standard output unless -o names a file.
    bool diff = false;
    std::string diffNewName;
    // Arguments that begin with "--" and are no switch of the program, as typed: passed
    // over, as every argument the program does not know is, but warned of.
    std::vector<std::string> unknownSwitches;
};

// argv[0] is the program's own name and is not looked at.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The title line printed ahead of the help text and of every failure message.
inline constexpr const char* kTitleLine = "\n  NMS symbol database to text converter.\n\n";

// Appends the help text to `console`.
void printHelp(std::string& console);
// Appends "symdeck VERSION" and a line feed to `console`.
void printVersion(std::string& console);

}  // namespace symdeck

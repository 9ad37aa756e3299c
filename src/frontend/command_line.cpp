#include "frontend/command_line.h"

#include "format/section_kinds.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace symdeck {

namespace {

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

bool isHelpSwitch(std::string_view arg) {
    return arg == "-h" || arg == "/h" || arg == "-?" || arg == "/?" || arg == "--help";
}

bool isVersionSwitch(std::string_view arg) { return arg == "--version"; }

// The switches of the program that stand alone (the options that take a value, "--output"
// and "--explain", are taken with their values first). An argument that begins with "--"
// and is none of them is passed over with a warning.
constexpr std::string_view kSwitches[] = {"--json", "--json-lines", "--html",  "--table",  "--check",
                                          "--keep-going", "--diff", "--help", "--version"};

// The arguments from `from` on that look like a switch and are none, as typed.
std::vector<std::string> unknownSwitches(const std::vector<std::string>& lower, const char* const* argv, size_t from,
                                         size_t skip) {
    std::vector<std::string> unknown;
    for (size_t i = from; i < lower.size(); ++i) {
        if (i == skip || !lower[i].starts_with("--")) continue;
        if (std::find(std::begin(kSwitches), std::end(kSwitches), lower[i]) == std::end(kSwitches))
            unknown.emplace_back(argv[i + 1]);
    }
    return unknown;
}

// A kind's flag as typed, lower-cased: its sign and its name.
std::string flagOf(char sign, std::string_view name) { return std::string(1, sign).append(lowered(name)); }

bool contains(const std::vector<std::string>& args, std::string_view flag) {
    for (size_t i = 1; i < args.size(); ++i)
        if (args[i] == flag) return true;
    return false;
}

// The options that take a value: "-o NAME", "--output NAME" or "--output=NAME", and
// "--explain OFFSET" or "--explain=OFFSET". A value is an argument of its own or the rest
// of one; either way it is never a flag or a switch (not even a help switch: "-o -h" names
// a report "-h"), so its argument is cleared from `args` (the lowered arguments) once
// taken. The first argument is the database's name and never an option. Values keep the
// case they were typed in.
struct OptionValues {
    std::string output;  // the last one given wins
    bool outputGiven = false;
    std::vector<std::string> explain;  // every one, in the order given
    std::string missing;               // an option with nothing behind it, as lowered
};

OptionValues takeOptionValues(std::vector<std::string>& args, const char* const* argv) {
    struct Option {
        std::string_view alone;    // the value is the next argument
        std::string_view alsoAlone;  // a second spelling of `alone`, or empty
        std::string_view joined;   // the value is the rest of this argument
    };
    static constexpr Option kOutput{"-o", "--output", "--output="};
    static constexpr Option kExplain{"--explain", "", "--explain="};
    OptionValues values;
    for (size_t i = 1; i < args.size(); ++i) {
        for (const Option* option : {&kOutput, &kExplain}) {
            std::string value;
            const bool alone = args[i] == option->alone ||
                               (!option->alsoAlone.empty() && args[i] == option->alsoAlone);
            if (alone) {
                if (i + 1 < args.size()) value = argv[i + 2];
            } else if (args[i].starts_with(option->joined)) {
                value = std::string(argv[i + 1]).substr(option->joined.size());
            } else {
                continue;
            }
            if (value.empty() && values.missing.empty()) values.missing = args[i];
            if (option == &kOutput) {
                values.output = value;
                values.outputGiven = true;
            } else {
                values.explain.push_back(value);
            }
            args[i].clear();
            if (alone && i + 1 < args.size()) args[++i].clear();
            break;
        }
    }
    return values;
}

// An offset as typed: "0x" (any case) and hexadecimal digits, or decimal digits, within 64
// bits. Nothing else is an offset.
bool parseOffset(std::string_view text, uint64_t& offset) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        if (value > (UINT64_MAX - digit) / base) return false;
        value = value * base + digit;
    }
    offset = value;
    return true;
}

// The flags never depend on their order: "+nm32" first, then the section + flags in table
// order, and - flags only when no + flag of any kind was given.
SectionSelection selectionFrom(const std::vector<std::string>& args) {
    SectionSelection selection;
    bool plusSeen = false;
    if (contains(args, "+nm32")) {
        for (const auto& kind : kSectionKindsByFlag) selection.*kind.skip = true;
        plusSeen = true;
    }
    for (const auto& kind : kSectionKindsByFlag) {
        if (!contains(args, flagOf('+', kind.name))) continue;
        if (!plusSeen) {
            for (const auto& other : kSectionKindsByFlag) selection.*other.skip = true;
            plusSeen = true;
        }
        selection.*kind.skip = false;
    }
    if (!plusSeen)
        for (const auto& kind : kSectionKindsByFlag)
            if (contains(args, flagOf('-', kind.name))) selection.*kind.skip = true;
    return selection;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    std::vector<std::string> lower;  // the arguments from the first on, lower-cased
    for (int i = 1; i < argc; ++i) lower.push_back(lowered(argv[i]));

    if (lower.empty()) return result;
    // The values of the options first: a help switch there is a name or an offset.
    const OptionValues values = takeOptionValues(lower, argv);
    for (const auto& arg : lower)
        if (isHelpSwitch(arg)) return result;
    for (const auto& arg : lower) {
        if (isVersionSwitch(arg)) {
            result.outcome = Outcome::ShowVersion;
            return result;
        }
    }

    // The report's name from -o, known to the failures below as well: with the report in
    // standard output, their messages go elsewhere.
    result.outputNamed = values.outputGiven;
    if (values.outputGiven) {
        result.outputName = values.output;
        result.toStandardOutput = result.outputName == "-";
        if (result.toStandardOutput) result.outputName.clear();
    }

    if (lower[0] == "--diff") {
        if (argc < 4 || !values.missing.empty()) {
            result.outcome = Outcome::BadDiffArguments;
            return result;
        }
        result.diff = true;
        result.inputName = argv[2];
        result.diffNewName = argv[3];
        result.unknownSwitches = unknownSwitches(lower, argv, 3, 0);
        // The diff has one JSON form, its lines: --json asks for them too.
        result.form = contains(lower, "--json-lines") || contains(lower, "--json") ? ReportForm::JsonLines
                                                                                  : ReportForm::Text;
        result.selection = selectionFrom(lower);
        result.outcome = Outcome::Convert;
        return result;
    }

    result.inputName = argv[1];
    const size_t marker = lower[0].find(".nms");
    if (marker == std::string::npos) {
        result.outcome = Outcome::BadFirstArgument;
        return result;
    }
    if (!values.missing.empty()) {
        result.outcome = Outcome::MissingOptionValue;
        result.badValue = values.missing;
        return result;
    }
    for (const std::string& text : values.explain) {
        uint64_t offset = 0;
        if (!parseOffset(text, offset)) {
            result.outcome = Outcome::BadExplainOffset;
            result.badValue = text;
            return result;
        }
        result.explainOffsets.push_back(offset);
    }

    const bool lines = contains(lower, "--json-lines");
    result.form = contains(lower, "--html")    ? ReportForm::Html
                  : contains(lower, "--table") ? (lines ? ReportForm::TableLines : ReportForm::Table)
                  : lines                      ? ReportForm::JsonLines
                  : contains(lower, "--json")     ? ReportForm::Json
                                                  : ReportForm::Text;
    result.check = contains(lower, "--check");
    const std::string_view extension = result.form == ReportForm::Html        ? ".html"
                                       : result.form == ReportForm::Table     ? ".csv"
                                       : result.form == ReportForm::JsonLines ||
                                               result.form == ReportForm::TableLines
                                           ? ".jsonl"
                                       : result.form == ReportForm::Json    ? ".json"
                                                                            : ".txt";
    bool secondIsName = false;
    if (!values.outputGiven) {
        secondIsName = lower.size() >= 2 && lower[1].find(extension) != std::string::npos;
        if (secondIsName)
            result.outputName = argv[2];
        else
            result.outputName = result.inputName.substr(0, marker) + std::string(extension);
    }
    // The database's name, and the report's where the second argument gives it, are names.
    result.unknownSwitches = unknownSwitches(lower, argv, 1, secondIsName ? 1 : 0);

    result.selection = selectionFrom(lower);
    result.selection.keepGoing = contains(lower, "--keep-going");
    result.outcome = Outcome::Convert;
    return result;
}

void printHelp(std::string& console) {
    console +=
        kTitleLine;
    // The converter's own lines first, as they always were; then the switches that came
    // later, under a usage line of their own.
    console +=
        "  COMMAND: symdeck nmsFileName.nms [textFileName.txt] [-sectionName] [+sectionName]\n"
        "  nmsFileName.nms - Name of full path to an nms file.\n"
        "     textFileName - Name or full path to output text file.\n"
        "                    If this parameter is not present the symdeck\n"
        "                    will create nmsFileName.txt\n"
        "                    (in the same directory as nmsFileName.nms).\n"
        "     -sectionName - This flag/s is/are optional.\n";
    // One line per kind of section, in the order of the flags.
    const char* lead = "                    flags: ";
    for (const auto& kind : kSectionKindsByFlag) {
        console.append(lead).append("-").append(kind.name).append(" -> exclude ");
        console.append(kind.name).append(" section\n");
        lead = "                           ";
    }
    console +=
        "     +sectionName - This flag is optional.\n"
        "                    flags: +NM32 -> include ONLY NM32 header\n";
    for (const auto& kind : kSectionKindsByFlag)
        console.append("                           +").append(kind.name).append(" -> include ONLY ")
            .append(kind.name)
            .append(" section(NM32 header included)\n");
    console +=
        "                    Note: You can combine + flags also.\n"
        "                    Note: Flags can be set in any order and case.\n\n";
    console +=
        "  OPTIONS: symdeck nmsFileName.nms [--json] [--table] [-o path] [--check]\n"
        "                   [--keep-going] [--explain=offset]\n"
        "           symdeck --diff old.nms new.nms [--json-lines] [-o path] [flags]\n"
        "           symdeck --help | --version\n"
        "                    Options stand anywhere after nmsFileName.nms, in any case.\n"
        "           --json - Write the report as a JSON document: nmsFileName.json,\n"
        "                    or the second argument when it contains \".json\".\n"
        "     --json-lines - Write it as JSON lines, one object a line: nmsFileName.jsonl,\n"
        "                    or the second argument when it contains \".jsonl\".\n"
        "          --table - Write one row per field, the same columns in every row,\n"
        "                    as CSV: nmsFileName.csv, or the second argument when it\n"
        "                    contains \".csv\"; with --json-lines as JSON rows (.jsonl).\n"
        "           --html - Write the viewer: one page that shows the database in a\n"
        "                    browser, the database in it: nmsFileName.html, or the\n"
        "                    second argument when it contains \".html\".\n"
        "          -o path - Write the report (any form), or the answers of\n"
        "    --output path   --explain, to path instead, whatever path looks like.\n"
        "    --output=path   \"-o -\", or a name of an open stream (/dev/stdout),\n"
        "                    writes into that stream at its position.\n"
        "          --check - Exit with status 2 when the database is damaged\n"
        "                    (the walk stopped at an error line, or a field\n"
        "                    breaks a rule of the format), 0 otherwise.\n"
        "     --keep-going - Where a structure is damaged, tell it where it is and go\n"
        "                    on with what does not depend on it (text, JSON, JSON\n"
        "                    lines); with --check, 2 when any damage was found.\n"
        " --explain=offset - Print which structure and field hold the byte at\n"
        " --explain offset   offset (0x... or decimal; give several), no report.\n"
        "           --diff - Compare old.nms with new.nms block by block: a text\n"
        "                    like diff -u, or JSON lines with --json-lines (or\n"
        "                    --json), to standard output or -o path, the section\n"
        "                    flags applying to both. Exit status 0 the same,\n"
        "                    1 different, 2 trouble.\n"
        "           --help - Print this help (as -h, /h, -? and /? do); it wins over\n"
        "                    everything but the value of -o, --output or --explain.\n"
        "        --version - Print \"symdeck " SYMDECK_VERSION "\" and exit.\n";
}

void printVersion(std::string& console) { console += "symdeck " SYMDECK_VERSION "\n"; }

}  // namespace symdeck

#include "app/command_line.h"

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

// The eight sections in the order their flags are applied, with their skip flags.
struct FlagSpec {
    std::string_view plus;
    std::string_view minus;
    bool SectionSelection::*skip;
};
constexpr std::array<FlagSpec, 8> kFlags = {{
    {"+nmtp", "-nmtp", &SectionSelection::skipNmtp},
    {"+sttb", "-sttb", &SectionSelection::skipSttb},
    {"+symd", "-symd", &SectionSelection::skipSymd},
    {"+tytb", "-tytb", &SectionSelection::skipTytb},
    {"+hsht", "-hsht", &SectionSelection::skipHsht},
    {"+fpod", "-fpod", &SectionSelection::skipFpod},
    {"+srcp", "-srcp", &SectionSelection::skipSrcp},
    {"+gtyp", "-gtyp", &SectionSelection::skipGtyp},
}};

bool contains(const std::vector<std::string>& args, std::string_view flag) {
    for (size_t i = 1; i < args.size(); ++i)
        if (args[i] == flag) return true;
    return false;
}

constexpr std::string_view kOutputEquals = "--output=";

// Where "-o PATH" or "--output=PATH" names the report: the argument's index in `args` (the
// lowered arguments, from the first on) and the offset of the name inside it. The last one
// given wins. Nothing found: index 0, since the first argument is never an option.
struct OutputOption {
    size_t index = 0;
    size_t at = 0;
    bool missing = false;  // "-o" with nothing behind it, or "--output=" with nothing after
};

OutputOption findOutputOption(const std::vector<std::string>& args) {
    OutputOption option;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 == args.size()) return {0, 0, true};
            option = {i + 1, 0, false};
            ++i;  // the name is no flag, whatever it looks like
        } else if (args[i].starts_with(kOutputEquals)) {
            if (args[i].size() == kOutputEquals.size()) return {0, 0, true};
            option = {i, kOutputEquals.size(), false};
        }
    }
    return option;
}

// The flags never depend on their order: "+nm32" first, then the section + flags in table
// order, and - flags only when no + flag of any kind was given.
SectionSelection selectionFrom(const std::vector<std::string>& args) {
    SectionSelection selection;
    bool plusSeen = false;
    if (contains(args, "+nm32")) {
        for (const auto& flag : kFlags) selection.*flag.skip = true;
        plusSeen = true;
    }
    for (const auto& flag : kFlags) {
        if (!contains(args, flag.plus)) continue;
        if (!plusSeen) {
            for (const auto& other : kFlags) selection.*other.skip = true;
            plusSeen = true;
        }
        selection.*flag.skip = false;
    }
    if (!plusSeen)
        for (const auto& flag : kFlags)
            if (contains(args, flag.minus)) selection.*flag.skip = true;
    return selection;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    std::vector<std::string> lower;  // the arguments from the first on, lower-cased
    for (int i = 1; i < argc; ++i) lower.push_back(lowered(argv[i]));

    if (lower.empty()) return result;
    for (const auto& arg : lower)
        if (isHelpSwitch(arg)) return result;

    result.inputName = argv[1];
    const size_t marker = lower[0].find(".nms");
    if (marker == std::string::npos) {
        result.outcome = Outcome::BadFirstArgument;
        return result;
    }
    const OutputOption option = findOutputOption(lower);
    if (option.missing) {
        result.outcome = Outcome::MissingOutputName;
        return result;
    }
    // The name that "-o" takes is an argument of its own, never a flag or a switch.
    if (option.index != 0 && option.at == 0) lower[option.index].clear();

    result.form = contains(lower, "--json") ? ReportForm::Json : ReportForm::Text;
    result.check = contains(lower, "--check");
    const std::string_view extension = result.form == ReportForm::Json ? ".json" : ".txt";
    if (option.index != 0) {
        result.outputName = std::string(argv[option.index + 1]).substr(option.at);
        result.toStandardOutput = result.outputName == "-";
        if (result.toStandardOutput) result.outputName.clear();
    } else if (lower.size() >= 2 && lower[1].find(extension) != std::string::npos) {
        result.outputName = argv[2];
    } else {
        result.outputName = result.inputName.substr(0, marker) + std::string(extension);
    }

    result.selection = selectionFrom(lower);
    result.outcome = Outcome::Convert;
    return result;
}

void printHelp(std::string& console) {
    console +=
        kTitleLine;
    console +=
        "  COMMAND: symdeck nmsFileName.nms [textFileName.txt] [-sectionName] [+sectionName]\n"
        "  nmsFileName.nms - Name of full path to an nms file.\n"
        "     textFileName - Name or full path to output text file.\n"
        "                    If this parameter is not present the symdeck\n"
        "                    will create nmsFileName.txt\n"
        "                    (in the same directory as nmsFileName.nms).\n"
        "     -sectionName - This flag/s is/are optional.\n"
        "                    flags: -NMTP -> exclude NMTP section\n"
        "                           -STTB -> exclude STTB section\n"
        "                           -SYMD -> exclude SYMD section\n"
        "                           -TYTB -> exclude TYTB section\n"
        "                           -HSHT -> exclude HSHT section\n"
        "                           -FPOD -> exclude FPOD section\n"
        "                           -SRCP -> exclude SRCP section\n"
        "                           -GTYP -> exclude GTYP section\n"
        "     +sectionName - This flag is optional.\n"
        "                    flags: +NM32 -> include ONLY NM32 header\n"
        "                           +NMTP -> include ONLY NMTP section(NM32 header included)\n"
        "                           +STTB -> include ONLY STTB section(NM32 header included)\n"
        "                           +SYMD -> include ONLY SYMD section(NM32 header included)\n"
        "                           +TYTB -> include ONLY TYTB section(NM32 header included)\n"
        "                           +HSHT -> include ONLY HSHT section(NM32 header included)\n"
        "                           +FPOD -> include ONLY FPOD section(NM32 header included)\n"
        "                           +SRCP -> include ONLY SRCP section(NM32 header included)\n"
        "                           +GTYP -> include ONLY GTYP section(NM32 header included)\n"
        "           --json - Write the report as a JSON document: nmsFileName.json,\n"
        "                    or the second argument when it contains \".json\".\n"
        "          -o path - Write the report (either form) to path instead;\n"
        "    --output=path   \"-o -\" writes it to standard output.\n"
        "          --check - Exit with status 2 when the database is damaged\n"
        "                    (the walk stopped at an error line), 0 otherwise.\n"
        "                    Note: You can combine + flags also.\n"
        "                    Note: Flags can be set in any order and case.\n\n";
}

}  // namespace symdeck

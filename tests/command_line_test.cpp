#include <gtest/gtest.h>

#include <cctype>
#include <vector>

#include "frontend/command_line.h"

namespace symdeck {
namespace {

CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "symdeck");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, HelpWinsWhereverItStands) {
    const std::vector<std::vector<const char*>> helps = {
        {},
        {"-h"},
        {"/H"},
        {"file.nms", "-?"},
        {"FILE.NMS", "/H"},
        {"x.nms", "out.txt", "-symd", "/?"},
        {"--help"},
        {"x.nms", "--HELP"},
        {"bad", "-h"},
    };
    for (const auto& args : helps) EXPECT_EQ(parse(args).outcome, Outcome::ShowHelp) << args.size();
    // Near misses are no help switches: first they fail the ".nms" test, later they are
    // passed over.
    EXPECT_EQ(parse({"-hx"}).outcome, Outcome::BadFirstArgument);
    EXPECT_EQ(parse({"-help"}).outcome, Outcome::BadFirstArgument);
    EXPECT_EQ(parse({"x.nms", "-help"}).outcome, Outcome::Convert);
    EXPECT_EQ(parse({"x.nms", "-h "}).outcome, Outcome::Convert);
}

TEST(CommandLine, NamesKeepTheirCase) {
    const struct {
        std::vector<const char*> args;
        const char* input;
        const char* output;
    } cases[] = {
        {{"App.NMS"}, "App.NMS", "App.txt"},
        {{"dir/X.Nms.bak"}, "dir/X.Nms.bak", "dir/X.txt"},
        {{"a.nms/b.nms"}, "a.nms/b.nms", "a.txt"},
        {{"c:\\dbg\\x.nms.bak"}, "c:\\dbg\\x.nms.bak", "c:\\dbg\\x.txt"},
        {{"x.nms", "Report.TXT"}, "x.nms", "Report.TXT"},
        {{"x.nms", "report.log"}, "x.nms", "x.txt"},
        {{"x.nms", "-symd"}, "x.nms", "x.txt"},
        {{"x.nms", "a.txt.b"}, "x.nms", "a.txt.b"},
        {{"x.nms", "y.nms", "z.txt"}, "x.nms", "x.txt"},
        {{".nms"}, ".nms", ".txt"},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.args);
        EXPECT_EQ(line.outcome, Outcome::Convert) << c.input;
        EXPECT_EQ(line.inputName, c.input);
        EXPECT_EQ(line.outputName, c.output) << c.input;
    }
    const std::string longName = std::string(1000, 'D') + ".nms";
    EXPECT_EQ(parse({longName.c_str()}).outputName, std::string(1000, 'D') + ".txt");
}

TEST(CommandLine, FirstArgumentWithoutTheMarker) {
    for (const char* first : {"x.nm", "x.txt", "nms", "x.n ms", ""})
        EXPECT_EQ(parse({first}).outcome, Outcome::BadFirstArgument) << first;
    // The first argument is never a flag.
    EXPECT_EQ(parse({"-symd"}).outcome, Outcome::BadFirstArgument);
}

// The skip flags as a string in the order NMTP STTB SYMD TYTB HSHT FPOD SRCP GTYP.
std::string skips(const SectionSelection& s) {
    std::string r;
    for (bool b : {s.skipNmtp, s.skipSttb, s.skipSymd, s.skipTytb, s.skipHsht, s.skipFpod,
                   s.skipSrcp, s.skipGtyp})
        r += b ? 'S' : '.';
    return r;
}

TEST(CommandLine, SectionFlagDecisionTable) {
    const struct {
        std::vector<const char*> args;
        const char* skip;  // NMTP STTB SYMD TYTB HSHT FPOD SRCP GTYP
    } cases[] = {
        {{"x.nms"}, "........"},
        {{"x.nms", "-symd"}, "..S....."},
        {{"x.nms", "-SYMD"}, "..S....."},
        {{"x.nms", "-nmtp", "-sttb", "-symd", "-tytb", "-hsht", "-fpod", "-srcp", "-gtyp"}, "SSSSSSSS"},
        {{"x.nms", "out.txt", "-symd", "+symd"}, "SS.SSSSS"},
        {{"x.nms", "+sttb", "+symd"}, "S..SSSSS"},
        {{"x.nms", "+symd", "+sttb"}, "S..SSSSS"},
        {{"x.nms", "+nm32"}, "SSSSSSSS"},
        {{"x.nms", "+nm32", "+hsht"}, "SSSS.SSS"},
        {{"x.nms", "+hsht", "+nm32"}, "SSSS.SSS"},
        {{"x.nms", "+NMTP"}, ".SSSSSSS"},
        {{"x.nms", "+nmtp2"}, "........"},
        {{"x.nms", "-fpod", "-fpod"}, ".....S.."},
        {{"x.nms", "+gtyp", "-gtyp"}, "SSSSSSS."},
        {{"x.nms", "-nm32"}, "........"},
        // The second argument is a flag too, even where it could be a name.
        {{"x.nms", "-srcp"}, "......S."},
        {{"x.nms", "+srcp", "report.txt"}, "SSSSSS.S"},
    };
    for (const auto& c : cases) EXPECT_EQ(skips(parse(c.args).selection), c.skip) << c.args.back();
}

TEST(CommandLine, HelpText) {
    std::string text;
    printHelp(text);
    // The converter's own lines, exactly as they always were, in their order and together.
    const std::string original =
        "\n  NMS symbol database to text converter.\n\n"
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
        "                    Note: You can combine + flags also.\n"
        "                    Note: Flags can be set in any order and case.\n\n";
    ASSERT_EQ(text.substr(0, original.size()), original);
    // Then the later switches, under a usage line of their own, each named once.
    const std::string later = text.substr(original.size());
    EXPECT_EQ(later.substr(0, 12), "  OPTIONS: s");
    size_t lines = 0;
    for (char c : later) lines += c == '\n';
    EXPECT_EQ(lines, 35u);
    EXPECT_EQ(later.back(), '\n');
    for (const char* item : {"\n           --json - ", "\n     --json-lines - ", "\n          --table - ", "\n           --html - ", "\n          -o path - ", "\n    --output path   ",
                             "\n    --output=path   ", "\n          --check - ", "\n     --keep-going - ", "\n --explain=offset - ",
                             "\n --explain offset   ", "\n           --diff - ",
                             "\n           symdeck --diff old.nms new.nms ", "\n           --help - ", "\n        --version - "})
        EXPECT_NE(later.find(item), std::string::npos) << item;
    EXPECT_NE(later.find("\"symdeck " SYMDECK_TEST_VERSION "\""), std::string::npos);
}

// Arguments that begin with "--" and are no switch are named for a warning; names, the
// values of options and the switches in any case are not. Every switch the help names is
// known.
TEST(CommandLine, UnknownSwitchesAreNamed) {
    const struct {
        std::vector<const char*> args;
        std::vector<std::string> unknown;
    } cases[] = {
        {{"a.nms", "--chek"}, {"--chek"}},
        {{"a.nms", "--JSON", "--Check", "-gtyp", "+sttb"}, {}},
        {{"a.nms", "--Weird.txt"}, {}},  // the report's name
        {{"a.nms", "-o", "--x", "--output=--y", "--explain", "0x10"}, {}},
        {{"a.nms", "--jsonlines", "-o", "r.txt", "--HTM"}, {"--jsonlines", "--HTM"}},
        {{"--diff", "--a.nms", "--b.nms", "--jsn"}, {"--jsn"}},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"symdeck"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CommandLine line = parseCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(line.outcome, Outcome::Convert) << c.args[1];
        EXPECT_EQ(line.unknownSwitches, c.unknown) << c.args[1];
    }
    std::string help;
    printHelp(help);
    for (size_t at = help.find(" --"); at != std::string::npos; at = help.find(" --", at + 1)) {
        size_t end = at + 3;
        while (end < help.size() && (std::isalpha(static_cast<unsigned char>(help[end])) || help[end] == '-')) ++end;
        const std::string word = help.substr(at + 1, end - at - 1);
        const char* argv[] = {"symdeck", "a.nms", word.c_str(), "1"};
        EXPECT_TRUE(parseCommandLine(4, argv).unknownSwitches.empty()) << word;
    }
}

TEST(CommandLine, VersionAndTheValuesOfOptions) {
    const struct {
        std::vector<const char*> args;
        Outcome outcome;
        const char* output;  // the report's name with Convert
    } cases[] = {
        {{"--version"}, Outcome::ShowVersion, ""},
        {{"x.nms", "--VERSION"}, Outcome::ShowVersion, ""},
        {{"bad", "--version"}, Outcome::ShowVersion, ""},
        {{"x.nms", "-o", "r.txt", "--version", "+symd"}, Outcome::ShowVersion, ""},
        {{"x.nms", "--version", "-h"}, Outcome::ShowHelp, ""},  // help wins
        {{"x.nms", "--versions"}, Outcome::Convert, "x.txt"},
        // The value of -o is a name, whatever it looks like: help and version included.
        {{"x.nms", "-o", "-h"}, Outcome::Convert, "-h"},
        {{"x.nms", "-o", "--HELP"}, Outcome::Convert, "--HELP"},
        {{"x.nms", "--output", "/?"}, Outcome::Convert, "/?"},
        {{"x.nms", "-o", "--version"}, Outcome::Convert, "--version"},
        {{"x.nms", "--output", "Out.TXT"}, Outcome::Convert, "Out.TXT"},
        {{"x.nms", "--OUTPUT", "a", "--output=b"}, Outcome::Convert, "b"},
        // A help switch as the value of --explain is an offset, and a bad one.
        {{"x.nms", "--explain", "-h"}, Outcome::BadExplainOffset, ""},
        {{"x.nms", "-o", "r", "-h"}, Outcome::ShowHelp, ""},
        // The first argument is the database's name, never an option.
        {{"-o", "-h"}, Outcome::ShowHelp, ""},
        {{"x.nms", "--output"}, Outcome::MissingOptionValue, ""},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.args);
        EXPECT_EQ(line.outcome, c.outcome) << c.args.back();
        if (c.outcome == Outcome::Convert) {
            EXPECT_EQ(line.outputName, c.output);
            EXPECT_EQ(line.outputNamed, std::string(c.output) != "x.txt") << c.output;
        }
    }
    std::string version;
    printVersion(version);
    EXPECT_EQ(version, "symdeck " SYMDECK_TEST_VERSION "\n");
}

TEST(CommandLine, FormOutputAndCheckSwitches) {
    const struct {
        std::vector<const char*> args;
        const char* output;  // "-" for standard output
        ReportForm form;
        bool check;
        const char* skip;
    } cases[] = {
        {{"App.NMS", "--json"}, "App.json", ReportForm::Json, false, "........"},
        {{"App.NMS", "--JSON"}, "App.json", ReportForm::Json, false, "........"},
        {{"x.nms", "Out.JSON", "--json"}, "Out.JSON", ReportForm::Json, false, "........"},
        // Each form has its own marker for the second argument.
        {{"x.nms", "out.txt", "--json"}, "x.json", ReportForm::Json, false, "........"},
        {{"x.nms", "out.json"}, "x.txt", ReportForm::Text, false, "........"},
        {{"x.nms", "-o", "Dir/R.log"}, "Dir/R.log", ReportForm::Text, false, "........"},
        {{"x.nms", "-O", "r"}, "r", ReportForm::Text, false, "........"},
        {{"x.nms", "out.txt", "--Output=Elsewhere.TXT"}, "Elsewhere.TXT", ReportForm::Text, false, "........"},
        {{"x.nms", "-o", "a", "-o", "b"}, "b", ReportForm::Text, false, "........"},
        {{"x.nms", "-o", "-"}, "-", ReportForm::Text, false, "........"},
        {{"x.nms", "--output=-", "--json", "+symd"}, "-", ReportForm::Json, false, "SS.SSSSS"},
        // The name after -o is never a flag.
        {{"x.nms", "-o", "-symd"}, "-symd", ReportForm::Text, false, "........"},
        {{"x.nms", "-o", "--json"}, "--json", ReportForm::Text, false, "........"},
        {{"x.nms", "--CHECK", "-symd"}, "x.txt", ReportForm::Text, true, "..S....."},
        {{"x.nms", "--check", "--json", "-o", "-"}, "-", ReportForm::Json, true, "........"},
        {{"x.nms", "--checks", "-json"}, "x.txt", ReportForm::Text, false, "........"},
        // The lines form: NAME.jsonl, its own marker, -o and -o -; it wins over --json.
        {{"App.NMS", "--JSON-LINES"}, "App.jsonl", ReportForm::JsonLines, false, "........"},
        {{"x.nms", "Out.jsonl", "--json-lines"}, "Out.jsonl", ReportForm::JsonLines, false, "........"},
        {{"x.nms", "out.json", "--json-lines"}, "x.jsonl", ReportForm::JsonLines, false, "........"},
        {{"x.nms", "--json", "--json-lines", "-o", "-"}, "-", ReportForm::JsonLines, false, "........"},
        {{"x.nms", "--json-lines", "-o", "r.txt", "--check"}, "r.txt", ReportForm::JsonLines, true, "........"},
        // The page: NAME.html, its own marker, -o and -o -; it wins over the JSON forms.
        {{"App.NMS", "--HTML"}, "App.html", ReportForm::Html, false, "........"},
        {{"x.nms", "View.Html", "--html", "-sttb"}, "View.Html", ReportForm::Html, false, ".S......"},
        {{"x.nms", "out.json", "--html"}, "x.html", ReportForm::Html, false, "........"},
        {{"x.nms", "out.html"}, "x.txt", ReportForm::Text, false, "........"},
        {{"x.nms", "--json", "--html", "--json-lines", "-o", "-"}, "-", ReportForm::Html, false, "........"},
        // The table: NAME.csv, its own marker, -o and -o -; with --json-lines its rows as
        // JSON lines, named as JSON lines are; it wins over the JSON forms, the page over it.
        {{"App.NMS", "--TABLE"}, "App.csv", ReportForm::Table, false, "........"},
        {{"x.nms", "Rows.CSV", "--table", "-symd"}, "Rows.CSV", ReportForm::Table, false, "..S....."},
        {{"x.nms", "out.jsonl", "--table"}, "x.csv", ReportForm::Table, false, "........"},
        {{"x.nms", "out.csv"}, "x.txt", ReportForm::Text, false, "........"},
        {{"x.nms", "--table", "--json-lines"}, "x.jsonl", ReportForm::TableLines, false, "........"},
        {{"x.nms", "r.jsonl", "--json-lines", "--table", "--json"}, "r.jsonl", ReportForm::TableLines, false, "........"},
        {{"x.nms", "--table", "-o", "-", "--check"}, "-", ReportForm::Table, true, "........"},
        {{"x.nms", "--table", "--html"}, "x.html", ReportForm::Html, false, "........"},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.args);
        ASSERT_EQ(line.outcome, Outcome::Convert) << c.output;
        const bool toStdout = std::string(c.output) == "-";
        EXPECT_EQ(line.toStandardOutput, toStdout) << c.output;
        EXPECT_EQ(line.outputName, toStdout ? "" : c.output);
        EXPECT_EQ(line.form, c.form) << c.output;
        EXPECT_EQ(line.check, c.check) << c.output;
        EXPECT_EQ(skips(line.selection), c.skip) << c.output;
    }
    const struct {
        std::vector<const char*> args;
        const char* option;
    } missing[] = {{{"x.nms", "-O"}, "-o"},
                   {{"x.nms", "--Output="}, "--output="},
                   {{"x.nms", "-o", "a", "-o"}, "-o"},
                   {{"x.nms", "--explain=", "-o"}, "--explain="},
                   {{"x.nms", "-o", "r", "--explain"}, "--explain"}};
    for (const auto& c : missing) {
        const CommandLine line = parse(c.args);
        EXPECT_EQ(line.outcome, Outcome::MissingOptionValue) << c.option;
        EXPECT_EQ(line.badValue, c.option);
    }
    EXPECT_EQ(parse({"x.nm", "-o"}).outcome, Outcome::BadFirstArgument);
}

TEST(CommandLine, ExplainOffsets) {
    const CommandLine line = parse({"x.nms", "--explain=0x64B", "--EXPLAIN=1610", "-symd",
                                    "--explain", "0XffffFFFFffffFFFF", "--explain=0"});
    ASSERT_EQ(line.outcome, Outcome::Convert);
    EXPECT_EQ(line.explainOffsets,
              (std::vector<uint64_t>{0x64B, 1610, 0xFFFFFFFFFFFFFFFF, 0}));
    EXPECT_EQ(skips(line.selection), "..S.....");
    for (const char* bad : {"--explain=0x", "--explain=12a", "--explain=-1", "--explain=0x1g",
                            "--explain=18446744073709551616", "--explain=0x10000000000000000",
                            "--explain= 1"}) {
        const CommandLine wrong = parse({"x.nms", "--explain=1", bad});
        EXPECT_EQ(wrong.outcome, Outcome::BadExplainOffset) << bad;
        EXPECT_EQ(wrong.badValue, std::string(bad).substr(10)) << bad;
    }
}

}  // namespace
}  // namespace symdeck

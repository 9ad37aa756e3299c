// The conversion run against real files, each test in a directory of its own under the
// system's temporary directory.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "nmsbuild/sample.h"
#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"
#include "forms/explain_answers.h"
#include "forms/explain_printer.h"
#include "run_support.h"

namespace symdeck::test {
namespace {

TEST_F(RunTest, ConvertsUnderTheDerivedNameKeepingItsCase) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("App.NMS", bytes);
    EXPECT_EQ(run({"App.NMS"}), 0);
    EXPECT_EQ(console_, "");
    EXPECT_EQ(readFile("App.txt"), report(bytes));
    EXPECT_EQ(listing(), (std::vector<std::string>{"App.NMS", "App.txt"}));
    EXPECT_EQ(readFile("App.txt").find('\r'), std::string::npos);
}

TEST_F(RunTest, ExplicitReportNameAndPermissions) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    const mode_t old = ::umask(022);
    EXPECT_EQ(run({"x.nms", "Report.TXT", "+nm32"}), 0);
    ::umask(old);
    EXPECT_EQ(readFile("Report.TXT"), renderToString(NmsImage{bytes.data(), bytes.size()},
                                                      SectionSelection{true, true, true, true, true, true, true, true}));
    struct stat info {};
    ASSERT_EQ(::stat(path("Report.TXT").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(RunTest, LongestReportNameThatTheFileSystemTakes) {
    const auto bytes = nmsbuild::sampleDatabase();
    const std::string name = std::string(251, 'r') + ".txt";  // 255 bytes, the usual maximum
    writeFile("x.nms", bytes);
    EXPECT_EQ(run({"x.nms", name}), 0);
    EXPECT_EQ(readFile(name), report(bytes));
}

TEST_F(RunTest, ExistingReportIsReplaced) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    writeFile("x.txt", std::vector<uint8_t>(100000, 'o'));
    EXPECT_EQ(run({"x.nms"}), 0);
    EXPECT_EQ(readFile("x.txt"), report(bytes));
}

TEST_F(RunTest, DamagedDatabasesStillWriteTheirReportWithStatusZero) {
    writeFile("empty.nms", {});
    EXPECT_EQ(run({"empty.nms"}), 0);
    EXPECT_EQ(readFile("empty.txt"), kBanner + "ERROR in NM32_HEADER -> the data at offset 0x0 runs "
                                               "past the end of the file (size 0x0).\n");
    writeFile("bad.nms", {'M', 'Z', 0x90, 0});
    EXPECT_EQ(run({"bad.nms"}), 0);
    EXPECT_EQ(readFile("bad.txt"), kBanner + "ERROR in NM32_HEADER -> the signature was not correct.\n");
    EXPECT_EQ(console_, "");
}

TEST_F(RunTest, ReportNeverReplacesItsOwnInput) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("self.nms", bytes);
    EXPECT_EQ(run({"self.nms", "self.nms.txt"}), 0);
    EXPECT_EQ(readFile("self.nms.txt"), report(bytes));
    writeFile("in.nms.txt", bytes);
    // The same name, and a second spelling of it: the database is kept, nothing is written.
    for (const std::string report : {"in.nms.txt", "./in.nms.txt"}) {
        EXPECT_EQ(run({"in.nms.txt", report}), 1);
        EXPECT_EQ(console_, kTitle + "  The text file would overwrite the nms file.\n");
        EXPECT_EQ(readFile("in.nms.txt"), std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(listing(), (std::vector<std::string>{"in.nms.txt", "self.nms", "self.nms.txt"}));
    }
}

TEST_F(RunTest, HelpAndBadArguments) {
    std::string help;
    printHelp(help);
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(console_, help);
    EXPECT_EQ(run({"x.nms", "-H"}), 0);
    EXPECT_EQ(console_, help);
    EXPECT_EQ(run({"x.nm"}), 1);
    EXPECT_EQ(console_, kTitle + "  The first argument is not correct.\n");
    EXPECT_TRUE(listing().empty());
}

TEST_F(RunTest, InputFailuresLeaveNoReport) {
    EXPECT_EQ(run({"Missing.NMS"}), 1);
    EXPECT_EQ(console_, kTitle + "  Can't open nms file (" + path("Missing.NMS") + ").\n");
    // A directory is no database.
    fs::create_directory(dir_ / "folder.nms");
    EXPECT_EQ(run({"folder.nms"}), 1);
    EXPECT_EQ(console_, kTitle + "  Can't open nms file (" + path("folder.nms") + ").\n");
    EXPECT_EQ(listing(), (std::vector<std::string>{"folder.nms"}));
}

TEST_F(RunTest, OutputFailuresKeepAnExistingReportAndLeaveNoTemporaryFile) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    fs::create_directory(dir_ / "taken.txt");
    fs::create_directory(dir_ / "dir");
    fs::create_directory_symlink("dir", dir_ / "link");
    // No directory to create it in, or a directory at its name (with or without the slash,
    // through a link, for either form and for the answers of --explain): refused before
    // anything is rendered.
    const std::vector<std::vector<std::string>> cases = {
        {"x.nms", "nowhere/r.txt"},  {"x.nms", "taken.txt"},      {"x.nms", "-o", "dir"},
        {"x.nms", "-o", "dir/"},     {"x.nms", "--output", "link"}, {"x.nms", "--json", "-o", "dir"},
        {"x.nms", "--explain=4", "-o", "dir"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(run(args), 1) << args.back();
        EXPECT_EQ(console_, kTitle + "  Failed crating text file.\n") << args.back();
        EXPECT_FALSE(consoleToError_);
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "dir"));
    EXPECT_TRUE(fs::is_empty(dir_ / "taken.txt"));
    EXPECT_EQ(listing(), (std::vector<std::string>{"dir", "link", "taken.txt", "x.nms"}));
}

TEST_F(RunTest, AWriteThatFailsPartWayLeavesTheOldReport) {
    // A file-size limit below the report's size makes the writes fail part-way, as a full
    // disk would.
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    writeFile("x.txt", {'o', 'l', 'd'});
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = run({"x.nms"});
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(console_, kTitle + "  Failed to save text file.\n");
    EXPECT_EQ(readFile("x.txt"), "old");
    EXPECT_EQ(listing(), (std::vector<std::string>{"x.nms", "x.txt"}));
}

TEST_F(RunTest, CheckStatusAndOptionFailures) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    writeFile("cut.nms", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 700));
    writeFile("bad.nms", {'M', 'Z', 0x90, 0});
    const struct {
        std::vector<std::string> args;
        int status;
        std::string console;
    } cases[] = {
        {{"x.nms", "--check"}, 0, ""},
        {{"cut.nms", "--check"}, 2, ""},
        {{"bad.nms", "--Check", "-symd"}, 2, ""},
        {{"cut.nms"}, 0, ""},
        {{"x.nms", "-o"}, 1, kTitle + "  The option -o needs a value.\n"},
        {{"x.nms", "--OUTPUT="}, 1, kTitle + "  The option --output= needs a value.\n"},
        {{"x.nms", "--explain=0x1G"}, 1, kTitle + "  The offset to explain is not correct (0x1G).\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.status) << c.args[0];
        EXPECT_EQ(console_, c.console) << c.args[0];
    }
    EXPECT_EQ(listing(), (std::vector<std::string>{"bad.nms", "bad.txt", "cut.nms", "cut.txt", "x.nms", "x.txt"}));
    EXPECT_EQ(readFile("cut.txt"), report(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 700)));
}

// --check tells damage also when the walk completes: a field that breaks a rule of the
// format (a table type its place does not allow, a name index at or beyond the count, a
// name past the end of the file). A value the program merely has no word for is no damage.
TEST_F(RunTest, CheckTellsFieldsThatBreakARule) {
    using namespace nmsbuild;
    const auto symbols = [](VlpEntry local, RegisterVariable reg) {
        Database db;
        db.entries.push_back({kSttb, stringTable({.names = {"a"}})});
        db.entries.push_back({kSymd, symbolData({.segments = {{.procedures = {{.locals = {local},
                                                                                .registers = {reg}}}}}})});
        return build(db).bytes;
    };
    Database pastEnd;  // one name whose offset points far past the end
    pastEnd.entries.push_back({kSttb, [](Bytes& out) {
                                   out.raw("STTB");
                                   for (uint32_t v : {0u, 1u, 0u, 0u, 0x7FFFFFF0u}) out.u32(v);
                               }});
    pastEnd.entries.push_back({kTytb, typeTables({.entries = {{0x10, 0}}})});
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        int status;
        uint64_t damaged, unknown;
    } cases[] = {
        {"sound", symbols({}, {}), 0, 0, 0},
        {"a register without a name", symbols({}, {.registerNumber = 200}), 0, 0, 1},
        {"a local variable's table type 5", symbols({.tableType = 5}, {}), 2, 1, 0},
        {"a register's table type 1", symbols({}, {.tableType = 1}), 2, 1, 0},
        {"a name index beyond the count", symbols({.iName = 1}, {.iName = 7}), 2, 2, 0},
        {"a name past the end of the file", build(pastEnd).bytes, 2, 2, 0},
    };
    for (const auto& c : cases) {
        writeFile("x.nms", c.bytes);
        EXPECT_EQ(run({"x.nms", "--check"}), c.status) << c.what;
        // The text report stays what it is without --check.
        EXPECT_EQ(readFile("x.txt"), report(c.bytes)) << c.what;
        EXPECT_EQ(run({"x.nms", "--json-lines", "--check"}), c.status) << c.what;
        EXPECT_EQ(run({"x.nms", "--json", "--check"}), c.status) << c.what;
        const std::string json = readFile("x.json");
        const std::string counts = ",\"damagedFields\":" + std::to_string(c.damaged) +
                                   ",\"unknownValues\":" + std::to_string(c.unknown) + "}}\n";
        EXPECT_EQ(json.substr(json.size() - std::min(json.size(), counts.size())), counts) << c.what;
        EXPECT_EQ(run({"x.nms"}), 0) << c.what;
    }
}

TEST_F(RunTest, ExplainPrintsToStandardOutputAndWritesNoReport) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    writeFile("cut.nms", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 700));
    EXPECT_EQ(run({"x.nms", "--explain=0x10", "--EXPLAIN=4"}), 0);
    EXPECT_EQ(console_,
              "0x10: NM32_HEADER (offset: 0x0)\n"
              "  field creationTime, ULONG at 0x10..0x13, byte 0 of 4, value 0x5F3E2A10\n"
              "0x4: NM32_HEADER (offset: 0x0)\n"
              "  field verMajor, ULONG at 0x4..0x7, byte 0 of 4, value 0x1\n");
    EXPECT_EQ(run({"x.nms", "--json", "--explain=0x9000"}), 0);
    EXPECT_EQ(console_, "[\n{\"offset\":36864,\"hits\":[],\"pastEnd\":{\"fileSize\":2167}}\n]\n");
    EXPECT_EQ(run({"cut.nms", "--explain=0", "--check"}), 2);
    EXPECT_EQ(listing(), (std::vector<std::string>{"cut.nms", "x.nms"}));
}

TEST_F(RunTest, ExplainWithAnOutputNameReplacesThatFileAsAReport) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    writeFile("a.txt", std::vector<uint8_t>(100000, 'o'));
    EXPECT_EQ(run({"x.nms", "--explain=0x4", "-o", "a.txt", "--json"}), 0);
    EXPECT_EQ(console_, "");
    EXPECT_EQ(readFile("a.txt"),
              explainImage(NmsImage{bytes.data(), bytes.size()}, {}, std::vector<uint64_t>{4}, true).text);
    // The database's own name is refused; nothing is written.
    EXPECT_EQ(run({"x.nms", "--explain=0x4", "--output", "x.nms"}), 1);
    EXPECT_EQ(console_, kTitle + "  The text file would overwrite the nms file.\n");
    EXPECT_EQ(readFile("x.nms"), std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(listing(), (std::vector<std::string>{"a.txt", "x.nms"}));
}

TEST_F(RunTest, TheDatabasesNameInTheJsonFormIsTheCommandLinesText) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("Donn\xC3\xA9""es.nms", bytes);
    EXPECT_EQ(run({"Donn\xC3\xA9""es.nms", "--json"}), 0);
    const std::string head = "{\"format\":\"symdeck-report\",\"version\":2,\"database\":{\"name\":\"" +
                             path("Donn\xC3\xA9""es.nms") + "\",";
    EXPECT_EQ(readFile("Donn\xC3\xA9""es.json").substr(0, head.size()), head);
}

}  // namespace
}  // namespace symdeck::test

// The Windows platform layer against real files, handles and pipes, each test in a
// directory of its own under the system's temporary directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "entry/render.h"
#include "frontend/platform.h"
#include "frontend/run.h"
#include "nmsbuild/sample.h"

namespace symdeck::test {
namespace {

namespace fs = std::filesystem;
using namespace symdeck::platform;

std::string utf8(const std::wstring& wide) {
    const std::u8string text = fs::path(wide).u8string();
    return std::string(text.begin(), text.end());
}

// Visits everything below `directory`, children before their directory. The wide API
// directly: the C++ library's directory walk stops at 260 characters.
template <typename Visit>
void walk(const std::wstring& directory, Visit visit) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDirectory) walk(directory + L"\\" + name, visit);
        visit(directory + L"\\" + name, isDirectory);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

void removeTree(const std::wstring& directory) {
    walk(directory, [](const std::wstring& name, bool isDirectory) {
        ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (isDirectory) ::RemoveDirectoryW(name.c_str());
        else ::DeleteFileW(name.c_str());
    });
    ::RemoveDirectoryW(directory.c_str());
}

class PlatformWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t base[MAX_PATH + 1];
        ASSERT_NE(::GetTempPathW(MAX_PATH + 1, base), 0u);
        dir_ = std::wstring(L"\\\\?\\") + base + L"symdeck-win-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               fs::path(::testing::UnitTest::GetInstance()->current_test_info()->name()).wstring();
        removeTree(dir_);
        ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
    }
    void TearDown() override { removeTree(dir_); }

    // A name inside the test's directory, "\\?\"-prefixed, and the same in UTF-8.
    std::wstring path(const std::wstring& name) const { return dir_ + L"\\" + name; }
    std::string name8(const std::wstring& name) const { return utf8(path(name)); }

    void writeFile(const std::wstring& name, const std::string& bytes) const {
        const HANDLE f = ::CreateFileW(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        ASSERT_TRUE(::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
        ::CloseHandle(f);
    }
    std::string readFile(const std::wstring& name) const {
        const HANDLE f = ::CreateFileW(path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) return "<missing>";
        std::string bytes(1 << 20, '\0');
        DWORD done = 0;
        ::ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
        ::CloseHandle(f);
        bytes.resize(done);
        return bytes;
    }
    // Every file under the directory (relative names), so a test sees what was left behind.
    std::vector<std::wstring> listing() const {
        std::vector<std::wstring> names;
        walk(dir_, [&](const std::wstring& file, bool directory) {
            if (!directory) names.push_back(file.substr(dir_.size() + 1));
        });
        std::sort(names.begin(), names.end());
        return names;
    }
    // Makes the directories of a relative name.
    void makeDirectories(const std::wstring& name) const {
        for (size_t at = 0; at != std::wstring::npos;) {
            at = name.find(L'\\', at + 1);
            ::CreateDirectoryW(path(name.substr(0, at)).c_str(), nullptr);
        }
    }

    // Creates, writes and commits a report; the create status, and "committed" or "refused".
    std::string saveReport(const std::string& reportName, const FileId& input, const std::string& text) {
        PendingReport report;
        const CreateStatus created = createReport(reportName, input, report);
        if (created == CreateStatus::SameFileAsInput) return "same file";
        if (created == CreateStatus::Failed) return "create failed";
        if (!writeReport(report, text.data(), text.size())) {
            discardReport(report);
            return "write failed";
        }
        return commitReport(report) ? "committed" : "commit failed";
    }

    std::wstring dir_;
};

TEST_F(PlatformWindowsTest, RelativeAndSlashedNamesMeanWhatTheyMeanToTheSystem) {
    writeFile(L"x.nms", "db");
    wchar_t old[MAX_PATH + 1];
    ::GetCurrentDirectoryW(MAX_PATH + 1, old);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir_.c_str()));
    InputFile input;
    const ReadStatus relative = readWholeFile("x.nms", input);
    // The system takes "sub\.." away before it looks for "sub", as for any plain name.
    const std::string saved = saveReport("./sub/../r.txt", {}, "text");
    ::SetCurrentDirectoryW(old);
    EXPECT_EQ(relative, ReadStatus::Ok);
    EXPECT_EQ(saved, "committed");
    EXPECT_EQ(readFile(L"r.txt"), "text");
    EXPECT_EQ(saveReport(utf8(dir_.substr(4)) + "/r.txt", {}, "again"), "committed");  // no "\\?\"
    EXPECT_EQ(readFile(L"r.txt"), "again");
    EXPECT_EQ(listing(), (std::vector<std::wstring>{L"r.txt", L"x.nms"}));
}

TEST_F(PlatformWindowsTest, OnlyARegularFileIsADatabaseAndOpeningNeverWaits) {
    makeDirectories(L"folder.nms");
    // A pipe whose server never connects: a client's open must not wait for it.
    const std::wstring pipe = L"\\\\.\\pipe\\symdeck-test-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE server = ::CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096, 4096, 0,
                                             nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string names[] = {name8(L"missing.nms"), name8(L"folder.nms"), "NUL", "\\\\.\\NUL", utf8(pipe)};
    for (const std::string& name : names) {
        InputFile input;
        EXPECT_EQ(readWholeFile(name, input), ReadStatus::CannotOpen) << name;
    }
    ::CloseHandle(server);
}

TEST_F(PlatformWindowsTest, AReportIsNeverWrittenOverItsOwnDatabase) {
    writeFile(L"db.nms.txt", "database");
    ASSERT_TRUE(::CreateHardLinkW(path(L"second.txt").c_str(), path(L"db.nms.txt").c_str(), nullptr));
    writeFile(L"other.txt", "other");
    InputFile input;
    ASSERT_EQ(readWholeFile(name8(L"db.nms.txt"), input), ReadStatus::Ok);
    ASSERT_TRUE(input.id.known);
    struct Case {
        std::string reportName;
        std::string outcome;
    } cases[] = {
        {name8(L"db.nms.txt"), "same file"},
        {name8(L"DB.NMS.TXT"), "same file"},  // names are matched without regard to case
        {utf8(dir_.substr(4)) + "\\.\\db.nms.txt", "same file"},
        {name8(L"second.txt"), "same file"},  // a hard link
        {name8(L"other.txt"), "committed"},
    };
    for (const Case& c : cases) EXPECT_EQ(saveReport(c.reportName, input.id, "report"), c.outcome) << c.reportName;
    EXPECT_EQ(readFile(L"db.nms.txt"), "database");
    EXPECT_EQ(readFile(L"other.txt"), "report");
    EXPECT_EQ(listing(), (std::vector<std::wstring>{L"db.nms.txt", L"other.txt", L"second.txt"}));
}

TEST_F(PlatformWindowsTest, AReportThatCannotBeReplacedStaysAsItWas) {
    // A viewer holds the old report open, sharing it for reading only.
    writeFile(L"viewed.txt", "old");
    const HANDLE viewer = ::CreateFileW(path(L"viewed.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(saveReport(name8(L"viewed.txt"), {}, "new"), "commit failed");
    ::CloseHandle(viewer);
    EXPECT_EQ(readFile(L"viewed.txt"), "old");
    // A read-only report cannot be created over.
    writeFile(L"locked.txt", "old");
    ASSERT_TRUE(::SetFileAttributesW(path(L"locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(saveReport(name8(L"locked.txt"), {}, "new"), "create failed");
    ::SetFileAttributesW(path(L"locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readFile(L"locked.txt"), "old");
    // A directory in the report's place, or a name that ends in a separator: refused before
    // anything is written.
    makeDirectories(L"taken.txt");
    EXPECT_EQ(saveReport(name8(L"taken.txt"), {}, "new"), "create failed");
    EXPECT_EQ(saveReport(name8(L"taken.txt") + "\\", {}, "new"), "create failed");
    EXPECT_EQ(saveReport(name8(L"free.txt") + "/", {}, "new"), "create failed");
    // No directory for it at all.
    EXPECT_EQ(saveReport(name8(L"nowhere\\r.txt"), {}, "new"), "create failed");
    // Discarded on the way.
    PendingReport report;
    ASSERT_EQ(createReport(name8(L"viewed.txt"), {}, report), CreateStatus::Ok);
    EXPECT_TRUE(writeReport(report, "partial", 7));
    discardReport(report);
    discardReport(report);  // safe twice
    EXPECT_EQ(readFile(L"viewed.txt"), "old");
    EXPECT_EQ(listing(), (std::vector<std::wstring>{L"locked.txt", L"viewed.txt"}));
}

TEST_F(PlatformWindowsTest, AHiddenReportStaysHidden) {
    writeFile(L"hidden.txt", "old");
    ASSERT_TRUE(::SetFileAttributesW(path(L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(saveReport(name8(L"hidden.txt"), {}, "new"), "committed");
    EXPECT_EQ(readFile(L"hidden.txt"), "new");
    EXPECT_NE(::GetFileAttributesW(path(L"hidden.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(saveReport(name8(L"plain.txt"), {}, "new"), "committed");
    EXPECT_EQ(::GetFileAttributesW(path(L"plain.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

// The whole run, as symdeck.exe makes it, on names that only the wide API can open: the
// same report as anywhere, the same messages.
TEST_F(PlatformWindowsTest, TheRunTakesWideAndLongNamesAndGivesTheSameMessages) {
    const auto bytes = nmsbuild::sampleDatabase();
    const std::string report = renderToString(NmsImage{bytes.data(), bytes.size()});
    const std::string title = "\n  NMS symbol database to text converter.\n\n";
    const std::wstring deep = std::wstring(150, L'd') + L"\\" + std::wstring(100, L'\u00e9');
    makeDirectories(L"Donn\u00e9es");
    makeDirectories(deep);
    writeFile(L"Donn\u00e9es\\App.NMS", std::string(bytes.begin(), bytes.end()));
    writeFile(deep + L"\\x.nms", std::string(bytes.begin(), bytes.end()));
    writeFile(L"Donn\u00e9es\\viewed.txt", "old");
    const HANDLE viewer = ::CreateFileW(path(L"Donn\u00e9es\\viewed.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    const std::string folder = utf8(dir_.substr(4) + L"\\Donn\u00e9es\\");  // as a user types it
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string console;
    } cases[] = {
        {{folder + "App.NMS"}, 0, ""},
        {{utf8(path(deep + L"\\x.nms"))}, 0, ""},
        {{folder + "App.NMS", folder + "APP.nms.TXT"}, 0, ""},
        {{folder + "App.NMS", "-o", "NUL"}, 0, ""},  // a device is written into, not replaced
        {{folder + "app.nms.txt", folder + "App.NMS.txt"}, 1, title + "  The text file would overwrite the nms file.\n"},
        {{folder + "App.NMS", folder + "viewed.txt"}, 1, title + "  Failed to save text file.\n"},
        {{folder + "Missing.NMS"}, 1, title + "  Can't open nms file (" + folder + "Missing.NMS).\n"},
        {{folder + "App.NMS", "-o", folder}, 1, title + "  Failed crating text file.\n"},  // a directory
        {{folder + "App.NMS", "--output", folder.substr(0, folder.size() - 1)}, 1,
         title + "  Failed crating text file.\n"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"symdeck"};
        for (const std::string& a : c.arguments) argv.push_back(a.c_str());
        Console console;
        EXPECT_EQ(runConversion(static_cast<int>(argv.size()), argv.data(), console), c.status) << c.arguments[0];
        EXPECT_EQ(console.text, c.console) << c.arguments[0];
        EXPECT_FALSE(console.toStandardError);
    }
    ::CloseHandle(viewer);
    EXPECT_EQ(readFile(L"Donn\u00e9es\\App.txt"), report);
    EXPECT_EQ(readFile(deep + L"\\x.txt"), report);
    EXPECT_EQ(readFile(L"Donn\u00e9es\\App.nms.txt"), report);  // "APP.nms.TXT" names the same file
    EXPECT_EQ(readFile(L"Donn\u00e9es\\viewed.txt"), "old");
    EXPECT_EQ(listing().size(), 6u);  // no temporary left
}

// What symdeck.exe wrote to standard output, and its exit status.
struct Ended {
    DWORD status = 0;
    std::string out;
};

// Runs symdeck.exe (beside the tests' directory) with a UTF-16 command line, standard
// output to a pipe.
Ended runProgram(const std::vector<std::wstring>& arguments) {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring program = self.substr(0, self.rfind(L'\\')) + L"\\..\\symdeck.exe";
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& a : arguments) line += L" \"" + a + L"\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    Ended e;
    if (!::CreatePipe(&read, &write, &inherit, 0)) return e;
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION child{};
    const bool started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                          &startup, &child);
    ::CloseHandle(write);
    if (!started) {
        ::CloseHandle(read);
        e.status = 0xDEAD;
        return e;
    }
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) e.out.append(buffer, got);
    ::WaitForSingleObject(child.hProcess, INFINITE);
    ::GetExitCodeProcess(child.hProcess, &e.status);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(child.hThread);
    ::CloseHandle(read);
    return e;
}

// symdeck.exe itself: the UTF-16 command line reaches the run as UTF-8, and a name comes
// back in a message as it was typed.
TEST_F(PlatformWindowsTest, TheProgramTakesItsCommandLineInUtf16) {
    const auto bytes = nmsbuild::sampleDatabase();
    makeDirectories(L"Donn\u00e9es");
    writeFile(L"Donn\u00e9es\\\u00c7a \u03b1.NMS", std::string(bytes.begin(), bytes.end()));
    const std::wstring folder = dir_.substr(4) + L"\\Donn\u00e9es\\";
    const Ended converted = runProgram({folder + L"\u00c7a \u03b1.NMS", L"+NM32"});
    EXPECT_EQ(converted.status, 0u);
    EXPECT_EQ(converted.out, "");
    EXPECT_EQ(readFile(L"Donn\u00e9es\\\u00c7a \u03b1.txt"),
              renderToString(NmsImage{bytes.data(), bytes.size()},
                             SectionSelection{true, true, true, true, true, true, true, true}));
    // The message, then on standard error (joined here) the system's reason in its own
    // words, which differ between Windows and Wine.
    const Ended missing = runProgram({folder + L"\u00c9t\u00e9.nms"});
    EXPECT_EQ(missing.status, 1u);
    const std::string name = utf8(folder) + "\xc3\x89t\xc3\xa9.nms";
    const std::string message = "\n  NMS symbol database to text converter.\n\n  Can't open nms file (" + name + ").\n";
    const std::string reason = "symdeck: " + name + ": ";
    ASSERT_EQ(missing.out.substr(0, message.size()), message);
    const std::string rest = missing.out.substr(message.size());
    EXPECT_EQ(rest.substr(0, reason.size()), reason);
    EXPECT_GT(rest.size(), reason.size() + 1) << rest;
    EXPECT_EQ(rest.back(), '\n');
    EXPECT_EQ(rest.find('\n'), rest.size() - 1) << rest;
}

// Standard output redirected to a pipe (as `symdeck ... | more` would have it), or closed.
class StandardOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        ASSERT_TRUE(::CreatePipe(&read_, &write_, nullptr, 1 << 20));
        ::SetStdHandle(STD_OUTPUT_HANDLE, write_);
    }
    void TearDown() override {
        ::SetStdHandle(STD_OUTPUT_HANDLE, saved_);
        ::CloseHandle(read_);
        if (write_ != nullptr) ::CloseHandle(write_);
    }
    std::string drain() {
        ::CloseHandle(write_);
        write_ = nullptr;
        std::string bytes(1 << 16, '\0');
        DWORD got = 0;
        ::ReadFile(read_, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        bytes.resize(got);
        return bytes;
    }
    HANDLE saved_ = nullptr;
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
};

TEST_F(StandardOutputTest, BytesGoOutAsTheyAreWithLineFeedsOnly) {
    std::string reason;
    EXPECT_TRUE(writeStandardOutput("\n  Donn\xc3\xa9" "es\n", reason));
    PendingReport report;
    useStream(Stream::Output, report);
    EXPECT_FALSE(isTerminal(report));  // a pipe is no console
    EXPECT_FALSE(standardOutputIsTerminal());
    EXPECT_TRUE(writeReport(report, "a\nb\n", 4));
    EXPECT_TRUE(commitReport(report));
    EXPECT_EQ(drain(), "\n  Donn\xc3\xa9" "es\na\nb\n");
}

// Standard output open on the database itself: the run writes nothing into it, and its
// message goes to standard error. (The database cannot even be opened: its open for
// reading shares it for reading only, and standard output holds it for writing.)
TEST_F(StandardOutputTest, TheDatabaseAsStandardOutputIsNeverWrittenInto) {
    const auto bytes = nmsbuild::sampleDatabase();
    wchar_t base[MAX_PATH + 1];
    ASSERT_NE(::GetTempPathW(MAX_PATH + 1, base), 0u);
    const std::wstring name = std::wstring(base) + L"symdeck-stdout-" + std::to_wstring(::GetCurrentProcessId()) + L".nms";
    const HANDLE database = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(database, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(::WriteFile(database, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
    ::SetFilePointer(database, 0, nullptr, FILE_BEGIN);
    ::SetStdHandle(STD_OUTPUT_HANDLE, database);
    const std::string name8 = utf8(name);
    EXPECT_TRUE(sameFile(idOfStream(Stream::Output), idOfFile(name8)));
    EXPECT_FALSE(sameFile(idOfStream(Stream::Error), idOfFile(name8)));
    for (const char* option : {"--output=-", "--explain=4"}) {
        const std::vector<const char*> argv = {"symdeck", name8.c_str(), option};
        Console console;
        EXPECT_EQ(runConversion(static_cast<int>(argv.size()), argv.data(), console), 1);
        EXPECT_TRUE(console.toStandardError);
        EXPECT_NE(console.text.find(name8), std::string::npos) << console.text;
    }
    ::SetStdHandle(STD_OUTPUT_HANDLE, write_);
    ::CloseHandle(database);
    const HANDLE f = ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string kept(bytes.size() + 1, '\0');
    ::ReadFile(f, kept.data(), static_cast<DWORD>(kept.size()), &done, nullptr);
    ::CloseHandle(f);
    ::DeleteFileW(name.c_str());
    kept.resize(done);
    EXPECT_EQ(kept, std::string(bytes.begin(), bytes.end()));
}

TEST_F(StandardOutputTest, AClosedStandardOutputIsAFailureWithAReason) {
    ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    std::string reason;
    EXPECT_FALSE(writeStandardOutput("help\n", reason));
    EXPECT_FALSE(reason.empty());
    // A pipe whose reader has gone.
    ::SetStdHandle(STD_OUTPUT_HANDLE, write_);
    ::CloseHandle(read_);
    read_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);  // something for TearDown to close
    reason.clear();
    EXPECT_FALSE(writeStandardOutput("help\n", reason));
    EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace symdeck::test

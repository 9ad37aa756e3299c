// Faults of the conversion run, provoked for real on a POSIX system: signals sent to the
// program in the middle of a conversion, a FIFO or a device as the database, a file-size
// limit, links and modes at the report's name, a path as long as the system takes, a full,
// closed or broken standard output, names of open streams and redirections made by a real
// shell, and a pseudo-terminal as standard output.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <fcntl.h>
#include <termios.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

#include "entry/render.h"
#include "forms/explain_answers.h"
#include "nmsbuild/large.h"
#include "nmsbuild/sample.h"
#include "nmsbuild/types_build.h"
#include "run_support.h"

namespace symdeck::test {
namespace {

// Where the program's standard output goes. Terminal: the slave of a new pseudo-terminal in
// raw mode (so that its line feeds stay line feeds), read through its master.
enum class Out { Pipe, Full, Closed, BrokenPipe, Terminal };

struct Ended {
    int status = -1;  // the exit status, or -1 when a signal ended it
    int signal = 0;
    std::string out;
    std::string err;
};

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return text;
}

// A new pseudo-terminal in raw mode (its line feeds stay line feeds): [0] its master,
// [1] its slave, whose name goes to `name`.
bool openRawTerminal(int (&ends)[2], std::string& name) {
    ends[1] = -1;
    ends[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ends[0] < 0 || ::grantpt(ends[0]) != 0 || ::unlockpt(ends[0]) != 0) return false;
    name = ::ptsname(ends[0]);
    ends[1] = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode {};
    if (ends[1] < 0 || ::tcgetattr(ends[1], &mode) != 0) return false;
    ::cfmakeraw(&mode);
    return ::tcsetattr(ends[1], TCSANOW, &mode) == 0;
}

// The real program, started with the shell's default signal actions and a watchdog alarm,
// so that a child that blocks ends with SIGALRM instead of hanging the suite.
class Program {
public:
    // `program` is the real symdeck unless given (a shell, to redirect for it).
    // `nobody`: the program runs as the user nobody where the suite runs as root, so that
    // a file without read rights is one it cannot read.
    Program(const std::vector<std::string>& args, Out out = Out::Pipe, rlim_t fileLimit = RLIM_INFINITY,
            const char* program = SYMDECK_BINARY, bool nobody = false) {
        std::vector<const char*> argv = {program};
        for (const auto& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        int outPipe[2], errPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) return;
        if (out == Out::BrokenPipe) ::close(outPipe[0]);  // no reader left, before the child runs
        if (out == Out::Terminal && !openTerminal(outPipe)) return;
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) ::signal(s, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const rlimit limit{fileLimit, fileLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (nobody && ::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(126);
            ::dup2(errPipe[1], 2);
            if (out == Out::Closed) ::close(1);
            else ::dup2(out == Out::Full ? full : outPipe[1], 1);
            ::alarm(60);
            ::execv(argv[0], const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        ::close(full);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        out_ = out == Out::BrokenPipe ? -1 : outPipe[0];
        err_ = errPipe[0];
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // A child that a failed assertion left behind is not left running.
    ~Program() {
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (const int fd : {out_, err_})
            if (fd >= 0) ::close(fd);
    }
    pid_t pid() const { return pid_; }
    // Not ended yet (an ended child is left to wait() to collect).
    bool running() const {
        siginfo_t info {};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }
    Ended wait() {
        Ended e;
        if (out_ >= 0) e.out = drain(std::exchange(out_, -1));
        e.err = drain(std::exchange(err_, -1));
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        pid_ = -1;
        if (WIFEXITED(raw)) e.status = WEXITSTATUS(raw);
        else e.signal = WTERMSIG(raw);
        return e;
    }

private:
    // A pseudo-terminal in place of the output pipe.
    bool openTerminal(int (&ends)[2]) {
        ::close(ends[0]);
        ::close(ends[1]);
        return openRawTerminal(ends, terminal_);
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string terminal_;
};

// The text of `text` with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Single quotes for the shell.
std::string quoted(const std::string& text) { return "'" + replaced(text, "'", "'\\''") + "'"; }

class RunFaultsTest : public RunTest {};

// A 64 MiB database converts for long enough (a report of about 600 MB) that a signal sent
// once the temporary holds its first MiB finds the program in the middle of writing.
const std::vector<uint8_t>& largeDatabase() {
    static const std::vector<uint8_t> bytes = nmsbuild::largeDatabase(uint64_t{64} << 20, 1);
    return bytes;
}

struct SignalCase {
    int signal;
    bool toWritingThread;  // else to the process, which the system hands to any thread
};

TEST_F(RunFaultsTest, AnInterruptedConversionLeavesTheOldReportAndNoTemporary) {
    writeFile("big.nms", largeDatabase());
    for (const SignalCase c : {SignalCase{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGTERM, true}}) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.toWritingThread ? " to the writing thread" : ""));
        writeFile("big.txt", {'o', 'l', 'd'});
        Program program({path("big.nms")});
        const std::string temp = path(".symdeck-" + std::to_string(program.pid()) + "-0.tmp");
        struct stat info {};
        while (program.running() && !(::stat(temp.c_str(), &info) == 0 && info.st_size >= (1 << 20))) {
        }
        ASSERT_TRUE(program.running()) << "the conversion ended before it could be interrupted";
        // Only the writing thread writes the temporary, so it is running: the one task
        // that is not the main thread.
        const std::string pid = std::to_string(program.pid());
        pid_t writer = 0;
        for (const auto& task : fs::directory_iterator("/proc/" + pid + "/task"))
            if (task.path().filename() != pid) writer = std::stoi(task.path().filename());
        ASSERT_EQ(c.toWritingThread ? ::syscall(SYS_tgkill, program.pid(), writer, c.signal)
                                    : ::kill(program.pid(), c.signal),
                  0);
        const Ended e = program.wait();
        EXPECT_EQ(e.signal, c.signal);
        EXPECT_EQ(e.out + e.err, "");
        EXPECT_EQ(readFile("big.txt"), "old");
        EXPECT_EQ(listing(), (std::vector<std::string>{"big.nms", "big.txt"}));
    }
}

TEST_F(RunFaultsTest, AFileSizeLimitFailsTheWriteInsteadOfKilling) {
    writeFile("x.nms", nmsbuild::sampleDatabase());
    writeFile("x.txt", {'o', 'l', 'd'});
    const Ended e = Program({path("x.nms")}, Out::Pipe, 4096).wait();
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out, kTitle + "  Failed to save text file.\n");
    EXPECT_EQ(readFile("x.txt"), "old");
    EXPECT_EQ(listing(), (std::vector<std::string>{"x.nms", "x.txt"}));
}

// A failure keeps its message where it always was, and the system's reason follows on
// standard error; a misspelt switch is warned of; --check sums up each database there.
TEST_F(RunFaultsTest, FailuresSayWhyAndCheckSumsUpOnStandardError) {
    const std::vector<uint8_t> sample = nmsbuild::sampleDatabase();
    writeFile("x.nms", sample);
    writeFile("cut.nms", std::vector<uint8_t>(sample.begin(), sample.begin() + 1500));
    writeFile("secret.nms", sample);
    fs::permissions(dir_ / "secret.nms", fs::perms::none);
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    fs::create_directory(dir_ / "folder.nms");
    const auto reason = [&](const std::string& name, int code) {
        return "symdeck: " + name + ": " + std::strerror(code) + "\n";
    };
    const struct {
        std::vector<std::string> args;
        bool nobody;
        int status;
        std::string out;  // standard output: the message, as it always was
        std::string err;
    } cases[] = {
        {{path("missing.nms")}, false, 1, kTitle + "  Can't open nms file (" + path("missing.nms") + ").\n",
         reason(path("missing.nms"), ENOENT)},
        {{path("folder.nms")}, false, 1, kTitle + "  Can't open nms file (" + path("folder.nms") + ").\n",
         reason(path("folder.nms"), EISDIR)},
        {{path("secret.nms"), "-o", "/dev/null"}, true, 1,
         kTitle + "  Can't open nms file (" + path("secret.nms") + ").\n", reason(path("secret.nms"), EACCES)},
        {{path("x.nms"), "-o", "/dev/full"}, false, 1, kTitle + "  Failed to save text file.\n",
         reason("/dev/full", ENOSPC)},
        {{path("x.nms"), "-o", path("folder.nms")}, false, 1, kTitle + "  Failed crating text file.\n",
         reason(path("folder.nms"), EISDIR)},
        {{"--diff", path("x.nms"), path("missing.nms")}, false, 2, "",
         kTitle + "  Can't open nms file (" + path("missing.nms") + ").\n" + reason(path("missing.nms"), ENOENT)},
        {{path("x.nms"), "--chek", "-o", "/dev/null"}, false, 0, "",
         "symdeck: warning: --chek is no switch of symdeck; passed over\n"},
        {{path("x.nms"), "--check", "--JSON", "-o", "/dev/null"}, false, 0, "",
         "symdeck: " + path("x.nms") + ": 0 damaged fields, 0 unknown values; complete\n"},
        {{path("cut.nms"), "--check", "-o", "/dev/null"}, false, 2, "",
         "symdeck: " + path("cut.nms") + ": 0 damaged fields, 0 unknown values; stopped: ERROR in HSHT_HEADER -> "
         "the data at offset 0x5D9 runs past the end of the file (size 0x5DC).\n"},
        // Going on past damage: the walk completes, and the line counts what it went past.
        {{path("cut.nms"), "--check", "--keep-going", "-o", "/dev/null"}, false, 2, "",
         "symdeck: " + path("cut.nms") + ": 0 damaged fields, 0 unknown values; complete; 4 damages\n"},
        {{path("x.nms"), "--check", "--keep-going", "--json", "-o", "/dev/null"}, false, 0, "",
         "symdeck: " + path("x.nms") + ": 0 damaged fields, 0 unknown values; complete; 0 damages\n"},
    };
    for (const auto& c : cases) {
        const Ended e = Program(c.args, Out::Pipe, RLIM_INFINITY, SYMDECK_BINARY, c.nobody).wait();
        EXPECT_EQ(e.status, c.status) << c.args[0];
        EXPECT_EQ(e.out, c.out) << c.args[0];
        EXPECT_EQ(e.err, c.err) << c.args[0];
    }
    fs::permissions(dir_, fs::perms::owner_all);
}

TEST_F(RunFaultsTest, AFifoOrADeviceIsNoDatabaseAndNeverBlocks) {
    ASSERT_EQ(::mkfifo(path("fifo.nms").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir_ / "zero.nms");
    for (const std::string name : {"fifo.nms", "zero.nms"}) {
        const Ended e = Program({path(name)}).wait();
        EXPECT_EQ(e.status, 1) << name << " ended by signal " << e.signal;
        EXPECT_EQ(e.out, kTitle + "  Can't open nms file (" + path(name) + ").\n");
    }
    EXPECT_EQ(listing(), (std::vector<std::string>{"fifo.nms", "zero.nms"}));
}

TEST_F(RunFaultsTest, StandardOutputThatCannotBeWrittenIsAFailure) {
    writeFile("x.nms", nmsbuild::sampleDatabase());
    const std::string full = "symdeck: write error: " + std::string(std::strerror(ENOSPC)) + "\n";
    const std::string closed = "symdeck: write error: " + std::string(std::strerror(EBADF)) + "\n";
    const struct {
        std::vector<std::string> args;
        Out out;
        Ended expected;
    } cases[] = {
        {{"--help"}, Out::Full, {1, 0, "", full}},
        {{"--help"}, Out::Closed, {1, 0, "", closed}},
        {{"x.nm"}, Out::Full, {1, 0, "", full}},
        {{"--help"}, Out::BrokenPipe, {-1, SIGPIPE, "", ""}},
        {{path("x.nms")}, Out::Closed, {0, 0, "", ""}},  // nothing to say: a report written
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " to output " + std::to_string(static_cast<int>(c.out)));
        const Ended e = Program(c.args, c.out).wait();
        EXPECT_EQ(e.status, c.expected.status);
        EXPECT_EQ(e.signal, c.expected.signal);
        EXPECT_EQ(e.err, c.expected.err);
    }
    EXPECT_EQ(readFile("x.txt"), report(nmsbuild::sampleDatabase()));
}

TEST_F(RunFaultsTest, AReportToStandardOutputIsStreamedAndLeavesNoFile) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    writeFile("cut.nms", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 700));
    const std::string damaged = report(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 700));
    // --check's summary goes to standard error, after the report.
    const std::string complete = "symdeck: " + path("x.nms") + ": 0 damaged fields, 0 unknown values; complete\n";
    const std::string stopped = "symdeck: " + path("cut.nms") +
                                ": 0 damaged fields, 0 unknown values; stopped: ERROR in NMDR_HEADER -> the data at "
                                "offset 0x2A0 runs past the end of the file (size 0x2BC).\n";
    const struct {
        std::vector<std::string> args;
        Out out;
        Ended expected;
    } cases[] = {
        {{path("x.nms"), "-o", "-"}, Out::Pipe, {0, 0, report(bytes), ""}},
        {{path("x.nms"), "--output=-", "--check"}, Out::Pipe, {0, 0, report(bytes), complete}},
        {{path("cut.nms"), "-O", "-", "--CHECK"}, Out::Pipe, {2, 0, damaged, stopped}},
        {{path("cut.nms"), "-o", "-"}, Out::Pipe, {0, 0, damaged, ""}},
        // The report owns standard output: the failure message goes to standard error, the
        // system's reason after it.
        {{path("x.nms"), "-o", "-"}, Out::Full,
         {1, 0, "", kTitle + "  Failed to save text file.\nsymdeck: standard output: " + std::strerror(ENOSPC) + "\n"}},
        {{path("x.nms"), "-o", "-"}, Out::BrokenPipe, {-1, SIGPIPE, "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " to output " + std::to_string(static_cast<int>(c.out)));
        const Ended e = Program(c.args, c.out).wait();
        EXPECT_EQ(e.status, c.expected.status);
        EXPECT_EQ(e.signal, c.expected.signal);
        EXPECT_TRUE(e.out == c.expected.out) << "standard output differs";
        EXPECT_EQ(e.err, c.expected.err);
        EXPECT_EQ(listing(), (std::vector<std::string>{"cut.nms", "x.nms"}));
    }
}

// A shell run in the test's directory, with $S the program: for redirections that only a
// shell makes (>> and 1<>), and for links to standard streams.
Ended shell(const fs::path& directory, const std::string& script) {
    const std::string line = "S=" + quoted(SYMDECK_BINARY) + "; cd " + quoted(directory.string()) + " && " + script;
    return Program({"-c", line}, Out::Pipe, RLIM_INFINITY, "/bin/sh").wait();
}

// A name that opens an open standard stream is written into that stream, at its position,
// as "-o -" is: through a pipe, into a file the shell opened for appending, and never
// through a rename. An ordinary name of the file a stream is open on stays a report name.
TEST_F(RunFaultsTest, ANameOfAnOpenStreamIsWrittenIntoThatStream) {
    const auto bytes = nmsbuild::sampleDatabase();
    const std::string text = report(bytes);
    writeFile("x.nms", bytes);
    fs::create_symlink("/dev/stdout", dir_ / "out.txt");
    const std::string answer = "0x10: NM32_HEADER (offset: 0x0)\n"
                               "  field creationTime, ULONG at 0x10..0x13, byte 0 of 4, value 0x5F3E2A10\n";
    const struct {
        std::string script;
        Ended expected;
        std::string log;  // log.txt afterwards
    } cases[] = {
        {"exec \"$S\" x.nms -o /dev/stdout", {0, 0, text, ""}, "KEEP\n"},
        {"exec \"$S\" x.nms -o /dev/fd/1", {0, 0, text, ""}, "KEEP\n"},
        {"exec \"$S\" x.nms -o /proc/self/fd/1", {0, 0, text, ""}, "KEEP\n"},
        {"exec \"$S\" x.nms --output /dev/stderr", {0, 0, "", text}, "KEEP\n"},
        {"exec \"$S\" x.nms -o out.txt", {0, 0, text, ""}, "KEEP\n"},  // a link to /dev/stdout
        {"exec \"$S\" x.nms 3>&1 -o /dev/fd/3", {0, 0, text, ""}, "KEEP\n"},
        {"exec \"$S\" x.nms --explain=0x10 -o /dev/stdout", {0, 0, answer, ""}, "KEEP\n"},
        {"exec \"$S\" x.nms --explain=0x10 -o -", {0, 0, answer, ""}, "KEEP\n"},
        // Appended where the shell left the file, nothing before or after lost.
        {"{ echo A; \"$S\" x.nms -o /dev/stdout; echo B; } >> log.txt", {0, 0, "", ""}, "KEEP\nA\n" + text + "B\n"},
        {"{ echo A; \"$S\" x.nms -o -; echo B; } >> log.txt", {0, 0, "", ""}, "KEEP\nA\n" + text + "B\n"},
        {"\"$S\" x.nms --explain=0x10 -o /dev/stderr 2>> log.txt", {0, 0, "", ""}, "KEEP\n" + answer},
        // The file's own name: replaced, as any report.
        {"exec \"$S\" x.nms -o log.txt >> log.txt", {0, 0, "", ""}, text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        writeFile("log.txt", {'K', 'E', 'E', 'P', '\n'});
        const Ended e = shell(dir_, c.script);
        EXPECT_EQ(e.status, c.expected.status);
        EXPECT_TRUE(e.out == c.expected.out) << "standard output differs: " << e.out.substr(0, 200);
        EXPECT_TRUE(e.err == c.expected.err) << "standard error differs: " << e.err.substr(0, 200);
        EXPECT_TRUE(readFile("log.txt") == c.log) << "log.txt differs";
        EXPECT_EQ(fs::read_symlink(dir_ / "out.txt"), "/dev/stdout");
        EXPECT_EQ(listing(), (std::vector<std::string>{"log.txt", "out.txt", "x.nms"}));
    }
}

// What the command line promises, in the real program: the value of -o wins over the help
// switches, "--output PATH" is "--output=PATH", --version stands anywhere, and the answers
// of --explain follow -o.
TEST_F(RunFaultsTest, TheValueOfOutputAndTheVersionAndExplainIntoAFile) {
    const auto bytes = nmsbuild::sampleDatabase();
    const std::string text = report(bytes);
    const std::string answer = "0x10: NM32_HEADER (offset: 0x0)\n"
                               "  field creationTime, ULONG at 0x10..0x13, byte 0 of 4, value 0x5F3E2A10\n";
    const std::string version = "symdeck " SYMDECK_TEST_VERSION "\n";
    const struct {
        std::string script;
        Ended expected;
        std::string file;  // the one file made beside x.nms, if any
        std::string contents;
    } cases[] = {
        {"\"$S\" x.nms -o -h", {0, 0, "", ""}, "-h", text},
        {"\"$S\" x.nms -o --HELP", {0, 0, "", ""}, "--HELP", text},
        {"\"$S\" x.nms --output out.txt", {0, 0, "", ""}, "out.txt", text},
        {"\"$S\" x.nms --Output r.json --json", {0, 0, "", ""}, "r.json",
         renderJsonToString(NmsImage{bytes.data(), bytes.size()}, {}, "x.nms")},
        {"\"$S\" --version", {0, 0, version, ""}, "", ""},
        {"\"$S\" x.nms +symd --VERSION -o r.txt", {0, 0, version, ""}, "", ""},
        {"\"$S\" x.nms --explain=0x10 -o a.txt", {0, 0, "", ""}, "a.txt", answer},
        {"\"$S\" x.nms --explain 0x10 --output a.txt", {0, 0, "", ""}, "a.txt", answer},
        {"\"$S\" x.nms out.txt --explain=0x10", {0, 0, answer, ""}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        writeFile("x.nms", bytes);
        if (!c.file.empty()) writeFile(c.file, {'o', 'l', 'd'});
        const Ended e = shell(dir_, c.script);
        EXPECT_EQ(e.status, c.expected.status);
        EXPECT_EQ(e.out, c.expected.out);
        EXPECT_EQ(e.err, c.expected.err);
        std::vector<std::string> files = {"x.nms"};
        if (!c.file.empty()) {
            EXPECT_TRUE(readFile(c.file) == c.contents) << c.file << " differs";
            files.insert(c.file < "x.nms" ? files.begin() : files.end(), c.file);
        }
        EXPECT_EQ(listing(), files);
        for (const auto& name : files) fs::remove(dir_ / name);
    }
}

// Standard output open on the database itself: nothing is written into it, whichever way
// the report or the answers were to reach it; the message goes to standard error. With the
// report in standard output, every failure message goes to standard error; without, they
// stay on standard output.
TEST_F(RunFaultsTest, TheDatabaseAsStandardOutputIsRefusedAndMessagesGoToStandardError) {
    const auto bytes = nmsbuild::sampleDatabase();
    const std::string database(bytes.begin(), bytes.end());
    const std::string same = kTitle + "  The text file would overwrite the nms file.\n";
    const std::string missing = kTitle + "  Can't open nms file (missing.nms).\n";
    // The system's reason, always on standard error, after the message.
    const std::string absent = "symdeck: missing.nms: " + std::string(std::strerror(ENOENT)) + "\n";
    const struct {
        std::string script;
        Ended expected;
    } cases[] = {
        {"exec \"$S\" t.nms -o - 1<>t.nms", {1, 0, "", same}},
        {"exec \"$S\" t.nms -o /dev/stdout 1<>t.nms", {1, 0, "", same}},
        {"exec \"$S\" t.nms --json -o /dev/fd/1 1<>t.nms", {1, 0, "", same}},
        {"exec \"$S\" t.nms --explain=4 1<>t.nms", {1, 0, "", same}},
        {"exec \"$S\" t.nms --explain=4 -o - 1<>t.nms", {1, 0, "", same}},
        {"exec \"$S\" t.nms -o /dev/stderr 2<>t.nms", {1, 0, same, ""}},
        // A failure of another kind, with standard output on the database.
        {"exec \"$S\" t.nms -o nowhere/r.txt 1<>t.nms",
         {1, 0, "", kTitle + "  Failed crating text file.\nsymdeck: nowhere/r.txt: " + std::strerror(ENOENT) + "\n"}},
        {"exec \"$S\" missing.nms --json -o -", {1, 0, "", missing + absent}},
        {"exec \"$S\" missing.nms -o /dev/stdout", {1, 0, "", missing + absent}},
        {"exec \"$S\" missing.nms --json", {1, 0, missing, absent}},
        {"exec \"$S\" t.nms --json -o - --explain=zz", {1, 0, "", kTitle + "  The offset to explain is not correct (zz).\n"}},
        {"exec \"$S\" t.nm -o /dev/stdout", {1, 0, "", kTitle + "  The first argument is not correct.\n"}},
        {"exec \"$S\" t.nms --explain=zz", {1, 0, kTitle + "  The offset to explain is not correct (zz).\n", ""}},
        {"exec \"$S\" missing.nms -o /dev/stderr", {1, 0, missing, absent}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        writeFile("t.nms", bytes);
        const Ended e = shell(dir_, c.script);
        EXPECT_EQ(e.status, c.expected.status);
        EXPECT_EQ(e.out, c.expected.out);
        EXPECT_EQ(e.err, c.expected.err);
        EXPECT_TRUE(readFile("t.nms") == database) << "the database was written into";
        EXPECT_EQ(listing(), (std::vector<std::string>{"t.nms"}));
    }
}

// On a terminal the texts of the database show their control bytes, DEL, C1 controls and
// bytes of no valid UTF-8 as \xNN, the report's own line feeds as they are; into a file or
// a pipe the same report is exact.
TEST_F(RunFaultsTest, TextsOfTheDatabaseReachATerminalEscaped) {
    const std::string hostile = "\x1B]0;owned\x07\x1B[2J\xC3\xA9t\xC3\xA9\x7F\xC2\x9B\xFF";
    const std::string shown = "\\x1B]0;owned\\x07\\x1B[2J\xC3\xA9t\xC3\xA9\\x7F\\xC2\\x9B\\xFF";
    nmsbuild::Database db;
    db.header.filePath = "c:\\x\r\n" + hostile;
    db.entries.push_back({nmsbuild::kSttb, nmsbuild::stringTable({.names = {"plain", hostile, "two\nlines"}})});
    db.entries.push_back({nmsbuild::kTytb, nmsbuild::typeTables({.entries = {{0x22, 1}}})});
    const auto bytes = nmsbuild::build(db).bytes;
    writeFile("x.nms", bytes);
    const std::string exact = report(bytes);
    ASSERT_NE(exact.find("c:\\x\r\n" + hostile), std::string::npos);
    ASSERT_NE(exact.find("1(\"" + hostile + "\")"), std::string::npos);
    const std::string onTerminal = replaced(replaced(replaced(exact, hostile, shown), "c:\\x\r\n", "c:\\x\\x0D\\x0A"),
                                            "two\nlines", "two\\x0Alines");
    // The answer about the first byte of the name in the string table (the second copy of
    // the text in the file), as a pipe gets it.
    const std::vector<uint8_t> raw(hostile.begin(), hostile.end());
    const auto first = std::search(bytes.begin(), bytes.end(), raw.begin(), raw.end());
    const auto at = std::search(first + 1, bytes.end(), raw.begin(), raw.end()) - bytes.begin();
    const std::vector<uint64_t> offsets{static_cast<uint64_t>(at)};
    const std::string answer = explainImage(NmsImage{bytes.data(), bytes.size()}, {}, offsets, false).text;
    ASSERT_NE(answer.find(hostile), std::string::npos) << answer;
    const std::string explain = "--explain=" + std::to_string(at);
    const std::string json = renderJsonToString(NmsImage{bytes.data(), bytes.size()}, {}, path("x.nms"));
    // Explain's answers about the header's filePath (its value holds CR LF) and a name with a
    // line feed in it: on a terminal those bytes are escaped as the report escapes them, the
    // answers' own line feeds stay.
    const std::string lines = "two\nlines";
    const auto named = std::search(bytes.begin(), bytes.end(), lines.begin(), lines.end()) - bytes.begin();
    const std::vector<uint64_t> texts{0x40, static_cast<uint64_t>(named)};
    const std::string textAnswers = explainImage(NmsImage{bytes.data(), bytes.size()}, {}, texts, false).text;
    ASSERT_NE(textAnswers.find("value c:\\x\r\n" + hostile + "\n"), std::string::npos) << textAnswers;
    ASSERT_NE(textAnswers.find("\"two\nlines\"\n"), std::string::npos) << textAnswers;
    const std::string textsOnTerminal =
        replaced(replaced(replaced(textAnswers, hostile, shown), "c:\\x\r\n", "c:\\x\\x0D\\x0A"), "two\nlines",
                 "two\\x0Alines");
    const std::string explainTexts = "--explain=0x40";
    const std::string explainName = "--explain=" + std::to_string(named);
    const struct {
        std::vector<std::string> args;
        Out out;
        std::string expected;
    } cases[] = {
        {{path("x.nms"), "-o", "-"}, Out::Terminal, onTerminal},
        {{path("x.nms"), "-o", "/dev/stdout"}, Out::Terminal, onTerminal},
        {{path("x.nms"), explain}, Out::Terminal, replaced(answer, hostile, shown)},
        {{path("x.nms"), "--json", "-o", "-"}, Out::Terminal, json},  // escaped already
        {{path("x.nms"), "-o", "-"}, Out::Pipe, exact},
        {{path("x.nms"), explain}, Out::Pipe, answer},
        {{path("x.nms"), explainTexts, explainName}, Out::Terminal, textsOnTerminal},
        {{path("x.nms"), explainTexts, explainName, "-o", "-"}, Out::Terminal, textsOnTerminal},
        {{path("x.nms"), explainTexts, explainName}, Out::Pipe, textAnswers},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.out == Out::Terminal ? " on a terminal" : " into a pipe"));
        Program program(c.args, c.out);
        const Ended e = program.wait();
        EXPECT_EQ(e.status, 0);
        EXPECT_EQ(e.err, "");
        EXPECT_TRUE(e.out == c.expected) << "standard output differs:\n" << e.out.substr(0, 3000);
    }
    // Into a file while standard output is a terminal: exact.
    EXPECT_EQ(Program({path("x.nms"), "-o", path("r.txt")}, Out::Terminal).wait().status, 0);
    EXPECT_TRUE(readFile("r.txt") == exact);
    // Into a terminal by its own name, standard output a pipe: escaped.
    int ends[2];
    std::string name;
    ASSERT_TRUE(openRawTerminal(ends, name));
    ::close(ends[1]);
    const Ended e = Program({path("x.nms"), "-o", name}).wait();
    EXPECT_EQ(e.status, 0);
    EXPECT_TRUE(drain(ends[0]) == onTerminal);
    ASSERT_TRUE(openRawTerminal(ends, name));
    ::close(ends[1]);
    const Ended answered = Program({path("x.nms"), explainTexts, explainName, "-o", name}).wait();
    EXPECT_EQ(answered.status, 0);
    EXPECT_TRUE(drain(ends[0]) == textsOnTerminal);
    EXPECT_EQ(listing(), (std::vector<std::string>{"r.txt", "x.nms"}));
}

TEST_F(RunFaultsTest, AFifoOrADeviceAsTheReportIsWrittenIntoNotReplaced) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    ASSERT_EQ(::mkfifo(path("pipe.txt").c_str(), 0600), 0);
    // The reading end is open first, so the program's open does not wait; the test waits
    // (bounded) for the first bytes, then reads to the end.
    const int reader = ::open(path("pipe.txt").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    Program program({path("x.nms"), "-o", path("pipe.txt")});
    pollfd ready{reader, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 60000), 1) << "nothing came through the FIFO";
    ::fcntl(reader, F_SETFL, 0);
    const std::string text = drain(reader);
    const Ended e = program.wait();
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(e.out, "");
    EXPECT_TRUE(text == report(bytes)) << "the FIFO did not carry the report";
    struct stat info {};
    ASSERT_EQ(::stat(path("pipe.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    // A null device of its own (only root may make one): the report goes into it, and it
    // stays a device.
    if (::mknod(path("null.txt").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(run({"x.nms", "null.txt"}), 0);
        EXPECT_EQ(console_, "");
        ASSERT_EQ(::stat(path("null.txt").c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
    }
    EXPECT_EQ(listing().size(), ::geteuid() == 0 ? 3u : 2u);
}

TEST_F(RunFaultsTest, NoLinkToTheDatabaseIsReplacedByItsReport) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("db.nms", bytes);
    fs::create_symlink("db.nms", dir_ / "soft.txt");
    fs::create_symlink("soft.txt", dir_ / "softer.txt");
    fs::create_hard_link(dir_ / "db.nms", dir_ / "hard.txt");
    for (const std::string name : {"soft.txt", "softer.txt", "hard.txt"}) {
        EXPECT_EQ(run({"db.nms", name}), 1);
        EXPECT_EQ(console_, kTitle + "  The text file would overwrite the nms file.\n");
    }
    EXPECT_EQ(readFile("db.nms"), std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(fs::read_symlink(dir_ / "softer.txt"), "soft.txt");
    EXPECT_EQ(listing(), (std::vector<std::string>{"db.nms", "hard.txt", "soft.txt", "softer.txt"}));
}

TEST_F(RunFaultsTest, AReportNameThatIsALinkUpdatesItsTarget) {
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    fs::create_directory(dir_ / "sub");
    const struct {
        std::vector<std::pair<std::string, std::string>> links;  // name, target
        std::string written;                                     // empty: nothing is
    } cases[] = {
        {{{"r.txt", "sub/old.txt"}}, "sub/old.txt"},
        {{{"r.txt", "sub/new.txt"}}, "sub/new.txt"},  // dangling: the target is created
        {{{"r.txt", "l.txt"}, {"l.txt", "sub/old.txt"}}, "sub/old.txt"},
        {{{"r.txt", path("sub/old.txt")}}, "sub/old.txt"},
        {{{"r.txt", "sub/../sub/old.txt"}}, "sub/old.txt"},
        {{{"r.txt", "r.txt"}}, ""},  // a loop
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.links[0].second);
        writeFile("sub/old.txt", {'o', 'l', 'd'});
        for (const auto& [name, target] : c.links) fs::create_symlink(target, dir_ / name);
        EXPECT_EQ(run({"x.nms", "r.txt"}), c.written.empty() ? 1 : 0);
        EXPECT_EQ(console_, c.written.empty() ? kTitle + "  Failed crating text file.\n" : "");
        if (!c.written.empty()) {
            EXPECT_EQ(readFile(c.written), report(bytes));
        }
        if (c.written != "sub/old.txt") {
            EXPECT_EQ(readFile("sub/old.txt"), "old");
        }
        for (const auto& [name, target] : c.links) {
            EXPECT_EQ(fs::read_symlink(dir_ / name), target);
            fs::remove(dir_ / name);
        }
        fs::remove(dir_ / "sub/new.txt");
        EXPECT_EQ(listing(), (std::vector<std::string>{"sub", "x.nms"}));
    }
}

TEST_F(RunFaultsTest, AReplacedReportKeepsItsModeAndOwner) {
    writeFile("x.nms", nmsbuild::sampleDatabase());
    const mode_t umask = ::umask(027);
    const struct {
        int oldMode;  // -1: no report yet
        unsigned newMode;
    } cases[] = {{-1, 0640}, {0600, 0600}, {0664, 0664}, {0400, 0400}};
    for (const auto& c : cases) {
        fs::remove(dir_ / "x.txt");
        if (c.oldMode >= 0) {
            writeFile("x.txt", {'o', 'l', 'd'});
            ASSERT_EQ(::chmod(path("x.txt").c_str(), static_cast<mode_t>(c.oldMode)), 0);
        }
        EXPECT_EQ(run({"x.nms"}), 0);
        struct stat info {};
        ASSERT_EQ(::stat(path("x.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.newMode) << c.oldMode;
    }
    ::umask(umask);
    // Root also keeps the owner and the group; a second name of the old report keeps the
    // old text, since the new report is a new file.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path("x.txt").c_str(), 4321, 8765), 0);
    }
    fs::create_hard_link(dir_ / "x.txt", dir_ / "old.txt");
    const std::string old = readFile("old.txt");
    EXPECT_EQ(run({"x.nms", "+nm32"}), 0);
    EXPECT_EQ(readFile("old.txt"), old);
    struct stat info {};
    ASSERT_EQ(::stat(path("x.txt").c_str(), &info), 0);
    if (root) {
        EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(4321u, 8765u));
    }
}

TEST_F(RunFaultsTest, AReportPathAsLongAsTheSystemTakes) {
    // 4,094 bytes in all, with a short last name, so that a temporary's full path beside it
    // would be longer than the system takes.
    std::string directory = dir_.string();
    while (4088 - directory.size() > 256) directory.append("/").append(200, 'd');
    const size_t last = 4088 - directory.size() - 1;
    directory.append("/").append(last, 'e');
    fs::create_directories(directory);
    const std::string name = directory + "/r.txt";
    ASSERT_EQ(name.size(), 4094u);
    const auto bytes = nmsbuild::sampleDatabase();
    writeFile("x.nms", bytes);
    EXPECT_EQ(run({"x.nms", name}), 0);
    EXPECT_EQ(console_, "");
    std::ifstream written(name, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), report(bytes));
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), {}), 1);
}

}  // namespace
}  // namespace symdeck::test

// Faults of the conversion run, provoked for real on a POSIX system: signals sent to the
// program in the middle of a conversion, a FIFO or a device as the database, a file-size
// limit, links and modes at the report's name, a path as long as the system takes, and a
// full, closed or broken standard output.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "nmsbuild/large.h"
#include "nmsbuild/sample.h"
#include "run_support.h"

namespace symdeck::test {
namespace {

// Where the program's standard output goes.
enum class Out { Pipe, Full, Closed, BrokenPipe };

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

// The real program, started with the shell's default signal actions and a watchdog alarm,
// so that a child that blocks ends with SIGALRM instead of hanging the suite.
class Program {
public:
    Program(const std::vector<std::string>& args, Out out = Out::Pipe, rlim_t fileLimit = RLIM_INFINITY) {
        std::vector<const char*> argv = {SYMDECK_BINARY};
        for (const auto& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        int outPipe[2], errPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) return;
        if (out == Out::BrokenPipe) ::close(outPipe[0]);  // no reader left, before the child runs
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) ::signal(s, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const rlimit limit{fileLimit, fileLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
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
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

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
    const struct {
        std::vector<std::string> args;
        Out out;
        Ended expected;
    } cases[] = {
        {{path("x.nms"), "-o", "-"}, Out::Pipe, {0, 0, report(bytes), ""}},
        {{path("x.nms"), "--output=-", "--check"}, Out::Pipe, {0, 0, report(bytes), ""}},
        {{path("cut.nms"), "-O", "-", "--CHECK"}, Out::Pipe, {2, 0, damaged, ""}},
        {{path("cut.nms"), "-o", "-"}, Out::Pipe, {0, 0, damaged, ""}},
        // The report owns standard output: the failure message goes to standard error.
        {{path("x.nms"), "-o", "-"}, Out::Full, {1, 0, "", kTitle + "  Failed to save text file.\n"}},
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

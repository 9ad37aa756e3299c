// Memory that runs out, for real: the program run as a child under an address-space limit
// (RLIMIT_AS), from one at which it can barely start (2 MiB above its own image) up to one
// at which it has all it needs. At every limit the run either does its whole work or fails with the allocation
// message and status 1, leaving nothing behind; it never ends on a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "nmsbuild/sample.h"
#include "forms/explain_answers.h"
#include "run_support.h"

namespace symdeck::test {
namespace {

// AddressSanitizer reserves more address space than any limit here allows.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

struct Ended {
    int status = -1;  // the exit status, or -1 when a signal ended it
    int signal = 0;
    std::string out;
};

// The program with `args`, its address space limited to `limit` bytes; standard error is
// dropped, standard output kept.
Ended runLimited(const std::vector<std::string>& args, rlim_t limit) {
    std::vector<const char*> argv = {SYMDECK_BINARY};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    Ended ended;
    int out[2];
    if (::pipe(out) != 0) return ended;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::close(out[0]);
        const rlimit as{limit, limit};
        ::setrlimit(RLIMIT_AS, &as);
        ::execv(SYMDECK_BINARY, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(out[1]);
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) ended.out.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return ended;
    if (WIFEXITED(status)) ended.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) ended.signal = WTERMSIG(status);
    return ended;
}

TEST_F(RunTest, MemoryThatRunsOutIsAFailureNeverAnAbort) {
    if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit allows";
    const auto sample = nmsbuild::sampleDatabase();
    writeFile("sample.nms", sample);
    const NmsImage image{sample.data(), sample.size()};
    // Enough offsets that their answers take some MiB: the limits below fall in the middle
    // of explaining them as well as in the reading and the start.
    std::vector<uint64_t> offsets;
    std::vector<std::string> explainArgs = {path("sample.nms")};
    for (uint64_t i = 0; i < 20000; ++i) {
        offsets.push_back(i * 7 % (sample.size() + 16));
        explainArgs.push_back("--explain=" + std::to_string(offsets.back()));
    }
    std::vector<std::string> jsonArgs = explainArgs;
    jsonArgs.push_back("--json");
    struct Case {
        std::string name;
        std::vector<std::string> args;
        std::string answers;  // on standard output when the run succeeds
        std::string report;   // in sample.txt when the run succeeds
    };
    const Case cases[] = {
        {"explain", explainArgs, explainImage(image, {}, offsets, false).text, ""},
        {"explain as JSON", jsonArgs, explainImage(image, {}, offsets, true).text, ""},
        {"report", {path("sample.nms")}, "", renderToString(image)},
    };
    const std::string failed = kTitle + "  Failed to allocate memory.\n";
    // The least limit at which the program can start at all: its own image (which holds the
    // viewer's page where the build has one) and 2 MiB besides, in steps of 256 KiB.
    const rlim_t program = static_cast<rlim_t>(fs::file_size(SYMDECK_BINARY));
    const rlim_t start = ((program + (rlim_t{256} << 10) - 1) >> 18 << 18) + (rlim_t{2} << 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool sawFailure = false;
        bool sawSuccess = false;
        for (rlim_t limit = start; limit <= start + (rlim_t{60} << 20) && !sawSuccess; limit += rlim_t{256} << 10) {
            SCOPED_TRACE("RLIMIT_AS " + std::to_string(limit));
            const Ended ended = runLimited(c.args, limit);
            ASSERT_EQ(ended.signal, 0);
            if (ended.status == 0) {
                sawSuccess = true;
                EXPECT_EQ(ended.out, c.answers);
                if (!c.report.empty()) {
                    EXPECT_EQ(readFile("sample.txt"), c.report);
                    fs::remove(path("sample.txt"));
                }
            } else {
                sawFailure = true;
                ASSERT_EQ(ended.status, 1);
                EXPECT_EQ(ended.out, failed);
            }
            EXPECT_EQ(listing(), std::vector<std::string>{"sample.nms"});
        }
        EXPECT_TRUE(sawFailure);
        EXPECT_TRUE(sawSuccess);
    }
}

}  // namespace
}  // namespace symdeck::test

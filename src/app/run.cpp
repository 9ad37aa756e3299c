#include "app/run.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "app/command_line.h"
#include "app/driver.h"
#include "report/memory.h"

namespace symdeck {

namespace {

int fail(std::string& console, const std::string& message) {
    console += kTitleLine;
    console += message;
    return 1;
}

// An owned file descriptor, closed on every path.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    // Closes the descriptor; false when close() reports an error.
    bool reset() {
        if (fd < 0) return true;
        const int r = ::close(fd);
        fd = -1;
        return r == 0;
    }
};

enum class ReadStatus { Ok, CannotOpen, NoMemory, ReadFailed };

struct Input {
    Block bytes;
    uint64_t size = 0;
};

ReadStatus readWhole(const std::string& name, Input& input) {
    Fd file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) return ReadStatus::CannotOpen;
    struct stat info {};
    // Only a regular file is a database; a directory or a device cannot be opened as one.
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return ReadStatus::CannotOpen;
    const auto size = static_cast<uint64_t>(info.st_size);
    input.bytes = Block(size);
    if (input.bytes.data() == nullptr) return ReadStatus::NoMemory;
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(file.fd, input.bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ReadStatus::ReadFailed;  // an error, or the file shrank
        done += static_cast<uint64_t>(n);
    }
    input.size = size;
    return ReadStatus::Ok;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes the report's blocks to the file on a second thread, so that rendering goes on
// while blocks are written: up to kInFlight blocks wait their turn, which carries the
// renderer over the file system's stalls (the writer fills kBlocks blocks in turn).
class FileWriter {
public:
    FileWriter() = default;
    // Starts writing to `fd`; blocks handed over before this are not expected.
    void start(int fd) {
        fd_ = fd;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No second thread: every block is written at once instead.
        }
    }
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter() { finish(); }

    static bool submit(void* self, const char* data, size_t size) {
        return static_cast<FileWriter*>(self)->hand(data, size);
    }

    // Waits for the last block; false when any write failed.
    bool finish() {
        if (thread_.joinable()) {
            {
                std::unique_lock lock(mutex_);
                idle_.wait(lock, [this] { return queued_ == 0; });
                stop_ = true;
            }
            work_.notify_one();
            thread_.join();
        }
        return !failed_;
    }

private:
    bool hand(const char* data, size_t size) {
        if (!thread_.joinable()) {  // no second thread: written at once
            if (!failed_ && !writeAll(fd_, data, size)) failed_ = true;
            return !failed_;
        }
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return queued_ < kInFlight; });
        if (failed_) return false;
        queue_[(first_ + queued_) % kInFlight] = {data, size};
        ++queued_;
        lock.unlock();
        work_.notify_one();
        return true;
    }

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return queued_ != 0 || stop_; });
            if (queued_ == 0) return;
            const Pending block = queue_[first_];
            const bool skip = failed_;  // after a failure the rest is dropped
            lock.unlock();
            const bool stored = skip || writeAll(fd_, block.data, block.size);
            lock.lock();
            if (!stored) failed_ = true;
            first_ = (first_ + 1) % kInFlight;
            --queued_;
            idle_.notify_one();
        }
    }

    static constexpr size_t kInFlight = ReportWriter::kBlocks - 1;
    struct Pending {
        const char* data;
        size_t size;
    };

    int fd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    Pending queue_[kInFlight] = {};  // blocks waiting to be written, oldest at first_
    size_t first_ = 0;
    size_t queued_ = 0;
    bool stop_ = false;
    bool failed_ = false;  // under the lock while the thread runs
};

// Creates a new, empty file in the report's directory with the permissions a plain create
// gives. Its name is short (a long report name must not make it too long) and begins with a
// dot. Returns its descriptor and sets `tempName`, or returns -1.
int createTemporary(const std::string& reportName, std::string& tempName) {
    const size_t slash = reportName.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : reportName.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = dir + ".symdeck-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    tempName.clear();
    return -1;
}

}  // namespace

int runConversion(int argc, const char* const* argv, std::string& console) {
    const CommandLine line = parseCommandLine(argc, argv);
    if (line.outcome == Outcome::ShowHelp) {
        printHelp(console);
        return 0;
    }
    if (line.outcome == Outcome::BadFirstArgument)
        return fail(console, "  The first argument is not correct.\n");

    Input input;
    switch (readWhole(line.inputName, input)) {
        case ReadStatus::Ok: break;
        case ReadStatus::CannotOpen:
            return fail(console, "  Can't open nms file (" + line.inputName + ").\n");
        case ReadStatus::NoMemory: return fail(console, "  Failed to allocate memory.\n");
        case ReadStatus::ReadFailed: return fail(console, "  Failed to read nms file.\n");
    }

    FileWriter file;
    std::unique_ptr<ReportWriter> out;
    try {
        out = std::make_unique<ReportWriter>(ReportSink{&FileWriter::submit, &file});
    } catch (const std::bad_alloc&) {
        return fail(console, "  Failed to allocate memory.\n");
    }

    std::string tempName;
    Fd temp(createTemporary(line.outputName, tempName));
    if (temp.fd < 0) return fail(console, "  Failed crating text file.\n");
    file.start(temp.fd);

    renderImage(NmsImage{input.bytes.data(), input.size}, line.selection, *out);
    const bool flushed = out->flush();
    const bool written = file.finish() && flushed;  // always wait for the block in flight
    const bool closed = temp.reset();
    if (!written || !closed || ::rename(tempName.c_str(), line.outputName.c_str()) != 0) {
        ::unlink(tempName.c_str());
        return fail(console, "  Failed to save text file.\n");
    }
    return 0;
}

}  // namespace symdeck

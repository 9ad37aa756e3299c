// The platform layer under WASI (preview 1): the WebAssembly program, run by a host such as
// node (build-wasm/symdeck-wasm), wasmtime or wasmer.
//
// Files are reached through the directories the host preopens; the launcher preopens "/"
// and names the caller's directory in SYMDECK_WASI_CWD, which becomes this process's
// working directory, so every name the native program takes means the same file here.
//
// What WASI preview 1 cannot do, and what this layer does instead:
// - No signals: an interrupted run ends with the host and leaves its temporary behind. A
//   trap (memory the C++ library could not have, which has no exception to throw here)
//   ends the run in the middle of anything, so no code of the module may run after it (a
//   command module's exports would start the C library again on a broken heap): the
//   launcher reads the pending temporary's name from the module's memory at the address
//   the module exports as symdeck_pending_temporary, and removes the file itself.
// - No permissions or owners: a report that replaces a file gets the mode the host gives
//   every new file (0666 less the host's umask under node), not the old file's mode.
// - No process id: temporaries are named from random bytes instead.
// - No memory mapping: blocks come from the heap (the module's linear memory).
// - No second thread: every report block is written as it is filled (frontend/file_writer.h).
#include "frontend/platform.h"
#include "frontend/platform_descriptors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "forms/digits.h"

// The temporary that a trap would leave behind: its name (relative to the working
// directory, or absolute) while a report is pending, else empty. Exported by address
// (the link's --export), not by a function: see above.
extern "C" {
[[gnu::used]] char symdeck_pending_temporary[4096];
}

namespace symdeck::platform {

namespace {

std::string join(const std::string& directory, const std::string& name) {
    if (directory == "/") return "/" + name;
    return directory + "/" + name;
}

constexpr int kMaxLinks = 40;

// `path` with the symbolic links of its last component followed, as a create through them
// would (a relative target counts from the link's own directory). Empty when the path ends
// in a slash or the links loop.
// Where a link whose text is `target`, found in `directory`, leads.
SplitPath follow(const std::string& directory, const std::string& target) {
    const SplitPath next = split(target);
    if (target[0] == '/') return next;
    if (target.find('/') == std::string::npos) return {directory, next.name};
    return {join(directory, next.directory), next.name};
}

std::string finalPath(const std::string& path) {
    SplitPath part = split(path);
    for (int links = 0; !part.name.empty() && links <= kMaxLinks; ++links) {
        char target[4096];
        const std::string name = join(part.directory, part.name);
        const ssize_t n = ::readlink(name.c_str(), target, sizeof target);
        if (n < 0) return name;  // not a link (or not there yet): this is the file
        if (n == 0 || static_cast<size_t>(n) >= sizeof target) return {};
        part = follow(part.directory, std::string(target, static_cast<size_t>(n)));
    }
    return {};
}

// Whether `directory` is one of the system's directories of links to open descriptors.
bool holdsDescriptorLinks(const std::string& directory) {
    if (directory == "/dev/fd" || directory == "/proc/self/fd" || directory == "/proc/thread-self/fd")
        return true;
    if (directory.rfind("/proc/", 0) != 0 || directory.size() < 10) return false;
    if (directory.compare(directory.size() - 3, 3, "/fd") != 0) return false;
    for (size_t i = 6; i < directory.size() - 3; ++i)
        if (directory[i] < '0' || directory[i] > '9') return false;
    return true;
}

}  // namespace

void prepareProcess() {
    if (const char* directory = std::getenv("SYMDECK_WASI_CWD")) (void)::chdir(directory);
}

void* allocatePages(size_t bytes) { return std::malloc(bytes); }
void releasePages(void* pages, size_t) { std::free(pages); }
BlockAllocator pageAllocator() { return heapAllocator(); }

ReadStatus readWholeFile(const std::string& name, InputFile& input) {
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return readFailure(input, ReadStatus::CannotOpen, errno);
    if (!S_ISREG(info.st_mode)) return notARegularFile(input, info);
    const int file = ::open(name.c_str(), O_RDONLY);
    if (file < 0) return readFailure(input, ReadStatus::CannotOpen, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{file};
    if (::fstat(file, &info) != 0) return readFailure(input, ReadStatus::CannotOpen, errno);
    if (!S_ISREG(info.st_mode)) return notARegularFile(input, info);
    const auto size = static_cast<uint64_t>(info.st_size);
    // Linear memory is 32-bit: a larger file can never be had.
    if (size >= SIZE_MAX) return ReadStatus::NoMemory;
    input.bytes = Block(static_cast<size_t>(size));
    if (input.bytes.data() == nullptr) return ReadStatus::NoMemory;
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(file, input.bytes.data() + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return readFailure(input, ReadStatus::ReadFailed, n < 0 ? errno : EIO);
        done += static_cast<uint64_t>(n);
    }
    input.size = size;
    input.id = idOf(info);
    return ReadStatus::Ok;
}

std::optional<Stream> streamNamed(const std::string& reportName) {
    SplitPath part = split(reportName);
    for (int links = 0; !part.name.empty() && links <= kMaxLinks; ++links) {
        const std::string name = join(part.directory, part.name);
        if (holdsDescriptorLinks(part.directory)) {
            struct stat target {};
            if (::stat(name.c_str(), &target) != 0) return std::nullopt;
            const auto matches = [&](int fd) {
                struct stat info {};
                return ::fstat(fd, &info) == 0 && sameFile(idOf(info), idOf(target));
            };
            if (part.name.size() == 1 && part.name[0] >= '0' && part.name[0] <= '2' && matches(part.name[0] - '0'))
                return static_cast<Stream>(part.name[0] - '0');
            for (const int fd : {STDOUT_FILENO, STDERR_FILENO, STDIN_FILENO})
                if (matches(fd)) return static_cast<Stream>(fd);
            return std::nullopt;
        }
        char text[4096];
        const ssize_t n = ::readlink(name.c_str(), text, sizeof text);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof text) return std::nullopt;
        part = follow(part.directory, std::string(text, static_cast<size_t>(n)));
    }
    return std::nullopt;
}

CreateStatus createReport(const std::string& reportName, const FileId& input, PendingReport& report) {
    const std::string finalName = finalPath(reportName);
    if (finalName.empty()) return reportFailure(report, CreateStatus::Failed, EISDIR);
    const SplitPath part = split(finalName);
    struct stat directory {};
    if (::stat(part.directory.c_str(), &directory) != 0) return reportFailure(report, CreateStatus::Failed, errno);
    if (!S_ISDIR(directory.st_mode)) return reportFailure(report, CreateStatus::Failed, ENOTDIR);
    struct stat old {};
    const bool replaces = ::lstat(finalName.c_str(), &old) == 0;
    if (replaces && sameFile(idOf(old), input)) return CreateStatus::SameFileAsInput;
    if (replaces && S_ISDIR(old.st_mode)) return reportFailure(report, CreateStatus::Failed, EISDIR);
    // A device or a FIFO at that name is written into, as a plain create would do.
    if (replaces && !S_ISREG(old.st_mode)) {
        const int file = ::open(finalName.c_str(), O_WRONLY);
        if (file < 0) return reportFailure(report, CreateStatus::Failed, errno);
        report.file = file;
        report.direct = true;
        return CreateStatus::Ok;
    }
    unsigned char random[8] = {};
    (void)::getentropy(random, sizeof random);
    std::string prefix = ".symdeck-";
    for (const unsigned char byte : random) {
        prefix += lowerHexDigit(byte >> 4);
        prefix += lowerHexDigit(byte);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string tempName = join(part.directory, prefix + "-" + std::to_string(attempt) + ".tmp");
        if (tempName.size() >= sizeof symdeck_pending_temporary) break;
        const int file = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (file < 0 && errno == EEXIST) continue;
        if (file < 0) {
            reportFailure(report, CreateStatus::Failed, errno);
            break;
        }
        std::memcpy(symdeck_pending_temporary, tempName.c_str(), tempName.size() + 1);
        report.file = file;
        report.directory = 0;
        report.tempName = tempName;
        report.finalName = finalName;
        return CreateStatus::Ok;
    }
    return CreateStatus::Failed;
}

bool commitReport(PendingReport& report) {
    if (const std::optional<bool> done = commitWithoutTemporary(report)) return *done;
    const bool closed = ::close(static_cast<int>(report.file)) == 0;
    const bool placed = closed && ::rename(report.tempName.c_str(), report.finalName.c_str()) == 0;
    if (!placed) {
        reportFailure(report, false, errno);
        ::unlink(report.tempName.c_str());
    }
    symdeck_pending_temporary[0] = '\0';
    forgetTemporary(report);
    return placed;
}

void discardReport(PendingReport& report) {
    if (discardWithoutTemporary(report)) return;
    if (report.file >= 0) ::close(static_cast<int>(report.file));
    ::unlink(report.tempName.c_str());
    symdeck_pending_temporary[0] = '\0';
    forgetTemporary(report);
}

}  // namespace symdeck::platform

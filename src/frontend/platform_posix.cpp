// The platform layer on POSIX systems: every system call of the program is here.
//
// The report is written to a temporary file beside the file it replaces and renamed over it
// only when complete. Everything about that temporary is done relative to a descriptor of
// its directory, with a short name, so that a report path of any length the system takes
// works, and so that a signal handler can remove it with one unlinkat() call.
#include "frontend/platform.h"
#include "frontend/platform_descriptors.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace symdeck::platform {

namespace {

// An owned file descriptor, closed on every path.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// ---------------------------------------------------------------------------------------
// Removing the temporary when the process is interrupted.
//
// A signal handler can reach nothing but static storage, so the one pending temporary is
// recorded here: its directory's descriptor and its short name. Both are written only with
// the cleanup signals held off on the thread that writes them, so the handler never sees
// half a change; the handler may run on any thread (the signal goes to whichever thread the
// system picks), and claims the temporary with one atomic exchange.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");
std::atomic<int> gArmedDirectory{-1};
char gArmedName[64];

// Only async-signal-safe calls: unlinkat, signal, raise. The signal is blocked while its
// handler runs, so the raised one is delivered, with the default action, on return.
void removeTemporaryAndDie(int number) {
    const int directory = gArmedDirectory.exchange(-1);
    if (directory >= 0) ::unlinkat(directory, gArmedName, 0);
    ::signal(number, SIG_DFL);
    ::raise(number);
}

// Holds off the cleanup signals on this thread for the scope's lifetime; one that arrives
// meanwhile is delivered when the scope ends.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : kCleanupSignals) sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

private:
    sigset_t old_;
};

void arm(int directory, const std::string& name) {
    std::memcpy(gArmedName, name.c_str(), name.size() + 1);
    gArmedDirectory.store(directory);
}

void disarm() { gArmedDirectory.store(-1); }

// ---------------------------------------------------------------------------------------
// Where the report goes.

// Directories are opened only to name files in them; O_PATH (where the system has it) also
// takes a directory that may be written but not listed, as a plain create would.
#ifdef O_PATH
constexpr int kDirectoryFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The kernel's own limit on symbolic links followed in one lookup.
constexpr int kMaxLinks = 40;

// Opens the directory of the file that `path` stands for, following symbolic links in the
// last component as a create through them would (a link's relative target counts from the
// link's own directory; a dangling link names the file to create), and sets `name` to the
// file's name in that directory. -1 when a directory cannot be opened, the path names no
// file (it ends in a slash) or the links loop.
int openFinalDirectory(const std::string& path, std::string& name) {
    SplitPath part = split(path);
    int directory = ::open(part.directory.c_str(), kDirectoryFlags);
    for (int links = 0; directory >= 0 && !part.name.empty(); ++links) {
        char target[PATH_MAX];
        const ssize_t n = ::readlinkat(directory, part.name.c_str(), target, sizeof target);
        if (n < 0) {  // not a link (or not there yet): this is the file
            name = part.name;
            return directory;
        }
        const int parent = directory;
        part = split(std::string(target, static_cast<size_t>(n)));
        // An absolute target's directory is opened from the root, whatever `parent` is.
        const bool followed = links < kMaxLinks && static_cast<size_t>(n) < sizeof target;
        directory = followed ? ::openat(parent, part.directory.c_str(), kDirectoryFlags) : -1;
        const int code = followed ? errno : ELOOP;
        ::close(parent);
        errno = code;
    }
    // A name that ends in a slash names a directory.
    if (directory >= 0) {
        ::close(directory);
        errno = EISDIR;
    }
    return -1;
}

// Gives the temporary the owner and group (where this process may) and the permission bits
// of the regular file it replaces. The set-id bits are not carried over: writing into the
// old file would have cleared them too.
void takeOwnerAndMode(int file, const struct stat& old) {
    if (::fchown(file, old.st_uid, old.st_gid) != 0) (void)::fchown(file, static_cast<uid_t>(-1), old.st_gid);
    (void)::fchmod(file, old.st_mode & 0777);
}

// Whether the names in `directory` are the system's links to open descriptors, which open
// the descriptor's own file whatever name the link's text shows ("pipe:[123]", or a path
// that a rename has made stale). On Linux these are the directories of /proc
// (/proc/self/fd, which /dev/fd and /dev/stdout lead to).
bool holdsDescriptorLinks(int directory) {
#ifdef __linux__
    constexpr decltype(statfs::f_type) kProcMagic = 0x9FA0;  // PROC_SUPER_MAGIC
    struct statfs info {};
    return ::fstatfs(directory, &info) == 0 && info.f_type == kProcMagic;
#else
    (void)directory;
    return false;
#endif
}

// The standard stream open on the same file as `target`: the one the link's name numbers
// when it is a standard descriptor, else standard output, standard error, standard input
// in that order (on a terminal all three are often the same).
std::optional<Stream> streamOpenOn(const struct stat& target, std::string_view linkName) {
    const auto matches = [&](int fd) {
        struct stat info {};
        return ::fstat(fd, &info) == 0 && sameFile(idOf(info), idOf(target));
    };
    if (linkName.size() == 1 && linkName[0] >= '0' && linkName[0] <= '2' && matches(linkName[0] - '0'))
        return static_cast<Stream>(linkName[0] - '0');
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO, STDIN_FILENO})
        if (matches(fd)) return static_cast<Stream>(fd);
    return std::nullopt;
}

}  // namespace

std::optional<Stream> streamNamed(const std::string& reportName) {
    // The links are followed one by one, as openFinalDirectory() does, and each is looked
    // at before it is followed: a link to an open descriptor is followed by the system to
    // the descriptor's file, not by its text.
    SplitPath part = split(reportName);
    int directory = ::open(part.directory.c_str(), kDirectoryFlags);
    std::optional<Stream> stream;
    for (int links = 0; directory >= 0 && !part.name.empty() && links <= kMaxLinks; ++links) {
        struct stat target {};
        if (holdsDescriptorLinks(directory)) {
            if (::fstatat(directory, part.name.c_str(), &target, 0) == 0)
                stream = streamOpenOn(target, part.name);
            break;
        }
        char text[PATH_MAX];
        const ssize_t n = ::readlinkat(directory, part.name.c_str(), text, sizeof text);
        if (n < 0 || static_cast<size_t>(n) >= sizeof text) break;  // an ordinary name
        const int parent = directory;
        part = split(std::string(text, static_cast<size_t>(n)));
        directory = ::openat(parent, part.directory.c_str(), kDirectoryFlags);
        ::close(parent);
    }
    if (directory >= 0) ::close(directory);
    return stream;
}

void prepareProcess() {
    // Beyond a file-size limit a write then fails with EFBIG, and the run reports it.
    ::signal(SIGXFSZ, SIG_IGN);
    for (const int s : kCleanupSignals) {
        struct sigaction old {};
        // A signal the caller left ignored (nohup, a background job) stays ignored.
        if (::sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = removeTemporaryAndDie;
        sigemptyset(&cleanup.sa_mask);
        for (const int t : kCleanupSignals) sigaddset(&cleanup.sa_mask, t);
        ::sigaction(s, &cleanup, nullptr);
    }
}

void* allocatePages(size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    ::madvise(p, bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    ::madvise(p, bytes, MADV_POPULATE_WRITE);  // an older kernel refuses it; no harm
#endif
    return p;
}

void releasePages(void* pages, size_t bytes) { ::munmap(pages, bytes); }

ReadStatus readWholeFile(const std::string& name, InputFile& input) {
    // Only a regular file is a database. Its type is looked at before it is opened, since
    // opening a FIFO waits for a writer and opening a device may act on it; the open itself
    // is non-blocking, and the type is checked again on the descriptor, in case the name
    // was replaced in between.
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return readFailure(input, ReadStatus::CannotOpen, errno);
    if (!S_ISREG(info.st_mode)) return notARegularFile(input, info);
    Fd file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || ::fcntl(file.fd, F_SETFL, 0) != 0)
        return readFailure(input, ReadStatus::CannotOpen, errno);
    if (!S_ISREG(info.st_mode)) return notARegularFile(input, info);
    const auto size = static_cast<uint64_t>(info.st_size);
    input.bytes = Block(size, pageAllocator());
    if (input.bytes.data() == nullptr) return ReadStatus::NoMemory;
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(file.fd, input.bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        // An error, or the file shrank while it was read.
        if (n <= 0) return readFailure(input, ReadStatus::ReadFailed, n < 0 ? errno : EIO);
        done += static_cast<uint64_t>(n);
    }
    input.size = size;
    input.id = idOf(info);
    return ReadStatus::Ok;
}

CreateStatus createReport(const std::string& reportName, const FileId& input, PendingReport& report) {
    std::string finalName;
    const int directory = openFinalDirectory(reportName, finalName);
    if (directory < 0) return reportFailure(report, CreateStatus::Failed, errno);
    struct stat old {};
    const bool replaces = ::fstatat(directory, finalName.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (replaces && sameFile(idOf(old), input)) {
        ::close(directory);
        return CreateStatus::SameFileAsInput;
    }
    // A directory can never take the report's name: refused before any work is done.
    if (replaces && S_ISDIR(old.st_mode)) {
        ::close(directory);
        return reportFailure(report, CreateStatus::Failed, EISDIR);
    }
    // A device, a FIFO or a socket at that name is written into, as a plain create would
    // do: renaming over it would put a regular file in place of /dev/null.
    if (replaces && !S_ISREG(old.st_mode)) {
        const int file = ::openat(directory, finalName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        const int code = errno;
        ::close(directory);
        if (file < 0) return reportFailure(report, CreateStatus::Failed, code);
        report.file = file;
        report.direct = true;
        return CreateStatus::Ok;
    }

    // Created and recorded for the signal handler in one step, as far as signals can tell.
    const SignalsHeld held;
    const std::string prefix = ".symdeck-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string tempName = prefix + std::to_string(attempt) + ".tmp";
        const int file = ::openat(directory, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file < 0 && errno == EEXIST) continue;
        if (file < 0) {
            reportFailure(report, CreateStatus::Failed, errno);
            break;
        }
        arm(directory, tempName);
        report.directory = directory;
        report.file = file;
        report.tempName = tempName;
        report.finalName = finalName;
        // Before the first byte is written, so the new text is never readable by more
        // people than the old one was.
        if (replaces && S_ISREG(old.st_mode)) takeOwnerAndMode(file, old);
        return CreateStatus::Ok;
    }
    ::close(directory);
    return CreateStatus::Failed;
}

bool commitReport(PendingReport& report) {
    if (const std::optional<bool> done = commitWithoutTemporary(report)) return *done;
    const SignalsHeld held;
    const int directory = static_cast<int>(report.directory);
    const bool closed = ::close(static_cast<int>(report.file)) == 0;
    const bool placed =
        closed && ::renameat(directory, report.tempName.c_str(), directory, report.finalName.c_str()) == 0;
    if (!placed) {
        reportFailure(report, false, errno);
        ::unlinkat(directory, report.tempName.c_str(), 0);
    }
    disarm();
    ::close(directory);
    forgetTemporary(report);
    return placed;
}

void discardReport(PendingReport& report) {
    if (discardWithoutTemporary(report)) return;
    const SignalsHeld held;
    const int directory = static_cast<int>(report.directory);
    if (report.file >= 0) ::close(static_cast<int>(report.file));
    ::unlinkat(directory, report.tempName.c_str(), 0);
    disarm();
    ::close(directory);
    forgetTemporary(report);
}

}  // namespace symdeck::platform

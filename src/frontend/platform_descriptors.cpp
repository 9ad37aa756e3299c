#include "frontend/platform_descriptors.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <unistd.h>

namespace symdeck::platform {

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // no progress on a non-empty write
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string reasonOf(int code) { return std::strerror(code); }

ReadStatus readFailure(InputFile& input, ReadStatus status, int code) {
    input.failure = reasonOf(code);
    return status;
}

ReadStatus notARegularFile(InputFile& input, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return readFailure(input, ReadStatus::CannotOpen, EISDIR);
    input.failure = "Not a regular file";
    return ReadStatus::CannotOpen;
}

FileId idOf(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), true};
}

SplitPath split(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::optional<bool> commitWithoutTemporary(PendingReport& report) {
    if (report.intoStream) return true;
    if (report.file < 0) return false;
    if (report.direct)
        return ::close(static_cast<int>(std::exchange(report.file, -1))) == 0 || reportFailure(report, false, errno);
    return std::nullopt;
}

bool discardWithoutTemporary(PendingReport& report) {
    if (report.direct && report.file >= 0) ::close(static_cast<int>(std::exchange(report.file, -1)));
    return report.intoStream || report.directory < 0;
}

void forgetTemporary(PendingReport& report) {
    report.file = -1;
    report.directory = -1;
    report.tempName.clear();
}

FileId idOfStream(Stream stream) {
    struct stat info {};
    if (::fstat(static_cast<int>(stream), &info) != 0) return {};
    return idOf(info);
}

FileId idOfFile(const std::string& name) {
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return {};
    return idOf(info);
}

void useStream(Stream stream, PendingReport& report) {
    report.file = static_cast<int>(stream);
    report.intoStream = true;
}

bool isTerminal(const PendingReport& report) {
    return report.file >= 0 && ::isatty(static_cast<int>(report.file)) == 1;
}

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool writeReport(PendingReport& report, const char* data, size_t size) {
    return writeAll(static_cast<int>(report.file), data, size) || reportFailure(report, false, errno);
}

bool writeStandardOutput(std::string_view text, std::string& reason) {
    if (writeAll(STDOUT_FILENO, text.data(), text.size())) return true;
    reason = std::strerror(errno);
    return false;
}

void writeStandardError(std::string_view text) { (void)writeAll(STDERR_FILENO, text.data(), text.size()); }

}  // namespace symdeck::platform

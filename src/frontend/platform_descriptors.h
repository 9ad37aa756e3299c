// What the POSIX and the WASI sides of the platform layer have in common: files and streams
// reached through descriptors, and paths cut at their last slash. platform_descriptors.cpp
// also holds the functions of platform.h that are the same on both sides (the standard
// streams, a file's identity, writing the report); platform_posix.cpp and
// platform_wasi.cpp hold the rest.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "frontend/platform.h"

namespace symdeck::platform {

// Writes all `size` bytes to `fd`, again where a signal interrupted the write; false on any
// failure, with errno saying why (EIO for a write that made no progress).
bool writeAll(int fd, const char* data, size_t size);

// The system's words for errno `code`.
std::string reasonOf(int code);
// A read that failed: `status`, with the system's reason for it.
ReadStatus readFailure(InputFile& input, ReadStatus status, int code);
// Why `name`, which stat describes as `info`, is no file to read: a directory, or anything
// else that is no regular file.
ReadStatus notARegularFile(InputFile& input, const struct stat& info);
// A report that failed: `result`, with the system's reason for it.
template <class Result>
Result reportFailure(PendingReport& report, Result result, int code) {
    report.failure = reasonOf(code);
    return result;
}

// The identity of the file `info` describes.
FileId idOf(const struct stat& info);

// A path cut at its last slash: "a/b/c" is "a/b" and "c", "c" is "." and "c", "/c" is "/"
// and "c". The name is empty when the path ends in a slash.
struct SplitPath {
    std::string directory;
    std::string name;
};
SplitPath split(const std::string& path);

// The end of a report that has no temporary to place, or nothing when it has one: a report
// written into a standard stream is done, one written straight into its final name is
// closed (true when the close succeeds), and one never created is a failure.
std::optional<bool> commitWithoutTemporary(PendingReport& report);
// Closes a report written straight into its final name; true when the report has no
// temporary left to remove (a stream, a direct report, or none created).
bool discardWithoutTemporary(PendingReport& report);
// The report's temporary is gone (placed or removed): no file, directory or name is left.
void forgetTemporary(PendingReport& report);

}  // namespace symdeck::platform

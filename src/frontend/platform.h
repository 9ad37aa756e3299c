// The operating system, behind one small interface: reading the database, the report file
// and its atomic replacement, cleanup on interruption, standard output, and large blocks of
// memory. platform_posix.cpp, platform_wasi.cpp and platform_windows.cpp implement it (the
// first two share platform_descriptors.cpp); nothing else in src/ calls the system
// directly, so the rest of the program builds unchanged on each.
//
// Names are UTF-8 everywhere in the program; the Windows side converts them to UTF-16 for
// the wide file API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/memory.h"

namespace symdeck::platform {

// Once, before anything else: the process-wide settings the run relies on (on POSIX a
// file-size limit must fail a write with an error instead of killing the process, and the
// interruption cleanup of createReport() is installed here; a signal the caller left
// ignored stays ignored).
void prepareProcess();

// What makes two names the same file: the device (volume) and the file's number on it.
struct FileId {
    uint64_t device = 0;
    uint64_t file = 0;
    bool known = false;
};

inline bool sameFile(const FileId& a, const FileId& b) {
    return a.known && b.known && a.device == b.device && a.file == b.file;
}

// The three standard streams, numbered as their POSIX descriptors.
enum class Stream { Input = 0, Output = 1, Error = 2 };

// What a standard stream is open on; unknown when it is closed (on Windows, also when it
// is no file on a disk: a console or a pipe is never a database).
FileId idOfStream(Stream stream);
// The file that `name` names, links followed; unknown when there is none.
FileId idOfFile(const std::string& name);

// Large blocks of memory, mapped at once (as huge or large pages where the system gives
// them), to be written before they are read. Null when the memory cannot be had.
void* allocatePages(size_t bytes);
void releasePages(void* pages, size_t bytes);
// The allocator the program gives the core for its blocks (format/memory.h): pages as above
// for large blocks, the heap for small ones and in sanitizer builds (page_allocator.cpp);
// the heap alone where the system has no pages to map.
BlockAllocator pageAllocator();

// A regular file read whole. Anything that is not a regular file (a directory, a FIFO, a
// device) is CannotOpen at once; opening never blocks.
enum class ReadStatus { Ok, CannotOpen, NoMemory, ReadFailed };
struct InputFile {
    Block bytes;
    uint64_t size = 0;
    FileId id;
    // Why it could not be opened or read, in the system's words ("Permission denied");
    // empty where the system gave no reason, and for memory that could not be had (the
    // message says so).
    std::string failure;
};
ReadStatus readWholeFile(const std::string& name, InputFile& input);

// The report on its way to the disk (or into a standard stream). Opaque to the run: the
// platform keeps its descriptors or handles here.
struct PendingReport {
    intptr_t directory = -1;  // the final name's directory, where the system has such handles
    intptr_t file = -1;       // the temporary file, or the standard stream
    std::string tempName;     // the temporary's name as the platform needs it
    std::string finalName;    // the name it replaces: the report's name, links followed
                              // (relative to `directory` where there is one)
    // Written into a standard stream that was open already: nothing is created, closed,
    // truncated or renamed.
    bool intoStream = false;
    // Written straight into the final name, which is a device or a FIFO (-o /dev/null):
    // no temporary, nothing renamed.
    bool direct = false;
    // Why the last of createReport, writeReport and commitReport that failed did, in the
    // system's words ("No space left on device").
    std::string failure;
};

enum class CreateStatus { Ok, SameFileAsInput, Failed };

// The standard stream that `reportName` opens, when it names one that is open already
// (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one of them). They
// are recognised by what they open, not by their spelling: the name must reach the stream
// through the system's links to open descriptors. An ordinary name of a file stays a
// report's name, even while a stream is open on that file. Nothing where the system has no
// such names.
std::optional<Stream> streamNamed(const std::string& reportName);

// Creates an empty temporary file in the directory of `reportName` (after following
// symbolic links to the file they name), unless that name is the file `input` itself or
// an existing directory (Failed, before anything is written).
// From here until commitReport() or discardReport() an interruption (a signal, Ctrl+C)
// removes the temporary before the process ends. One report is pending at a time.
// Where the system allows, the temporary takes the permissions (and owner) of the file it
// replaces here, before anything is written to it; otherwise commitReport() gives them.
CreateStatus createReport(const std::string& reportName, const FileId& input,
                          PendingReport& report);
// A standard stream as the report's destination, written at its current position: no
// temporary, nothing to replace. The caller has made sure that it is not the database.
void useStream(Stream stream, PendingReport& report);
// Whether the report goes to a terminal (a console on Windows), where the texts of the
// database are shown escaped.
bool isTerminal(const PendingReport& report);
bool standardOutputIsTerminal();
// Writes all `size` bytes; false on any failure (a full disk, a file-size limit, a closed
// descriptor). May be called from the writing thread.
bool writeReport(PendingReport& report, const char* data, size_t size);
// Closes the temporary, gives it the permissions (and, where allowed, the owner) of the
// file it replaces unless createReport() did, and puts it in place of the final name in
// one step. On failure the temporary is removed, the old report is untouched, and false is
// returned.
bool commitReport(PendingReport& report);
// Closes and removes the temporary; safe in any state, and a no-op after commitReport().
void discardReport(PendingReport& report);

// Standard output and standard error for the help text and the messages. False when not
// every byte could be written; `reason` then says why.
bool writeStandardOutput(std::string_view text, std::string& reason);
void writeStandardError(std::string_view text);

}  // namespace symdeck::platform

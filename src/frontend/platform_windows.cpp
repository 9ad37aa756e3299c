// The platform layer on Windows, through the wide (UTF-16) Win32 API.
//
// Names arrive in UTF-8 and are turned into absolute "\\?\" paths before any call, so that
// non-ASCII names work whatever the code page and paths past 260 characters need no
// manifest. The report is written to a temporary file in the final name's directory and
// moved over that name in one rename; a console event (Ctrl+C, Ctrl+Break, a closed console
// window) removes the temporary first.
#include "frontend/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <utility>

namespace symdeck::platform {

namespace {

// --- Text and names --------------------------------------------------------------------

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                          nullptr);
    return utf8;
}

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The absolute form of a name, as the file API takes it past MAX_PATH: "C:\a\b" becomes
// "\\?\C:\a\b" and "\\server\share\b" becomes "\\?\UNC\server\share\b". GetFullPathNameW
// first does what the system does to a plain name (relative parts, "/" separators,
// trailing dots and spaces), which the "\\?\" form would no longer do. A device name
// ("NUL", "\\.\pipe\x") stays as the system resolves it. Empty when the name has none.
std::wstring systemPath(const std::string& name) {
    const std::wstring wide = toWide(name);
    if (wide.empty() || startsWith(wide, L"\\\\?\\")) return wide;
    const DWORD need = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring full(need, L'\0');
    const DWORD got = ::GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return {};
    full.resize(got);
    if (startsWith(full, L"\\\\.\\") || startsWith(full, L"\\\\?\\")) return full;
    if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The system's description of an error, without its closing period and line end.
std::string describe(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n == 0 ? "error " + std::to_string(code) : toUtf8(std::wstring_view(text, n));
    if (text != nullptr) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// --- Handles ---------------------------------------------------------------------------

HANDLE toHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

// An owned file handle, closed on every path.
struct OwnedHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit OwnedHandle(HANDLE h) : handle(h) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileId{info.dwVolumeSerialNumber,
                  (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, true};
}

// The handle of a standard stream; null or INVALID_HANDLE_VALUE when it has none.
HANDLE streamHandle(Stream stream) {
    switch (stream) {
        case Stream::Input: return ::GetStdHandle(STD_INPUT_HANDLE);
        case Stream::Output: return ::GetStdHandle(STD_OUTPUT_HANDLE);
        case Stream::Error: break;
    }
    return ::GetStdHandle(STD_ERROR_HANDLE);
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// Writes every byte; the system error code on failure.
DWORD writeAll(HANDLE handle, const char* data, size_t size) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    while (size > 0) {
        const DWORD chunk = size > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!::WriteFile(handle, data, chunk, &done, nullptr)) return ::GetLastError();
        if (done == 0) return ERROR_WRITE_FAULT;
        data += done;
        size -= done;
    }
    return ERROR_SUCCESS;
}

// Text for a person: a console shows UTF-16 (its code page may not be UTF-8); anything
// else (a file, a pipe) gets the bytes as they are.
DWORD writeText(DWORD which, std::string_view text) {
    const HANDLE handle = ::GetStdHandle(which);
    if (isConsole(handle)) {
        const std::wstring wide = toWide(text);
        DWORD done = 0;
        return ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr)
                   ? ERROR_SUCCESS
                   : ::GetLastError();
    }
    return writeAll(handle, text.data(), text.size());
}

// --- Interruption ----------------------------------------------------------------------

// The temporary file that a console event must remove, if any. The console handler runs on
// a thread of its own, so the lock orders it against creating, committing and discarding:
// once the handler has taken the lock it keeps it, and no later rename can put a report in
// place or a new temporary appear while the process ends.
struct Interruption {
    SRWLOCK lock = SRWLOCK_INIT;
    bool hooked = false;
    bool pending = false;
    HANDLE file = INVALID_HANDLE_VALUE;  // the temporary's handle while it is pending
    std::wstring temporary;
};

// STATUS_CONTROL_C_EXIT, which cmd shows as -1073741510.
constexpr UINT kInterruptedStatus = 0xC000013A;

Interruption& interruption() {
    static Interruption state;
    return state;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    // A logoff or a shutdown may be another session's: the system's own handling decides.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    Interruption& state = interruption();
    ::AcquireSRWLockExclusive(&state.lock);
    // Closed first, so that the name goes at once rather than when the system gets round to
    // closing the ended process's handles. A write the other thread still has under way
    // then fails, and nothing comes after it.
    if (state.pending) {
        ::CloseHandle(state.file);
        ::DeleteFileW(state.temporary.c_str());
    }
    state.pending = false;
    // The status of an interrupted console program, whatever the other handlers would
    // do (Wine's default handling, for one, ends the process with status 0). Ending at once
    // also keeps the other threads from doing anything more.
    ::TerminateProcess(::GetCurrentProcess(), kInterruptedStatus);
    return TRUE;
}

// Called with the lock held.
void hookConsoleEvents(Interruption& state) {
    if (!state.hooked) state.hooked = ::SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

// --- Memory ----------------------------------------------------------------------------

// The large-page size, when this process may use large pages: that takes the "lock pages
// in memory" privilege, which only an administrator can grant. Zero otherwise.
size_t largePageSize() {
    static const size_t size = [] {
        const size_t minimum = ::GetLargePageMinimum();
        if (minimum == 0) return size_t{0};
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
            return size_t{0};
        TOKEN_PRIVILEGES wanted{};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        bool granted = ::LookupPrivilegeValueW(nullptr, L"SeLockMemoryPrivilege", &wanted.Privileges[0].Luid) &&
                       ::AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr) &&
                       ::GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
        ::CloseHandle(token);
        return granted ? minimum : size_t{0};
    }();
    return size;
}

}  // namespace

void prepareProcess() {
    // No dialog box for a drive without a medium: the open fails and says so.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Line ends stay single line feeds even if anything goes through the C streams.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    Interruption& state = interruption();
    ::AcquireSRWLockExclusive(&state.lock);
    hookConsoleEvents(state);
    ::ReleaseSRWLockExclusive(&state.lock);
}

void* allocatePages(size_t bytes) {
    if (bytes == 0) bytes = 1;
    if (const size_t large = largePageSize(); large != 0 && bytes >= large) {
        const size_t rounded = (bytes + large - 1) / large * large;
        if (void* p = ::VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES,
                                     PAGE_READWRITE))
            return p;
    }
    return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void releasePages(void* pages, size_t) {
    if (pages != nullptr) ::VirtualFree(pages, 0, MEM_RELEASE);
}

// A read or a report that failed, with the system's reason for the failure (its last
// error) where it gave one.
ReadStatus readFailed(InputFile& input, ReadStatus status, DWORD code = ::GetLastError()) {
    if (code != ERROR_SUCCESS) input.failure = describe(code);
    return status;
}
template <class Result>
Result reportFailed(PendingReport& report, Result result, DWORD code = ::GetLastError()) {
    if (code != ERROR_SUCCESS) report.failure = describe(code);
    return result;
}

ReadStatus readWholeFile(const std::string& name, InputFile& input) {
    const std::wstring path = systemPath(name);
    if (path.empty()) return readFailed(input, ReadStatus::CannotOpen);
    // A directory cannot be opened without FILE_FLAG_BACKUP_SEMANTICS; a pipe or a device
    // opens without waiting and is refused by its type.
    OwnedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return readFailed(input, ReadStatus::CannotOpen);
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return readFailed(input, ReadStatus::CannotOpen, ERROR_INVALID_FUNCTION);
    const uint64_t size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > SIZE_MAX / 2) return ReadStatus::NoMemory;
    input.bytes = Block(static_cast<size_t>(size), pageAllocator());
    if (input.bytes.data() == nullptr) return ReadStatus::NoMemory;
    uint64_t done = 0;
    while (done < size) {
        const uint64_t left = size - done;
        const DWORD chunk = left > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!::ReadFile(file.handle, input.bytes.data() + done, chunk, &got, nullptr) || got == 0)
            // An error, or the file shrank while it was read.
            return readFailed(input, ReadStatus::ReadFailed, got == 0 ? ERROR_HANDLE_EOF : ::GetLastError());
        done += got;
    }
    input.size = size;
    input.id = idOf(info);
    return ReadStatus::Ok;
}

FileId idOfStream(Stream stream) {
    const HANDLE handle = streamHandle(stream);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(handle, &info))
        return {};
    return idOf(info);
}

FileId idOfFile(const std::string& name) {
    const std::wstring path = systemPath(name);
    if (path.empty()) return {};
    OwnedHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !::GetFileInformationByHandle(file.handle, &info)) return {};
    return idOf(info);
}

// Windows has no names for the descriptors a process already holds: CON and CONOUT$ open
// the console anew, and an anonymous pipe has no name at all.
std::optional<Stream> streamNamed(const std::string&) { return std::nullopt; }

CreateStatus createReport(const std::string& reportName, const FileId& input, PendingReport& report) {
    report = PendingReport{};
    std::wstring target = systemPath(reportName);
    if (target.empty()) return reportFailed(report, CreateStatus::Failed);
    // A name that ends in a separator names a directory, never a file (a "\\?\" name keeps
    // its slashes as they were typed).
    if (target.back() == L'\\' || target.back() == L'/')
        return reportFailed(report, CreateStatus::Failed, ERROR_ACCESS_DENIED);

    // A device or a pipe at that name (NUL, CON, \\.\pipe\x) is written into, as a plain
    // create would: it has no directory for a temporary, and nothing to replace. A volume or
    // a disk opened raw is never written.
    if (startsWith(target, L"\\\\.\\")) {
        const HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return reportFailed(report, CreateStatus::Failed);
        if (::GetFileType(file) == FILE_TYPE_DISK) {
            ::CloseHandle(file);
            return reportFailed(report, CreateStatus::Failed, ERROR_ACCESS_DENIED);
        }
        report.file = fromHandle(file);
        report.direct = true;
        return CreateStatus::Ok;
    }

    // An existing report: the same-file test, and a symbolic link's target as the name that
    // is replaced (the link itself stays).
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    // A directory can never take the report's name: refused before any work is done.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return reportFailed(report, CreateStatus::Failed, ERROR_ACCESS_DENIED);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        OwnedHandle existing(::CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (existing.valid() && ::GetFileInformationByHandle(existing.handle, &info)) {
            if (sameFile(idOf(info), input)) return CreateStatus::SameFileAsInput;
            // A read-only report cannot be replaced, as a plain create could not open it.
            if ((info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
                FILE_ATTRIBUTE_READONLY)
                return reportFailed(report, CreateStatus::Failed, ERROR_ACCESS_DENIED);
            if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                std::wstring resolved(32768, L'\0');
                const DWORD n = ::GetFinalPathNameByHandleW(existing.handle, resolved.data(), 32768,
                                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
                if (n == 0 || n >= 32768) return reportFailed(report, CreateStatus::Failed);
                resolved.resize(n);
                target = std::move(resolved);
            }
        }
    }

    const size_t slash = target.rfind(L'\\');
    if (slash == std::wstring::npos) return reportFailed(report, CreateStatus::Failed);
    const std::wstring directory = target.substr(0, slash + 1);
    const std::wstring stem = directory + L".symdeck-" + std::to_wstring(::GetCurrentProcessId()) + L"-";

    Interruption& state = interruption();
    ::AcquireSRWLockExclusive(&state.lock);
    hookConsoleEvents(state);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring temporary = stem + std::to_wstring(attempt) + L".tmp";
        // Shared for deletion, so that the console handler's delete holds even while a
        // write of the other thread keeps the file in use.
        const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            report.file = fromHandle(file);
            report.tempName = toUtf8(temporary);
            report.finalName = toUtf8(target);
            state.temporary = std::move(temporary);
            state.file = file;
            state.pending = true;
            ::ReleaseSRWLockExclusive(&state.lock);
            return CreateStatus::Ok;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    const DWORD code = ::GetLastError();
    ::ReleaseSRWLockExclusive(&state.lock);
    return reportFailed(report, CreateStatus::Failed, code);
}

void useStream(Stream stream, PendingReport& report) {
    report = PendingReport{};
    report.file = fromHandle(streamHandle(stream));
    report.intoStream = true;
}

bool isTerminal(const PendingReport& report) { return report.file != -1 && isConsole(toHandle(report.file)); }

bool standardOutputIsTerminal() { return isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)); }

bool writeReport(PendingReport& report, const char* data, size_t size) {
    if (report.file == -1) return false;
    const DWORD code = writeAll(toHandle(report.file), data, size);
    return code == ERROR_SUCCESS || reportFailed(report, false, code);
}

bool commitReport(PendingReport& report) {
    if (report.intoStream) return true;
    if (report.file == -1) return false;
    if (report.direct) return ::CloseHandle(toHandle(std::exchange(report.file, -1))) != 0 || reportFailed(report, false);
    Interruption& state = interruption();
    ::AcquireSRWLockExclusive(&state.lock);
    const std::wstring temporary = toWide(report.tempName);
    const std::wstring target = toWide(report.finalName);
    bool done = ::CloseHandle(toHandle(report.file)) != 0;
    report.file = -1;
    if (done) {
        // The report keeps the hidden and system marks of the one it replaces (a plain
        // create would have had to ask for them to open it at all).
        const DWORD old = ::GetFileAttributesW(target.c_str());
        const DWORD kept = old == INVALID_FILE_ATTRIBUTES ? 0 : old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (kept != 0) ::SetFileAttributesW(temporary.c_str(), kept);
        // One rename, on the same volume: the old report stays whole until the new one is
        // in place. It fails, and leaves the old one, while another program has it open
        // without allowing its deletion (a viewer).
        done = ::MoveFileExW(temporary.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!done) {
        reportFailed(report, false);
        ::DeleteFileW(temporary.c_str());
    }
    state.pending = false;
    report.tempName.clear();
    ::ReleaseSRWLockExclusive(&state.lock);
    return done;
}

void discardReport(PendingReport& report) {
    if (report.intoStream || report.file == -1) return;
    if (report.direct) {
        ::CloseHandle(toHandle(std::exchange(report.file, -1)));
        return;
    }
    Interruption& state = interruption();
    ::AcquireSRWLockExclusive(&state.lock);
    ::CloseHandle(toHandle(report.file));
    report.file = -1;
    ::DeleteFileW(toWide(report.tempName).c_str());
    report.tempName.clear();
    state.pending = false;
    ::ReleaseSRWLockExclusive(&state.lock);
}

bool writeStandardOutput(std::string_view text, std::string& reason) {
    if (text.empty()) return true;
    const DWORD error = writeText(STD_OUTPUT_HANDLE, text);
    if (error == ERROR_SUCCESS) return true;
    reason = describe(error);
    return false;
}

void writeStandardError(std::string_view text) { writeText(STD_ERROR_HANDLE, text); }

}  // namespace symdeck::platform

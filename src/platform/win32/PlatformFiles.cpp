// kernel32 file and text services.
#include "win32/Win32Windows.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <limits>
#include <string>

namespace platform {

namespace {

// FILETIME counts 100-nanosecond intervals from 1601, so today's times in nanoseconds are past
// what 64 bits hold. Counted from 1970 they fit until 2262; a time beyond that saturates.
int64_t NanosecondsSince1970(uint64_t ticks) {
    constexpr uint64_t kTicksTo1970 = 116444736000000000;
    constexpr uint64_t kLargest = std::numeric_limits<int64_t>::max() / 100;
    const int64_t since = ticks >= kTicksTo1970 ? static_cast<int64_t>(std::min(ticks - kTicksTo1970, kLargest))
                                                : -static_cast<int64_t>(std::min(kTicksTo1970 - ticks, kLargest));
    return since * 100;
}

// Whether a standard handle leads somewhere: a file or pipe given by the caller, or a console.
bool Leads(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

namespace win32 {

std::wstring WidePath(const char* path) {
    const int units = path ? ::MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0) : 0;
    if (units <= 1) return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), units);
    wide.pop_back();  // the terminator is the string's own
    return wide;
}

}  // namespace win32

FileHandle CreateFileForWriting(const char* path) {
    const std::wstring wide = win32::WidePath(path);
    if (wide.empty()) return kInvalidFile;
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(file);
}

FileHandle CreateFreshFile(const char* path) {
    const std::wstring wide = win32::WidePath(path);
    if (wide.empty()) {
        errno = ENOENT;
        return kInvalidFile;
    }
    ::DeleteFileW(wide.c_str());
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return reinterpret_cast<FileHandle>(file);
    const DWORD failure = ::GetLastError();
    errno = failure == ERROR_ACCESS_DENIED                                     ? EACCES
            : failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS ? EEXIST
            : failure == ERROR_PATH_NOT_FOUND                                  ? ENOENT
                                                                               : EIO;
    return kInvalidFile;
}

bool WriteFile(FileHandle file, const void* bytes, uint32_t size, uint32_t* written) {
    DWORD count = 0;
    const BOOL ok = ::WriteFile(reinterpret_cast<HANDLE>(file), bytes, size, &count, nullptr);
    if (written) *written = count;
    return ok && count == size;
}

void CloseHandle(FileHandle file) {
    if (file != kInvalidFile) ::CloseHandle(reinterpret_cast<HANDLE>(file));
}

// The user's temporary folder is the user's alone. The unique part need not be secret: the name
// is taken only when nothing, file or link, is there.
FileHandle CreatePrivateFile(const char* prefix, const char* suffix, char* path, size_t pathCapacity) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return kInvalidFile;
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        wchar_t unique[32];
        std::swprintf(unique, 32, L"%08lx%04x", static_cast<unsigned long>(::GetCurrentProcessId()),
                      static_cast<unsigned>(now.LowPart + attempt) & 0xFFFFu);
        const std::wstring name = folder + win32::WidePath(prefix) + unique + win32::WidePath(suffix);
        const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) continue;
            return kInvalidFile;
        }
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, path, static_cast<int>(pathCapacity),
                                                nullptr, nullptr);
        if (bytes > 0) return reinterpret_cast<FileHandle>(file);
        ::CloseHandle(file);
        ::DeleteFileW(name.c_str());
        return kInvalidFile;
    }
    return kInvalidFile;
}

bool DeleteFile(const char* path) {
    const std::wstring wide = win32::WidePath(path);
    return !wide.empty() && ::DeleteFileW(wide.c_str());
}

// Narrow text is UTF-8 on every system, so that a log reads the same wherever it was written;
// malformed sequences become U+FFFD, as the flag-less conversion does since Vista.
int MultiByteToWideChar(const char* text, int byteCount, char16_t* out, int outCapacity) {
    if (byteCount == 0) return 0;
    return ::MultiByteToWideChar(CP_UTF8, 0, text, byteCount, win32::Wide(out), out ? outCapacity : 0);
}

bool GetFileStamp(const char* path, FileStamp& stamp) {
    const std::wstring wide = win32::WidePath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (wide.empty() || !::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return false;
    const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime;
    stamp.modified = NanosecondsSince1970(ticks);
    stamp.size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return true;
}

size_t RaiseOpenFileLimit() { return SIZE_MAX; }

// A windowed program gets no console of its own; cmd.exe's stays with cmd.exe unless asked for.
void AttachParentConsole() {
    const bool output = Leads(STD_OUTPUT_HANDLE);
    const bool errors = Leads(STD_ERROR_HANDLE);
    if ((output && errors) || !::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!output) std::freopen("CONOUT$", "w", stdout);
    if (!errors) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace platform

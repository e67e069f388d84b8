#include "io/FileExchange.h"
#include "io/SafeReplace.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr const char* kTemporaryMark = ".saving-";
constexpr int kNameAttempts = 16;

// Paths are UTF-8, as everywhere in the program.
std::wstring Wide(const std::string& text) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

std::string Narrow(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(bytes - 1));
    return narrow;
}

bool Fail(std::string& error, const std::string& what, DWORD code = GetLastError()) {
    wchar_t* message = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string reason = message ? Narrow(message) : "error " + std::to_string(code);
    LocalFree(message);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    error = what + ": " + reason;
    return false;
}

// The file a name finally leads to, links followed, or empty.
std::string FinalPath(const std::string& path, DWORD& attributes) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION information{};
    std::vector<wchar_t> final(32768);
    const bool informed = GetFileInformationByHandle(file, &information);
    const DWORD length = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const bool known = informed && length > 0 && length < final.size();
    const DWORD code = GetLastError();
    CloseHandle(file);
    SetLastError(code);
    attributes = information.dwFileAttributes;
    return known ? Narrow(final.data()) : std::string();
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// The pid in "<name>.saving-<pid>-<hex>", or 0 when the name is not one of ours for `name`.
unsigned long SavingPid(const std::string& entry, const std::string& name) {
    const std::string prefix = name + kTemporaryMark;
    if (entry.compare(0, prefix.size(), prefix) != 0) return 0;
    char* end = nullptr;
    const unsigned long pid = std::strtoul(entry.c_str() + prefix.size(), &end, 10);
    return pid > 0 && *end == '-' ? pid : 0;
}

bool RunningProcess(unsigned long pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

}  // namespace

bool ResolveSaveTarget(const std::string& path, std::string& target, std::string& error) {
    DWORD attributes = 0;
    target = FinalPath(path, attributes);
    if (target.empty()) return Fail(error, "cannot save " + path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = "cannot save " + path + ": not a regular file";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(error, "cannot save " + path, ERROR_ACCESS_DENIED);
    // Opening it for writing changes nothing, and says whether the save would be let through.
    const HANDLE file = CreateFileW(Wide(target).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(error, "cannot save " + path);
    CloseHandle(file);
    return true;
}

// CREATE_NEW fails on any file of that name, a link included, so nothing planted is followed.
// The mode's counterparts (attributes, security descriptor) come from the target when
// ReplaceFileW swaps the two.
bool WriteTemporaryBeside(const std::string& target, const std::string& bytes, std::string& temporary,
                          std::string& error) {
    std::mt19937_64 random(std::random_device{}());
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < kNameAttempts; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, "%s%lu-%08llx", kTemporaryMark, GetCurrentProcessId(),
                      static_cast<unsigned long long>(random() & 0xffffffffull));
        temporary = target + suffix;
        file = CreateFileW(Wide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) return Fail(error, "cannot save " + target);
    const bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
    const DWORD code = GetLastError();
    CloseHandle(file);
    if (written) return true;
    DeleteFileW(Wide(temporary).c_str());
    return Fail(error, "cannot save " + target, code);
}

// ReplaceFileW puts the temporary file in the target's place and the target's file under a third
// name, which then takes the temporary name: the two files have swapped names.
bool ExchangeFiles(const std::string& target, const std::string& temporary, std::string& error) {
    const std::wstring aside = Wide(temporary + "-old");
    if (!ReplaceFileW(Wide(target).c_str(), Wide(temporary).c_str(), aside.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr)) {
        const DWORD code = GetLastError();
        // The target went aside but the new file could not follow: the target comes back.
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            MoveFileExW(aside.c_str(), Wide(target).c_str(), MOVEFILE_WRITE_THROUGH);
        return Fail(error, "cannot save " + target, code);
    }
    if (!MoveFileExW(aside.c_str(), Wide(temporary).c_str(), MOVEFILE_WRITE_THROUGH))
        return Fail(error, "cannot save " + target);
    return true;
}

void RemoveTemporary(const std::string& temporary) { DeleteFileW(Wide(temporary).c_str()); }

void RemoveStaleSaves(const std::string& path) {
    DWORD attributes = 0;
    const std::string target = FinalPath(path, attributes);
    const size_t slash = target.find_last_of("\\/");
    if (target.empty() || slash == std::string::npos) return;
    const std::string folder = target.substr(0, slash + 1);
    const std::string name = target.substr(slash + 1);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(Wide(folder + name + kTemporaryMark + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string entry = Narrow(found.cFileName);
        const unsigned long pid = SavingPid(entry, name);
        if (pid != 0 && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !RunningProcess(pid))
            DeleteFileW(Wide(folder + entry).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

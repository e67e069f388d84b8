#include "io/FileExchange.h"

#include "io/win32/WideText.h"

#include <string>
#include <vector>

namespace {

bool Fail(std::string& error, const std::string& what, DWORD code = GetLastError()) {
    error = what + ": " + SystemReason(code);
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

// ReplaceFileW puts the other file in the target's place and the target's file under a third
// name, which then takes the other's name: the two files have swapped names. It keeps the
// target's security descriptor, attributes and streams.
ExchangeResult ExchangeFiles(const std::string& target, std::string& other, std::string& error) {
    const std::string aside = other + "-old";
    if (!ReplaceFileW(Wide(target).c_str(), Wide(other).c_str(), Wide(aside).c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                      nullptr, nullptr)) {
        const DWORD code = GetLastError();
        // The target went aside but the new file could not follow: the target comes back.
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            MoveFileExW(Wide(aside).c_str(), Wide(target).c_str(), MOVEFILE_WRITE_THROUGH);
        Fail(error, "cannot save " + target, code);
        return ExchangeResult::kFailed;
    }
    if (!MoveFileExW(Wide(aside).c_str(), Wide(other).c_str(), MOVEFILE_WRITE_THROUGH)) other = aside;
    return ExchangeResult::kExchanged;
}

// What a rename could lose here (the security descriptor, attributes), ReplaceFileW carries over.
// A hard link to the file is not kept: the other name goes on giving the text before the save.
bool SavedInPlace(const std::string&, const std::string&, const std::string&, ReplaceOutcome&, std::string&) {
    return false;
}

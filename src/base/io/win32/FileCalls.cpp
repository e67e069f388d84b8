#include "io/FileCalls.h"

#include "io/win32/WideText.h"

#include <algorithm>

namespace {

bool Fail(std::string& reason, DWORD code = GetLastError()) {
    reason = SystemReason(code);
    return false;
}

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

// CREATE_NEW fails on any file of that name, a link included, so nothing planted is followed.
FileHandle CreateExclusive(const std::string& path, bool& taken, std::string& reason) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD code = GetLastError();
    taken = file == INVALID_HANDLE_VALUE && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS);
    if (file == INVALID_HANDLE_VALUE) Fail(reason, code);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
}

bool WriteAll(FileHandle file, const std::string& bytes, std::string& reason) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(Native(file), bytes.data() + done, piece, &written, nullptr) || written == 0)
            return Fail(reason);
        done += written;
    }
    return true;
}

bool SyncAndClose(FileHandle file, std::string& reason) {
    const bool flushed = FlushFileBuffers(Native(file));
    const DWORD code = GetLastError();
    if (!CloseHandle(Native(file)) || !flushed) return Fail(reason, flushed ? GetLastError() : code);
    return true;
}

void CloseFile(FileHandle file) { CloseHandle(Native(file)); }

// The security descriptor and attributes come from the file replaced when ReplaceFileW swaps the
// two; a plain rename over a file gives the new one the folder's inherited ones.
bool TakeOwnerAndMode(FileHandle, const std::string&, std::string&) { return true; }

bool MakePrivate(FileHandle, std::string&) { return true; }

bool RenameToNewName(const std::string& from, const std::string& to, std::string& reason) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH) || Fail(reason);
}

bool RenameOver(const std::string& from, const std::string& to, std::string& reason) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           Fail(reason);
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()); }

// MOVEFILE_WRITE_THROUGH has already put the folder's change on disk.
void SyncFolderOf(const std::string&) {}

unsigned long ThisProcess() { return GetCurrentProcessId(); }

bool ProcessRunning(unsigned long process) {
    const HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(handle, &code) && code == STILL_ACTIVE;
    CloseHandle(handle);
    return running;
}

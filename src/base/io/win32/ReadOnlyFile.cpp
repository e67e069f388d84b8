#include "io/ReadOnlyFile.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <memory>

namespace {

// Paths are UTF-8, as everywhere in the program.
std::unique_ptr<wchar_t[]> WidePath(const char* path) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    if (units <= 0) return nullptr;
    auto wide = std::make_unique<wchar_t[]>(static_cast<size_t>(units));
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.get(), units) != units) return nullptr;
    return wide;
}

HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

// Opening a named pipe or a device never waits here; a directory opens too (with backup
// semantics), so that it is refused as a directory rather than reported missing.
ReadOnlyFile::ReadOnlyFile(const char* path) {
    const std::unique_ptr<wchar_t[]> wide = path ? WidePath(path) : nullptr;
    if (!wide) return;
    HANDLE file = CreateFileW(wide.get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<intptr_t>(file);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (IsOpen()) CloseHandle(Native(handle_));
}

bool ReadOnlyFile::Inspect(Kind& kind) const {
    if (!IsOpen()) return false;
    kind = Kind{};
    if (GetFileType(Native(handle_)) != FILE_TYPE_DISK) return true;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(Native(handle_), &info)) return false;
    kind.regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    kind.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // The change time (metadata included) is only in the basic information.
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(Native(handle_), FileBasicInfo, &basic, sizeof basic)) return false;
    kind.stamp = {info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                  (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime,
                  static_cast<uint64_t>(basic.ChangeTime.QuadPart), kind.size};
    return true;
}

bool ReadOnlyFile::ReadExactly(uint8_t* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD count = 0;
        if (!ReadFile(Native(handle_), into + done, piece, &count, nullptr) || count == 0) return false;
        done += count;
    }
    return true;
}

// kernel32 resources: what player/QuarnEngine.rc compiled into the program.
#include "win32/Win32Windows.h"

#include <string>

namespace platform {

namespace {

ResourceBlock Load(HRSRC found) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const uint8_t*>(bytes), ::SizeofResource(module, found)};
}

}  // namespace

ResourceBlock FindResource(int id, const char* type) {
    if (!type) return {};
    const std::wstring wideType(type, type + std::char_traits<char>::length(type));
    return Load(::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), wideType.c_str()));
}

// The group is a GRPICONDIR: a 6-byte header with the count, then 14-byte entries whose first
// byte is the width (0 for 256) and whose last two are the id of the RT_ICON holding the image.
ResourceBlock FindIconImage(int groupId, int size) {
    constexpr int kGroupIcon = 14;
    constexpr int kIcon = 3;
    constexpr size_t kHeaderBytes = 6;
    constexpr size_t kEntryBytes = 14;
    HMODULE module = ::GetModuleHandleW(nullptr);
    const ResourceBlock group = Load(::FindResourceW(module, MAKEINTRESOURCEW(groupId), MAKEINTRESOURCEW(kGroupIcon)));
    if (group.size < kHeaderBytes) return {};
    const size_t count = group.bytes[4] | (group.bytes[5] << 8);
    for (size_t i = 0; i < count && kHeaderBytes + (i + 1) * kEntryBytes <= group.size; ++i) {
        const uint8_t* entry = group.bytes + kHeaderBytes + i * kEntryBytes;
        const int width = entry[0] == 0 ? 256 : entry[0];
        if (width != size) continue;
        const int iconId = entry[12] | (entry[13] << 8);
        return Load(::FindResourceW(module, MAKEINTRESOURCEW(iconId), MAKEINTRESOURCEW(kIcon)));
    }
    return {};
}

}  // namespace platform

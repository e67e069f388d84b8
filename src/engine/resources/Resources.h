#pragma once
// The program's own resources, found by type and id as FindResource would find them.

#include <cstddef>
#include <cstdint>

inline constexpr const char* kPngResourceType = "PNG";
inline constexpr int kMissingTextureResourceId = 106;
inline constexpr int kIconResourceId = 101;

struct ResourceBlock {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

// FindResource, LoadResource, LockResource and SizeofResource in one: an empty block when the
// program holds no such resource.
ResourceBlock FindProgramResource(const char* type, int id);

// One image of the icon group `kIconResourceId` as a PNG: 16, 32 or 48 pixels square. Other
// sizes give an empty block.
ResourceBlock FindProgramIcon(int size);

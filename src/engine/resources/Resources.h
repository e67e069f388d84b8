#pragma once
// The program's own resources, found by type and id as FindResource would find them.

#include "platform/Platform.h"

inline constexpr const char* kPngResourceType = "PNG";
inline constexpr int kMissingTextureResourceId = 106;
inline constexpr int kIconResourceId = 101;

using ResourceBlock = platform::ResourceBlock;

// FindResource, LoadResource, LockResource and SizeofResource in one: an empty block when the
// program holds no such resource.
ResourceBlock FindProgramResource(const char* type, int id);

// One image of the icon group `kIconResourceId` as a PNG: 16, 32 or 48 pixels square. Other
// sizes give an empty block.
ResourceBlock FindProgramIcon(int size);

#pragma once
// The ".track" file: a little-endian signed 32-bit key count N, then N keys of 9 bytes each
// (signed 32-bit row, IEEE-754 single value, signed 8-bit interpolation type), no header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The keys of one track, as its file holds them and the sync device samples them.
struct SyncKey {
    int32_t row = 0;
    float value = 0.0f;
    int32_t type = 0;  // 0 step, 1 linear, 2 smooth, 3 ramp; anything else reads 0
};

struct SyncTrack {
    std::string name;
    std::vector<SyncKey> keys;
    int32_t keyCount = 0;
};

inline constexpr size_t kTrackPathCapacity = 260;  // including the terminator
inline constexpr size_t kTrackKeyBytes = 9;
inline constexpr size_t kTrackHeaderBytes = 4;

// Replaces the track's keys with the file's (the name is left alone). A missing file leaves
// the track empty and is silent; a damaged one is logged and keeps the keys that are sound:
// those fully present in the file, up to the first row that does not ascend.
// Returns true only when the whole file was read as intact. Anything at the path that is not
// a regular file counts as missing.
bool LoadTrackFile(const char* path, SyncTrack& track);
// The same for a file already in memory; `path` only names it in the log.
bool ParseTrackFile(const uint8_t* bytes, size_t size, const char* path, SyncTrack& track);

// Base path + "_" + name + ".track" into `out`; false (and `out` empty) when it does not fit.
bool BuildTrackPath(const char* basePath, const char* name, char (&out)[kTrackPathCapacity]);

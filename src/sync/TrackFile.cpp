#include "sync/TrackFile.h"

#include "log/ILogger.h"
#include "sync/Sync.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

void ReportDamage(const char* problem, const char* path) {
    if (gLogger)
        gLogger->WritePair(problem, path);
}

int32_t ReadInt32LE(const unsigned char* bytes) {
    const uint32_t bits = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    return static_cast<int32_t>(bits);
}

float ReadFloatLE(const unsigned char* bytes) {
    const int32_t bits = ReadInt32LE(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

int64_t FileSize(FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

// Reads up to `count` keys, stopping at the first row that does not ascend so that the
// binary search in GetValue always sees sorted rows.
bool ReadKeys(FILE* file, const char* path, int32_t count, SyncTrack& track) {
    track.keys.reserve(static_cast<size_t>(count));
    unsigned char bytes[kTrackKeyBytes];
    for (int32_t i = 0; i < count; ++i) {
        if (std::fread(bytes, 1, sizeof(bytes), file) != sizeof(bytes)) {
            ReportDamage("ERROR: Track File Could Not Be Read: ", path);
            return false;
        }
        SyncKey key;
        key.row = ReadInt32LE(bytes);
        key.value = ReadFloatLE(bytes + 4);
        key.type = static_cast<int8_t>(bytes[8]);
        if (!track.keys.empty() && key.row <= track.keys.back().row) {
            ReportDamage("ERROR: Track File Rows Do Not Ascend: ", path);
            return false;
        }
        track.keys.push_back(key);
    }
    return true;
}

}  // namespace

bool LoadTrackFile(const char* path, SyncTrack& track) {
    track.keys.clear();
    track.keyCount = 0;
    FilePtr file(std::fopen(path, "rb"));
    if (!file)
        return false;

    const int64_t size = FileSize(file.get());
    unsigned char countBytes[kTrackHeaderBytes];
    if (size < kTrackHeaderBytes || std::fread(countBytes, 1, sizeof(countBytes), file.get()) != sizeof(countBytes)) {
        ReportDamage("ERROR: Track File Has No Key Count: ", path);
        return false;
    }
    const int32_t count = ReadInt32LE(countBytes);
    if (count < 0) {
        ReportDamage("ERROR: Track File Has A Negative Key Count: ", path);
        return false;
    }
    // The count is checked against the file size before anything is allocated for it.
    const int64_t keysInFile = (size - kTrackHeaderBytes) / kTrackKeyBytes;
    const bool complete = count <= keysInFile;
    if (!complete)
        ReportDamage("ERROR: Track File Is Shorter Than Its Key Count: ", path);

    const bool sound = ReadKeys(file.get(), path, complete ? count : static_cast<int32_t>(keysInFile), track);
    track.keyCount = static_cast<int32_t>(track.keys.size());
    return complete && sound;
}

bool BuildTrackPath(const char* basePath, const char* name, char (&out)[kTrackPathCapacity]) {
    const int length = std::snprintf(out, kTrackPathCapacity, "%s_%s.track", basePath, name);
    if (length < 0 || static_cast<size_t>(length) >= kTrackPathCapacity) {
        out[0] = '\0';
        return false;
    }
    return true;
}

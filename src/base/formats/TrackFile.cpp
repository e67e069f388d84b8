#include "formats/TrackFile.h"

#include "log/ILogger.h"

#include <cstdio>
#include <cstring>

#include "io/WholeFile.h"

namespace {

// A million keys, far more than a track of a few minutes at 16 rows a beat could hold.
constexpr size_t kMaxTrackFileBytes = kTrackHeaderBytes + kTrackKeyBytes * (size_t{1} << 20);

void ReportDamage(const char* problem, const char* path) {
    if (gLogger)
        gLogger->WritePair(problem, path);
}

int32_t ReadInt32LE(const uint8_t* bytes) {
    const uint32_t bits = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    return static_cast<int32_t>(bits);
}

float ReadFloatLE(const uint8_t* bytes) {
    const int32_t bits = ReadInt32LE(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// Reads `count` keys, stopping at the first row that does not ascend so that the binary
// search in GetValue always sees sorted rows.
bool ReadKeys(const uint8_t* bytes, const char* path, int32_t count, SyncTrack& track) {
    track.keys.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i, bytes += kTrackKeyBytes) {
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
    const WholeFile file = ReadWholeFile(path, kMaxTrackFileBytes);
    // Whatever is not a regular file is as absent as a missing one: silent, the track reads 0.
    if (file.status == WholeFileStatus::kMissing || file.status == WholeFileStatus::kNotRegularFile)
        return false;
    if (!file.Ok()) {
        ReportDamage("ERROR: Track File Could Not Be Read: ", path);
        return false;
    }
    return ParseTrackFile(file.bytes.data(), file.bytes.size(), path, track);
}

bool ParseTrackFile(const uint8_t* bytes, size_t size, const char* path, SyncTrack& track) {
    track.keys.clear();
    track.keyCount = 0;
    if (size < kTrackHeaderBytes) {
        ReportDamage("ERROR: Track File Has No Key Count: ", path);
        return false;
    }
    const int32_t count = ReadInt32LE(bytes);
    if (count < 0) {
        ReportDamage("ERROR: Track File Has A Negative Key Count: ", path);
        return false;
    }
    // The count is checked against the file size before anything is allocated for it.
    const size_t keysInFile = (size - kTrackHeaderBytes) / kTrackKeyBytes;
    const bool complete = static_cast<size_t>(count) <= keysInFile;
    if (!complete)
        ReportDamage("ERROR: Track File Is Shorter Than Its Key Count: ", path);

    const int32_t keysToRead = complete ? count : static_cast<int32_t>(keysInFile);
    const bool sound = ReadKeys(bytes + kTrackHeaderBytes, path, keysToRead, track);
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

#pragma once
// A fingerprint of what the player reads from its run directory to draw a frame: the timeline's
// tracks, shaders, textures, models, greetings and soundtrack. Taken from the files' bytes, not
// their times, so that a rebuild that makes the same data keeps it and any change to one byte
// does not.

#include <cstdint>
#include <filesystem>
#include <string>

struct DataFingerprint {
    uint64_t hash = 0;
    int64_t files = 0;
    int64_t bytes = 0;
    // Entries that are not regular files (sockets, pipes, devices, links to folders): not read.
    int64_t skipped = 0;
};

// Walks the data folders in name order, each file's path and bytes into one 64-bit hash. Bounded:
// a folder nested too deep or holding too many files ends the walk with `error` set.
bool FingerprintRunData(const std::filesystem::path& runDirectory, DataFingerprint& fingerprint, std::string& error);

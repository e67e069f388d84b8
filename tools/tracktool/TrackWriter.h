#pragma once
// Writes a ".track" file: little-endian key count, then 9 bytes a key (row, value, type).

#include "formats/TrackFile.h"

#include <string>
#include <vector>

// False after a message on stderr when the file cannot be written.
bool WriteTrackFile(const std::string& path, const std::vector<SyncKey>& keys);

#pragma once
// Saving a file that other programs read while it is written (the player's watcher, a text
// editor): the bytes go to a temporary file beside it, reach the disk, and only then take the
// file's name, so a reader or a crash sees the old file or the new one, never half of one.

#include <string>

// False with `error` set when the file could not be saved; the old file is then untouched and
// no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

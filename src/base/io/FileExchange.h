#pragma once
// The system's part of a guarded save (io/SafeReplace.h), one implementation per system (posix/,
// win32/). Every error is "<what>: <the system's own reason>".

#include <string>

// The file a save of `path` changes: symbolic links resolved, a regular file that its owner has
// not made read-only and that this user may write.
bool ResolveSaveTarget(const std::string& path, std::string& target, std::string& error);

// Creates a file of a name no other file has, beside `target`, never through a link planted in
// its place, and puts `bytes` in it, on disk, with the mode, owner and group of `target`.
bool WriteTemporaryBeside(const std::string& target, const std::string& bytes, std::string& temporary,
                          std::string& error);

// Swaps the files the two names give in one step: each name then gives the other's file.
bool ExchangeFiles(const std::string& target, const std::string& temporary, std::string& error);

void RemoveTemporary(const std::string& temporary);


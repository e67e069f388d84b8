#pragma once
// The few file system calls a save makes, one implementation per system (posix/, win32/). Paths
// are UTF-8. A failure gives the system's own reason in `reason`, for the caller to say what it
// was doing.

#include <cstdint>
#include <string>

using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// A new file of that name, or kNoFile; never opens a file or a link already there (`taken` says
// so, for the caller to try another name).
FileHandle CreateExclusive(const std::string& path, bool& taken, std::string& reason);
bool WriteAll(FileHandle file, const std::string& bytes, std::string& reason);
// On disk, then closed, so that a delayed write error is seen.
bool SyncAndClose(FileHandle file, std::string& reason);
void CloseFile(FileHandle file);
// Gives a new file the owner, group and mode of `like`, where the system has them and `like` is.
bool TakeOwnerAndMode(FileHandle file, const std::string& like, std::string& reason);
// Readable by this user only, where the system has modes.
bool MakePrivate(FileHandle file, std::string& reason);

// Renames `from` to `to` only where nothing is called `to` yet.
bool RenameToNewName(const std::string& from, const std::string& to, std::string& reason);
// Renames `from` over `to` in one step, the folder on disk after it.
bool RenameOver(const std::string& from, const std::string& to, std::string& reason);
bool RemoveFile(const std::string& path);
// The folder's list of names on disk, where the system keeps it apart from the files.
void SyncFolderOf(const std::string& path);

unsigned long ThisProcess();
// Unknown counts as running: a file of a process that may still write it is left alone.
bool ProcessRunning(unsigned long process);

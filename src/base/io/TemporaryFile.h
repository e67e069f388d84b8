#pragma once
// A file written under a name of its own beside the file it is to become, as git's tempfile and
// lockfile do: created exclusively (never through a file or link already there), removed when
// the process ends unless it was committed or kept, and committed by one rename, so that a reader
// or a crash sees the old file or the new one, never half of one.

#include "io/FileCalls.h"

#include <string>

class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    enum class Access {
        kAsTarget,  // the owner, group and mode of the target, where it exists
        kPrivate,   // readable by this user only: a copy of a file others may not read
    };
    // Beside `target` (links already resolved), under the first free name io/SaveNames.h gives.
    // Errors name `target`.
    bool Create(const std::string& target, std::string& error, Access access = Access::kAsTarget);
    bool Write(const std::string& bytes, std::string& error);
    // The bytes on disk and the file closed: what a commit needs.
    bool Finish(std::string& error);
    // Takes `destination`'s place in one step, with its folder on disk.
    bool CommitAs(const std::string& destination, std::string& error);
    // Renamed to `name`, where no file is, and left there whatever happens to the process: a file
    // that may come to hold the only copy of a text.
    bool KeepAs(const std::string& name, std::string& error);
    void Remove();

    const std::string& Path() const { return path; }

private:
    bool Fail(const std::string& reason, std::string& error);
    void Close();
    void Disown();

    std::string target;
    std::string path;
    FileHandle file = kNoFile;
    bool owned = false;  // ours to remove
    int slot = -1;       // where io/TemporaryCleanup.h's table holds it, if it does
};

// Replaces the file at `path` (a link is written through) with `bytes` by a temporary file. False
// with `error` set when it could not; the old file is then untouched and nothing is left beside.
bool SaveFile(const std::string& path, const std::string& bytes, std::string& error);

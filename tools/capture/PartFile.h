#pragma once
// A capture's file while it is being written.

#include "OwnerClaim.h"

#include <filesystem>
#include <string>
#include <sys/types.h>

// The file is written under a hidden name beside its final one, ".NAME.PID.part", and renamed when
// complete, so that the final name never holds half a file. Removed unless kept. Its claim beside
// (".NAME.PID.part.claim", OwnerClaim.h) says whose it is, so that the next capture into the same
// name knows a killed run's part from a running one's, on any node, and removes it.
class PartFile {
public:
    explicit PartFile(const std::filesystem::path& file);
    // Where process `process` writes `file` while it makes it.
    static std::filesystem::path For(const std::filesystem::path& file, pid_t process);
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile();

    // Made at once, so that an unwritable place is known before any frame is drawn; the parts of
    // killed runs into the same name go first.
    bool Create(std::string& error);
    // The whole content, to disk, for those written here rather than by ffmpeg.
    bool Write(const std::string& bytes, std::string& error);
    bool Keep(const std::filesystem::path& file, std::string& error);

    const std::filesystem::path path;

private:
    const std::filesystem::path target;
    OwnerClaim claim;  // taken before the file is made, released after it is kept or removed
    int fd = -1;
};

#pragma once
// The video's file while it is being written.

#include <filesystem>
#include <string>

// The video is written under a hidden name beside its final one and renamed when complete, so
// that the final name never holds half a file. Removed unless kept.
class PartFile {
public:
    explicit PartFile(const std::filesystem::path& file);
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile();

    // Made at once, so that an unwritable place is known before any frame is drawn.
    bool Create(std::string& error);
    bool Keep(const std::filesystem::path& file, std::string& error);

    const std::filesystem::path path;

private:
    bool created = false;
};


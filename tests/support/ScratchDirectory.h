#pragma once
// An empty directory of the running test's own in the system's temporary directory, named after
// the test so that parallel test processes never share one, and removed with all it holds.

#include <filesystem>
#include <string>

class ScratchDirectory {
public:
    // Named "<prefix>-<suite>-<test>"; whatever an earlier, interrupted run left there is cleared.
    explicit ScratchDirectory(const std::string& prefix);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of `name` inside the directory.
    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

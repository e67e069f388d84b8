#include "PartFile.h"

#include "CaptureSession.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

// ".name.pid.part", appended in place: GCC 12 at -O3 takes the inlined copies of "." + name
// for overlapping ones.
std::string PartFileName(const std::filesystem::path& file) {
    std::string name(1, '.');
    name.append(file.filename().native()).append(1, '.').append(std::to_string(getpid())).append(".part");
    return name;
}

}  // namespace

PartFile::PartFile(const std::filesystem::path& file) : path(file.parent_path() / PartFileName(file)) {}

PartFile::~PartFile() {
    if (created) unlink(path.c_str());
}

bool PartFile::Create(std::string& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write into " + Quoted(path.parent_path()) + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    created = true;
    return true;
}

bool PartFile::Keep(const std::filesystem::path& file, std::string& error) {
    std::error_code failure;
    std::filesystem::rename(path, file, failure);
    if (failure) {
        error = "cannot rename the finished video to " + Quoted(file) + ": " + failure.message();
        return false;
    }
    created = false;
    return true;
}

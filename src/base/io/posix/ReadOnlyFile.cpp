#include "io/ReadOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint64_t Nanoseconds(const timespec& time) {
    return static_cast<uint64_t>(time.tv_sec) * 1000000000u + static_cast<uint64_t>(time.tv_nsec);
}

}  // namespace

// O_NONBLOCK makes opening a FIFO return at once.
ReadOnlyFile::ReadOnlyFile(const char* path)
    : handle_(path ? ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : kClosed) {
    if (handle_ < 0) handle_ = kClosed;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (IsOpen()) ::close(static_cast<int>(handle_));
}

bool ReadOnlyFile::Inspect(Kind& kind) const {
    struct stat info {};
    if (!IsOpen() || ::fstat(static_cast<int>(handle_), &info) != 0 || info.st_size < 0) return false;
    kind.regular = S_ISREG(info.st_mode);
    kind.size = static_cast<uint64_t>(info.st_size);
    kind.stamp = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), Nanoseconds(info.st_mtim),
                  Nanoseconds(info.st_ctim), kind.size};
    return true;
}

bool ReadOnlyFile::ReadExactly(uint8_t* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t count = ::read(static_cast<int>(handle_), into + done, size - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

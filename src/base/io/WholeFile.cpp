#include "io/WholeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }

private:
    int fd_;
};

WholeFile Failure(WholeFileStatus status) {
    WholeFile file;
    file.status = status;
    return file;
}

bool ReadAll(int fd, uint8_t* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t count = ::read(fd, into + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

}  // namespace

WholeFile ReadWholeFile(const char* path, size_t maxBytes) {
    if (!path)
        return Failure(WholeFileStatus::kMissing);
    // O_NONBLOCK makes opening a FIFO return at once; the type is then checked on the opened
    // descriptor, so nothing can be swapped in between the check and the read.
    const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Get() < 0)
        return Failure(WholeFileStatus::kMissing);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        return Failure(WholeFileStatus::kReadError);
    if (!S_ISREG(info.st_mode))
        return Failure(WholeFileStatus::kNotRegularFile);
    if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxBytes)
        return Failure(WholeFileStatus::kTooLarge);

    WholeFile whole;
    whole.bytes.resize(static_cast<size_t>(info.st_size));
    if (!ReadAll(file.Get(), whole.bytes.data(), whole.bytes.size()))
        return Failure(WholeFileStatus::kReadError);
    whole.status = WholeFileStatus::kOk;
    return whole;
}

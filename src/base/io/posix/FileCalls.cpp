#include "io/FileCalls.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(std::string& reason, int code = errno) {
    reason = std::strerror(code);
    return false;
}

int Fd(FileHandle file) { return static_cast<int>(file); }

}  // namespace

// 0666 as any new file gets, less the umask: the caller gives it the mode of the file it replaces
// before it writes a byte.
FileHandle CreateExclusive(const std::string& path, bool& taken, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    taken = fd < 0 && errno == EEXIST;
    if (fd < 0) Fail(reason);
    return fd < 0 ? kNoFile : fd;
}

bool WriteAll(FileHandle file, const std::string& bytes, std::string& reason) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(Fd(file), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Fail(reason, written == 0 ? EIO : errno);
        done += static_cast<size_t>(written);
    }
    return true;
}

bool SyncAndClose(FileHandle file, std::string& reason) {
    const bool synced = ::fsync(Fd(file)) == 0;
    const int code = errno;
    if (::close(Fd(file)) != 0 || !synced) return Fail(reason, synced ? errno : code);
    return true;
}

void CloseFile(FileHandle file) { ::close(Fd(file)); }

bool MakePrivate(FileHandle file, std::string& reason) { return ::fchmod(Fd(file), 0600) == 0 || Fail(reason); }

bool TakeOwnerAndMode(FileHandle file, const std::string& like, std::string& reason) {
    struct stat target {};
    struct stat made {};
    if (::stat(like.c_str(), &target) != 0) return errno == ENOENT || Fail(reason);
    if (::fstat(Fd(file), &made) != 0) return Fail(reason);
    const bool owned = made.st_uid == target.st_uid && made.st_gid == target.st_gid;
    if (!owned && ::fchown(Fd(file), target.st_uid, target.st_gid) != 0) return Fail(reason);
    return ::fchmod(Fd(file), target.st_mode & 07777) == 0 || Fail(reason);
}

// A file system that cannot refuse to replace in the rename itself (NFS) makes a second link,
// which fails where the name is taken, and drops the first. One without links either (FAT) looks
// first: the names carry this process's id, so only a killed run's file could be there.
bool RenameToNewName(const std::string& from, const std::string& to, std::string& reason) {
#ifdef RENAME_NOREPLACE  // Linux; a browser's file system has only links
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return Fail(reason);
#endif
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP) return Fail(reason);
    struct stat there {};
    if (::lstat(to.c_str(), &there) == 0) return Fail(reason, EEXIST);
    return ::rename(from.c_str(), to.c_str()) == 0 || Fail(reason);
}

bool RenameOver(const std::string& from, const std::string& to, std::string& reason) {
    if (::rename(from.c_str(), to.c_str()) != 0) return Fail(reason);
    SyncFolderOf(to);
    return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

unsigned long ThisProcess() { return static_cast<unsigned long>(::getpid()); }

bool ProcessRunning(unsigned long process) {
    // A number no pid can be would name a process group once cast.
    if (process == 0 || process > static_cast<unsigned long>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
}

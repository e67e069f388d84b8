#include "io/FileExchange.h"

#include "io/SaveNames.h"
#include "io/TemporaryFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Two switches let tests reach the paths this machine's file system would not take:
//   QUARN_SAVE_EXCHANGE=none  the exchange answers as on NFS and FAT, which have none;
//   QUARN_SAVE_IN_PLACE=1     every save is made in place, as for a file a rename would change.

namespace {

bool Fail(std::string& error, const std::string& what, int code = errno) {
    error = what + ": " + std::strerror(code);
    return false;
}

bool Switched(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set && std::strcmp(set, value) == 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd; }

private:
    int fd;
};

// Whether this user may give a new file the owner and group of `info`.
bool MayTakeOwner(const struct stat& info) {
    if (::geteuid() == 0) return true;
    if (info.st_uid != ::geteuid()) return false;
    if (info.st_gid == ::getegid()) return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
    const int listed = ::getgroups(count, groups.data());
    for (int index = 0; index < listed; ++index)
        if (groups[static_cast<size_t>(index)] == info.st_gid) return true;
    return false;
}

// Any extended attribute but the SELinux label, which the folder gives a new file alike; a POSIX
// ACL is one (system.posix_acl_access).
bool HasAttributes(const std::string& target) {
#ifdef __EMSCRIPTEN__  // a page's in-memory files carry none
    (void)target;
    return false;
#else
    const ssize_t size = ::listxattr(target.c_str(), nullptr, 0);
    if (size <= 0) return false;
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t listed = ::listxattr(target.c_str(), names.data(), names.size());
    for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1)
        if (std::strcmp(names.data() + at, "security.selinux") != 0) return true;
    return false;
#endif
}

bool RenameKeeps(const std::string& target, const struct stat& info) {
    return !Switched("QUARN_SAVE_IN_PLACE", "1") && info.st_nlink == 1 && MayTakeOwner(info) &&
           !HasAttributes(target);
}

// At most `limit` bytes from the start of the file.
bool ReadStart(int fd, size_t limit, std::string& bytes) {
    bytes.assign(limit, '\0');
    size_t done = 0;
    while (done < limit) {
        const ssize_t got = ::pread(fd, bytes.data() + done, limit - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return true;
}

// Over the old bytes, then cut to length: the file never stands empty.
bool WriteInto(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
}

// Whether `target` still names the file open as `fd`: a save by rename replaces it.
bool StillNamed(int fd, const std::string& target) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(target.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// The text in the file is copied aside and on disk before a byte of the file changes; a crash
// leaves the copy, and the next start says where it is.
ReplaceOutcome SaveInPlace(const std::string& target, const std::string& expected, const std::string& bytes,
                           std::string& error) {
    const Descriptor file(::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    std::string now;
    if (file.Get() < 0 || !ReadStart(file.Get(), expected.size() + 1, now)) {
        Fail(error, "cannot save " + target);
        return ReplaceOutcome::kRefused;
    }
    if (now != expected) return ReplaceOutcome::kChanged;
    TemporaryFile copy;
    if (!copy.Create(target, error, TemporaryFile::Access::kPrivate) || !copy.Write(now, error) ||
        !copy.Finish(error) || !copy.KeepAs(CopyName(copy.Path(), "aside"), error))
        return ReplaceOutcome::kRefused;
    const std::string aside = copy.Path();
    SyncFolderOf(aside);
    if (!ReadStart(file.Get(), expected.size() + 1, now) || now != expected) {
        RemoveFile(aside);
        return ReplaceOutcome::kChanged;
    }
    if (!WriteInto(file.Get(), bytes)) {
        const int code = errno;
        if (!WriteInto(file.Get(), expected)) {
            Fail(error, "cannot save " + target + "; its text before the save is in " + aside, code);
            return ReplaceOutcome::kRefused;
        }
        RemoveFile(aside);
        Fail(error, "cannot save " + target, code);
        return ReplaceOutcome::kRefused;
    }
    // Another save renamed its file over this one meanwhile: the bytes went into the file it
    // replaced, and its save stands.
    const bool landed = StillNamed(file.Get(), target);
    RemoveFile(aside);
    SyncFolderOf(aside);
    return landed ? ReplaceOutcome::kReplaced : ReplaceOutcome::kChanged;
}

}  // namespace

bool ResolveSaveTarget(const std::string& path, std::string& target, std::string& error) {
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) return Fail(error, "cannot save " + path);
    target = resolved;
    struct stat info {};
    if (::lstat(resolved, &info) != 0) return Fail(error, "cannot save " + path);
    if (!S_ISREG(info.st_mode)) {
        error = "cannot save " + path + ": not a regular file";
        return false;
    }
    // The superuser may write any file, so the owner's read-only mark is what stops the save
    // here, as it stops a text editor, whoever runs the player.
    if (!(info.st_mode & S_IWUSR)) return Fail(error, "cannot save " + path, EACCES);
    if (::faccessat(AT_FDCWD, resolved, W_OK, AT_EACCESS) != 0) return Fail(error, "cannot save " + path);
    return true;
}

ExchangeResult ExchangeFiles(const std::string& target, std::string& other, std::string& error) {
    if (Switched("QUARN_SAVE_EXCHANGE", "none")) return ExchangeResult::kUnsupported;
#ifndef RENAME_EXCHANGE  // Linux only
    (void)target;
    (void)other;
    (void)error;
    return ExchangeResult::kUnsupported;
#else
    if (::renameat2(AT_FDCWD, other.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        SyncFolderOf(target);
        return ExchangeResult::kExchanged;
    }
    if (errno == EINVAL || errno == ENOSYS) return ExchangeResult::kUnsupported;
    Fail(error, "cannot save " + target);
    return ExchangeResult::kFailed;
#endif
}

bool SavedInPlace(const std::string& target, const std::string& expected, const std::string& bytes,
                  ReplaceOutcome& outcome, std::string& error) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0 || RenameKeeps(target, info)) return false;
    outcome = SaveInPlace(target, expected, bytes, error);
    return true;
}

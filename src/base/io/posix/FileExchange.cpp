#include "io/FileExchange.h"
#include "io/SafeReplace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* kTemporaryMark = ".saving-";
constexpr int kNameAttempts = 16;

bool Fail(std::string& error, const std::string& what, int code = errno) {
    error = what + ": " + std::strerror(code);
    return false;
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
    // Closes now, so that a failure of the close (a delayed write error) is seen.
    bool Close() { return ::close(std::exchange(fd, -1)) == 0; }

private:
    int fd;
};

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

std::string TemporaryName(const std::string& target, std::mt19937_64& random) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%s%ld-%08llx", kTemporaryMark, static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(random() & 0xffffffffull));
    return target + suffix;
}

// The pid in "<name>.saving-<pid>-<hex>", or 0 when the name is not one of ours for `name`.
long SavingPid(const std::string& entry, const std::string& name) {
    const std::string prefix = name + kTemporaryMark;
    if (entry.compare(0, prefix.size(), prefix) != 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(entry.c_str() + prefix.size(), &end, 10);
    return pid > 0 && *end == '-' ? pid : 0;
}

bool RunningProcess(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

void SyncDirectoryOf(const std::string& path) {
    const Descriptor directory(::open(path.substr(0, path.rfind('/') + 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0) ::fsync(directory.Get());
}

// Some file systems (NFS, FAT, some FUSE ones) cannot exchange two names in one step. There the
// three renames do the same, and the file is missing for a moment between the first two; the
// player's watcher waits for a file to settle before it reads it.
bool ExchangeByRenames(const std::string& target, const std::string& temporary) {
    const std::string aside = temporary + "-old";
    if (::rename(target.c_str(), aside.c_str()) != 0) return false;
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::rename(aside.c_str(), target.c_str());
        errno = code;
        return false;
    }
    return ::rename(aside.c_str(), temporary.c_str()) == 0;
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

bool WriteTemporaryBeside(const std::string& target, const std::string& bytes, std::string& temporary,
                          std::string& error) {
    struct stat like {};
    if (::stat(target.c_str(), &like) != 0) return Fail(error, "cannot save " + target);
    std::mt19937_64 random(std::random_device{}());
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
        temporary = TemporaryName(target, random);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(error, "cannot save " + target);
    Descriptor file(fd);
    struct stat made {};
    const bool sound =
        ::fstat(fd, &made) == 0 &&
        ((made.st_uid == like.st_uid && made.st_gid == like.st_gid) || ::fchown(fd, like.st_uid, like.st_gid) == 0) &&
        ::fchmod(fd, like.st_mode & 07777) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0 && file.Close();
    if (sound) return true;
    const int code = errno;
    ::unlink(temporary.c_str());
    return Fail(error, "cannot save " + target, code);
}

bool ExchangeFiles(const std::string& target, const std::string& temporary, std::string& error) {
    const bool exchanged = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0 ||
                           (errno == EINVAL && ExchangeByRenames(target, temporary));
    if (!exchanged) return Fail(error, "cannot save " + target);
    SyncDirectoryOf(target);
    return true;
}

void RemoveTemporary(const std::string& temporary) { ::unlink(temporary.c_str()); }

void RemoveStaleSaves(const std::string& path) {
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) return;
    const std::string target = resolved;
    const size_t slash = target.rfind('/');
    const std::string folder = target.substr(0, slash + 1);
    const std::string name = target.substr(slash + 1);
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) return;
    while (const dirent* entry = ::readdir(directory)) {
        const long pid = SavingPid(entry->d_name, name);
        struct stat info {};
        if (pid != 0 && !RunningProcess(pid) && ::lstat((folder + entry->d_name).c_str(), &info) == 0 &&
            !S_ISDIR(info.st_mode))
            ::unlink((folder + entry->d_name).c_str());
    }
    ::closedir(directory);
}

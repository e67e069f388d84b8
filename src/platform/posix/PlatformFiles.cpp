// kernel32 file and text services on POSIX.
#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileHandle CreateFileForWriting(const char* path) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? kInvalidFile : static_cast<FileHandle>(fd);
}

FileHandle CreateFreshFile(const char* path) {
    // What cannot be removed (a folder, another user's file in a shared folder) makes O_EXCL fail.
    ::unlink(path);
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    return fd < 0 ? kInvalidFile : static_cast<FileHandle>(fd);
}

bool WriteFile(FileHandle file, const void* bytes, uint32_t size, uint32_t* written) {
    const char* p = static_cast<const char*>(bytes);
    uint32_t done = 0;
    // write() may return short counts on signals; WriteFile on a disk file writes it all.
    while (done < size) {
        ssize_t n = ::write(static_cast<int>(file), p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<uint32_t>(n);
    }
    if (written) *written = done;
    return done == size;
}

void CloseHandle(FileHandle file) {
    if (file != kInvalidFile) ::close(static_cast<int>(file));
}

namespace {

// A folder of this user's that no one else may look into (a link is not one).
bool IsPrivateDirectory(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & 077) == 0;
}

// XDG_RUNTIME_DIR is made for such files; without one, the user's state folder, made private.
std::string PrivateDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && IsPrivateDirectory(runtime)) return runtime;
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (state && state[0] == '/')
        base = state;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.local/state";
    if (base.empty()) return {};
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    const std::string directory = base + "/quarn";
    ::mkdir(directory.c_str(), 0700);
    return IsPrivateDirectory(directory) ? directory : std::string();
}

}  // namespace

// mkostemps creates the file with O_EXCL and mode 0600: never through an existing name or link.
FileHandle CreatePrivateFile(const char* prefix, const char* suffix, char* path, size_t pathCapacity) {
    const std::string directory = PrivateDirectory();
    if (directory.empty()) return kInvalidFile;
    const std::string name = directory + "/" + prefix + "XXXXXX" + suffix;
    if (name.size() >= pathCapacity) return kInvalidFile;
    std::memcpy(path, name.c_str(), name.size() + 1);
    const int fd = ::mkostemps(path, static_cast<int>(std::strlen(suffix)), O_CLOEXEC);
    return fd < 0 ? kInvalidFile : static_cast<FileHandle>(fd);
}

bool DeleteFile(const char* path) { return ::unlink(path) == 0; }

bool GetFileStamp(const char* path, FileStamp& stamp) {
    struct stat status {};
    if (!path || ::stat(path, &status) != 0) return false;
    stamp.modified = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.size = static_cast<int64_t>(status.st_size);
    return true;
}

size_t RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;  // the usual default, to be safe
    if (limit.rlim_cur < limit.rlim_max) {
        struct rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<size_t>(limit.rlim_cur);
}

namespace {

// Decodes one UTF-8 sequence starting at s[i]; returns the code point and advances i.
// Overlong forms, surrogates and truncated sequences yield U+FFFD and consume one byte.
char32_t DecodeUtf8(const unsigned char* s, int count, int& i) {
    unsigned char c = s[i];
    int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > count) {
        ++i;
        return length == 1 ? c : 0xFFFD;
    }
    if (length == 1) {
        ++i;
        return c;
    }
    char32_t cp = c & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        unsigned char next = s[i + k];
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return cp;
}

}  // namespace

int MultiByteToWideChar(const char* text, int byteCount, char16_t* out, int outCapacity) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    int units = 0;
    for (int i = 0; i < byteCount;) {
        char32_t cp = DecodeUtf8(s, byteCount, i);
        int need = cp >= 0x10000 ? 2 : 1;
        if (out) {
            if (units + need > outCapacity) return 0;
            if (need == 2) {
                cp -= 0x10000;
                out[units] = static_cast<char16_t>(0xD800 + (cp >> 10));
                out[units + 1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                out[units] = static_cast<char16_t>(cp);
            }
        }
        units += need;
    }
    return units;
}

void AttachParentConsole() {}

}  // namespace platform

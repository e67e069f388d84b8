#include "PeakMemory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Without allocating: it is read while frames are encoded.
long ReadPeak(const char* statusFile) {
    const int fd = open(statusFile, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[4096];
    ssize_t got;
    do {
        got = read(fd, text, sizeof text - 1);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got <= 0) return 0;
    text[got] = '\0';
    const char* line = std::strstr(text, "\nVmHWM:");
    return line ? std::strtol(line + 7, nullptr, 10) : 0;
}

}  // namespace

long PeakKilobytes(pid_t process) {
    char file[32];
    std::snprintf(file, sizeof file, "/proc/%d/status", static_cast<int>(process));
    return ReadPeak(file);
}

long OwnPeakKilobytes() {
    return ReadPeak("/proc/self/status");
}

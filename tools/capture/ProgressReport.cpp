#include "ProgressReport.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kInterval{250};

}  // namespace

void ProgressReport::Update(int64_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSent < kInterval) return;
    lastSent = now;
    char text[64];
    Send(text, std::snprintf(text, sizeof text, "%" PRId64 " %" PRId64 "\n", firstFrame, done));
}

void ProgressReport::End(int64_t done, long peakKilobytes, long ffmpegPeakKilobytes) {
    char text[96];
    Send(text, std::snprintf(text, sizeof text, "%" PRId64 " %" PRId64 " %ld %ld\n", firstFrame, done, peakKilobytes,
                             ffmpegPeakKilobytes));
}

// A parent gone or not reading loses only its progress line; the frames go on.
void ProgressReport::Send(const char* text, int length) {
    ssize_t written;
    do {
        written = write(fd, text, static_cast<size_t>(length));
    } while (written < 0 && errno == EINTR);
}

std::optional<ProgressReport::Line> ProgressReport::Parse(std::string_view text) {
    const std::string copy(text.substr(0, 95));
    Line line;
    long long first = 0, done = 0;
    int consumed = 0;
    const int read = std::sscanf(copy.c_str(), "%18lld %18lld%n %ld %ld%n", &first, &done, &consumed,
                                 &line.peakKilobytes, &line.ffmpegPeakKilobytes, &consumed);
    if ((read != 2 && read != 4) || consumed != static_cast<int>(copy.size()) || first < 0 || done < 0)
        return std::nullopt;
    line.firstFrame = first;
    line.done = done;
    return line;
}

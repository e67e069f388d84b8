#pragma once
// How far a segment's process has come, told to the capture that started it through a pipe, so
// that the whole run has one progress line. Each report is one short line, written whole (below
// PIPE_BUF), so that the processes sharing the pipe never interleave:
//   "FIRST DONE\n" while drawing, "FIRST DONE PEAK FFMPEG_PEAK\n" at the end (peaks in kilobytes),
// FIRST being the segment's first frame.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

class ProgressReport {
public:
    ProgressReport(int fd, int64_t firstFrame) : fd(fd), firstFrame(firstFrame) {}
    // A few times a second at most.
    void Update(int64_t done);
    void End(int64_t done, long peakKilobytes, long ffmpegPeakKilobytes);

    struct Line {
        int64_t firstFrame = 0;
        int64_t done = 0;
        long peakKilobytes = -1;  // -1 until the end
        long ffmpegPeakKilobytes = -1;
    };
    // One line without its newline; null for anything else.
    static std::optional<Line> Parse(std::string_view text);

private:
    void Send(const char* text, int length);

    const int fd;
    const int64_t firstFrame;
    std::chrono::steady_clock::time_point lastSent{};
};

#include "StillProgress.h"

#include <algorithm>
#include <cmath>

namespace {

// A still that takes longer than this shows its line.
constexpr std::chrono::seconds kQuiet{2};
constexpr std::chrono::milliseconds kRedrawInterval{250};

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// "1:02", minutes and seconds.
void FormatLeft(double seconds, char* text, size_t size) {
    const long whole = std::lround(seconds);
    std::snprintf(text, size, "%ld:%02ld left", whole / 60, whole % 60);
}

}  // namespace

void StillProgress::Begin(const std::string& what) {
    name = what;
    start = Clock::now();
    rendersStart = {};
    lastDrawn = {};
}

void StillProgress::Update(const CaptureProgress& progress) {
    const Clock::time_point now = Clock::now();
    const bool rendering = progress.framesRun >= progress.framesToRun;
    if (rendering && rendersStart == Clock::time_point{}) rendersStart = now;
    if (now - start < kQuiet || now - lastDrawn < kRedrawInterval) return;
    lastDrawn = now;
    char left[32] = "";
    if (rendering && progress.rendersDone > 0)
        FormatLeft(Seconds(now - rendersStart) / progress.rendersDone * (progress.renders - progress.rendersDone), left,
                   sizeof left);
    else if (!rendering && progress.framesRun > 0)
        FormatLeft(Seconds(now - start) / progress.framesRun * (progress.framesToRun - progress.framesRun), left,
                   sizeof left);
    // The trailing spaces cover what a longer earlier line left behind.
    if (rendering && progress.renders == 1)
        std::fprintf(stream, "\r%s: drawing it    ", name.c_str());
    else if (rendering)
        std::fprintf(stream, "\r%s: sub-frame %d of %d  %s    ", name.c_str(),
                     std::min(progress.rendersDone + 1, progress.renders), progress.renders, left);
    else
        std::fprintf(stream, "\r%s: running the frames before it, %lld of %lld  %s    ", name.c_str(),
                     static_cast<long long>(progress.framesRun), static_cast<long long>(progress.framesToRun), left);
    std::fflush(stream);
    drawn = true;
}

void StillProgress::End() {
    if (!drawn) return;
    std::fputc('\n', stream);
    std::fflush(stream);
    drawn = false;
}

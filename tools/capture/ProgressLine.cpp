#include "ProgressLine.h"

#include <cmath>

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{250};

// "1:02:03", or "2:03" under an hour.
void FormatDuration(double seconds, char* text, size_t size) {
    const long whole = std::lround(seconds);
    const long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    if (hours > 0)
        std::snprintf(text, size, "%ld:%02ld:%02ld", hours, minutes, rest);
    else
        std::snprintf(text, size, "%ld:%02ld", minutes, rest);
}

}  // namespace

ProgressLine::ProgressLine(int64_t total, std::FILE* stream) : total(total), stream(stream) {}

void ProgressLine::Update(int64_t done) {
    const Clock::time_point now = Clock::now();
    if (drawn && done < total && now - lastDrawn < kRedrawInterval) return;
    lastDrawn = now;
    Draw(done);
}

void ProgressLine::Draw(int64_t done) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = elapsed > 0.0 ? done / elapsed : 0.0;
    char left[32] = "--:--";
    if (rate > 0.0) FormatDuration((total - done) / rate, left, sizeof left);
    const double share = total > 0 ? 100.0 * done / total : 100.0;
    // The trailing spaces cover what a longer earlier line left behind.
    std::fprintf(stream, "\rframe %lld of %lld  %5.1f%%  %.2f frames/s  %s left    ", static_cast<long long>(done),
                 static_cast<long long>(total), share, rate, left);
    std::fflush(stream);
    drawn = true;
}

void ProgressLine::End() {
    if (!drawn) return;
    std::fputc('\n', stream);
    std::fflush(stream);
    drawn = false;
}

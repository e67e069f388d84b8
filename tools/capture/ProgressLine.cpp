#include "ProgressLine.h"

#include <cmath>
#include <utility>

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{250};

}  // namespace

void FormatDuration(double seconds, char* text, size_t size) {
    const long whole = std::lround(seconds);
    const long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    if (hours > 0)
        std::snprintf(text, size, "%ld:%02ld:%02ld", hours, minutes, rest);
    else
        std::snprintf(text, size, "%ld:%02ld", minutes, rest);
}

ProgressLine::ProgressLine(int64_t total, std::FILE* stream, Measure written, int64_t alreadyDone)
    : total(total), stream(stream), written(std::move(written)), alreadyDone(alreadyDone) {}

void ProgressLine::Update(int64_t done) {
    const Clock::time_point now = Clock::now();
    if (drawn && (done < total || drawnDone == total) && now - lastDrawn < kRedrawInterval) return;
    lastDrawn = now;
    Draw(done);
}

void ProgressLine::Draw(int64_t done) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = elapsed > 0.0 ? (done - alreadyDone) / elapsed : 0.0;
    char left[32] = "--:--";
    if (rate > 0.0) FormatDuration((total - done) / rate, left, sizeof left);
    const double share = total > 0 ? 100.0 * done / total : 100.0;
    char size[32] = "";
    EstimateSize(done, size, sizeof size);
    // The trailing spaces cover what a longer earlier line left behind.
    std::fprintf(stream, "\rframe %lld of %lld  %5.1f%%  %.2f frames/s  %s left%s    ", static_cast<long long>(done),
                 static_cast<long long>(total), share, rate, left, size);
    std::fflush(stream);
    drawn = true;
    drawnDone = done;
}

// The encoder holds some frames back before writing, so the estimate starts low and firms up.
void ProgressLine::EstimateSize(int64_t done, char* text, size_t size) const {
    const uint64_t bytes = written ? written() : 0;
    if (bytes == 0 || done <= 0) return;
    const double estimate = static_cast<double>(bytes) * total / done;
    // "0.0 MB of ~0.0 MB" would tell nothing of a small video.
    const bool small = estimate < 0.1e6;
    const double unit = small ? 1e3 : 1e6;
    const char* name = small ? "kB" : "MB";
    std::snprintf(text, size, "  %.1f %s of ~%.1f %s", bytes / unit, name, estimate / unit, name);
}

void ProgressLine::End() {
    if (!drawn) return;
    std::fputc('\n', stream);
    std::fflush(stream);
    drawn = false;
}

#include "audio/SmoothedClock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Reports within this many seconds of the estimate are late reports; further off, the source
// was moved (or the device fell behind badly) and the clock takes the report as it is.
constexpr double kJumpSeconds = 0.25;
// Bounds older than this are forgotten, so a device clock that drifts from the monotonic one
// is followed; a second holds dozens of mixer updates.
constexpr double kBoundWindowSeconds = 1.0;
// Frames further apart than this cannot place a report (several mixer updates may fall
// between them, and the report seen is the last).
constexpr double kPlacingFrameSeconds = 0.05;
constexpr double kNoMiddle = std::numeric_limits<double>::quiet_NaN();
// The clock closes its gap to the estimate with this time constant, and never runs more than
// kMaxSlew faster or slower than real time while it does: corrections show as a change of
// pace, never as a jump, and the clock never stands still or steps back. The limit is reached
// only after a lock, when the first report can be a whole mixer period old.
constexpr double kCorrectionSeconds = 0.2;
constexpr double kMaxSlew = 0.25;

}  // namespace

double SmoothedClock::Follow(const ClockReport& report) {
    if (!report.playing) {
        locked = false;
        return report.position;
    }
    const double lower = report.position - report.time;
    if (!locked || std::fabs(lower - BestOffset(report.time)) > kJumpSeconds)
        return Lock(report);

    const bool placed = report.position != lastPosition && report.time - lastTime <= kPlacingFrameSeconds;
    Remember({report.time, lower, placed ? report.position - (report.time + lastTime) / 2.0 : kNoMiddle});
    const double elapsed = std::max(0.0, report.time - lastTime);
    const double freeRunning = output + elapsed;
    const double gap = BestOffset(report.time) + report.time - freeRunning;
    const double limit = kMaxSlew * elapsed;
    output = freeRunning + std::clamp(gap * std::min(1.0, elapsed / kCorrectionSeconds), -limit, limit);
    lastTime = report.time;
    lastPosition = report.position;
    return output;
}

double SmoothedClock::Lock(const ClockReport& report) {
    boundCount = 0;
    Remember({report.time, report.position - report.time, kNoMiddle});
    locked = true;
    output = report.position;
    lastTime = report.time;
    lastPosition = report.position;
    return output;
}

void SmoothedClock::Remember(const Bound& bound) {
    newest = boundCount == 0 ? 0 : (newest + 1) % kBoundCapacity;
    bounds[newest] = bound;
    boundCount = std::min(boundCount + 1, kBoundCapacity);
}

// The newest bound always counts, so a long stall between frames still leaves an estimate.
double SmoothedClock::BestOffset(double now) const {
    double lower = bounds[newest].lower;
    std::array<double, kBoundCapacity> middles;
    size_t middleCount = 0;
    for (size_t i = 0; i < boundCount; ++i) {
        if (now - bounds[i].time > kBoundWindowSeconds) continue;
        lower = std::max(lower, bounds[i].lower);
        if (!std::isnan(bounds[i].middle)) middles[middleCount++] = bounds[i].middle;
    }
    if (middleCount == 0) return lower;
    const auto median = middles.begin() + middleCount / 2;
    std::nth_element(middles.begin(), median, middles.begin() + middleCount);
    return *median;
}

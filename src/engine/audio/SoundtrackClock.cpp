#include "audio/SoundtrackClock.h"

#include "audio/Soundtrack.h"

#include <chrono>

namespace {

double MonotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

float SoundtrackClock::ReadSeconds() {
    const double now = MonotonicSeconds();
    if (!IsPlaying(soundtrack))
        return static_cast<float>(smoothed.Follow({now, PlaybackSeconds(soundtrack), false}));
    if (!queryLookedUp) {
        offsetLatencyQuery = FindOffsetLatencyQuery();
        queryLookedUp = true;
    }
    return static_cast<float>(smoothed.Follow({now, HeardSeconds(soundtrack, offsetLatencyQuery), true}));
}

#pragma once
// The capture tool's frame clock: at exactly the position the capture session steps it to,
// so every frame reads a moment of the music computed, not measured.

#include "audio/IFrameClock.h"

class SteppedClock final : public IFrameClock {
public:
    void Set(float newSeconds) { seconds = newSeconds; }

    float ReadSeconds() override { return seconds; }
    // Nothing to re-lock: every reading is already exact.
    void Resync() override {}

private:
    float seconds = 0.0f;
};

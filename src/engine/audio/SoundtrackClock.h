#pragma once
// The player's frame clock: follows the soundtrack as it is heard, smoothly. While the music
// plays, the reading is the smoothed one (see SmoothedClock); paused, stopped or unreadable, it
// is the source's own offset.

#include "audio/IFrameClock.h"
#include "audio/SmoothedClock.h"

#include <AL/al.h>
#include <AL/alext.h>

struct Soundtrack;

class SoundtrackClock final : public IFrameClock {
public:
    explicit SoundtrackClock(const Soundtrack& soundtrack) : soundtrack(soundtrack) {}

    float ReadSeconds() override;
    void Resync() override { smoothed.Resync(); }

private:
    const Soundtrack& soundtrack;
    SmoothedClock smoothed;
    // Looked up at the first reading, once OpenAL's context is current.
    bool queryLookedUp = false;
    LPALGETSOURCEDVSOFT offsetLatencyQuery = nullptr;
};

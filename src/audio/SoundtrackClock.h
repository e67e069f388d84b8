#pragma once
// The player's frame clock: the position of the soundtrack's source.

#include "audio/IFrameClock.h"

struct Soundtrack;

class SoundtrackClock final : public IFrameClock {
public:
    explicit SoundtrackClock(const Soundtrack& soundtrack) : soundtrack(soundtrack) {}

    float ReadSeconds() override;
    void Resync() override {}

private:
    const Soundtrack& soundtrack;
};

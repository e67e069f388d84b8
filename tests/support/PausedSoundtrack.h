#pragma once
// A silent soundtrack at the demo's tempo, long enough for the whole demo and paused, so that
// the beat position each frame reads is exactly the one the test sets.

#include "audio/Soundtrack.h"

class PausedSoundtrack {
public:
    static constexpr float kTempo = 126.0f;

    PausedSoundtrack();
    ~PausedSoundtrack();
    PausedSoundtrack(const PausedSoundtrack&) = delete;
    PausedSoundtrack& operator=(const PausedSoundtrack&) = delete;

    // False when there is no audio device or the source could not be set up.
    bool Ready() const;
    // Moves the playback position; a position OpenAL refuses fails the running test.
    void SetSeconds(float seconds);
    void SetBeat(float beat);

    Soundtrack soundtrack;
};

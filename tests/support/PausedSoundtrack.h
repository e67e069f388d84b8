#pragma once
// A silent soundtrack at the demo's tempo, long enough for the whole demo and paused, so that
// the beat position each frame reads is exactly the one the test sets. Frames read it through
// the player's own frame clock, which reads a paused source exactly.

#include "audio/Soundtrack.h"
#include "audio/SoundtrackClock.h"
#include "sync/Sync.h"

class PausedSoundtrack {
public:
    static constexpr float kTempo = 126.0f;

    PausedSoundtrack();
    ~PausedSoundtrack();
    PausedSoundtrack(const PausedSoundtrack&) = delete;
    PausedSoundtrack& operator=(const PausedSoundtrack&) = delete;

    // False when there is no audio device or the source could not be set up.
    bool Ready() const;
    // Makes `sync` read this soundtrack through its clock, until Detach or destruction.
    void Attach(SyncContext& sync);
    void Detach();
    // Starts a frame, as the engine does: the attached sync context reads the clock.
    void StartFrame();
    // Moves the playback position and starts a frame there; a position OpenAL refuses fails
    // the running test.
    void SetSeconds(float seconds);
    void SetBeat(float beat);

    Soundtrack soundtrack;
    SoundtrackClock clock{soundtrack};

private:
    SyncContext* attached = nullptr;
};

#include "support/PausedSoundtrack.h"

#include <AL/al.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Low, to keep the buffer small; still a sample every quarter of a millisecond.
constexpr ALsizei kRate = 4000;
// The demo runs 432 beats, about 206 seconds.
constexpr int kSeconds = 210;

}  // namespace

PausedSoundtrack::PausedSoundtrack() {
    soundtrack.tempo = kTempo;
    if (!InitAudio(soundtrack))
        return;
    const std::vector<int16_t> silence(static_cast<size_t>(kRate) * kSeconds, 0);
    alGenBuffers(1, &soundtrack.buffer);
    alBufferData(soundtrack.buffer, AL_FORMAT_MONO16, silence.data(),
                 static_cast<ALsizei>(silence.size() * sizeof(int16_t)), kRate);
    alGenSources(1, &soundtrack.source);
    alSourcei(soundtrack.source, AL_BUFFER, static_cast<ALint>(soundtrack.buffer));
    alSourcePlay(soundtrack.source);
    alSourcePause(soundtrack.source);
}

PausedSoundtrack::~PausedSoundtrack() {
    Detach();
    ReleaseSoundtrack(soundtrack);
}

bool PausedSoundtrack::Ready() const {
    return soundtrack.source != 0 && alGetError() == AL_NO_ERROR;
}

void PausedSoundtrack::Attach(SyncContext& sync) {
    sync.soundtrack = &soundtrack;
    sync.clock = &clock;
    attached = &sync;
}

void PausedSoundtrack::Detach() {
    if (!attached)
        return;
    attached->soundtrack = nullptr;
    attached->clock = nullptr;
    attached = nullptr;
}

void PausedSoundtrack::StartFrame() {
    if (attached)
        ReadFrameClock(*attached);
}

void PausedSoundtrack::SetSeconds(float seconds) {
    alSourcef(soundtrack.source, AL_SEC_OFFSET, seconds);
    EXPECT_EQ(alGetError(), AL_NO_ERROR) << "the playback position " << seconds << " s was refused";
    StartFrame();
}

void PausedSoundtrack::SetBeat(float beat) {
    SetSeconds(beat * 60.0f / kTempo);
}

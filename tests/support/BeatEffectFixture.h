#pragma once
// GL tests of effects that read the beat from the soundtrack: the frames see the paused, silent
// `music` at whatever beat the test sets.

#include "support/EffectFixture.h"
#include "support/PausedSoundtrack.h"

class BeatEffectFixture : public EffectFixture {
protected:
    void SetUp() override {
        EffectFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(music.Ready());
        music.Attach(sync);
    }

    void TearDown() override {
        music.Detach();
        EffectFixture::TearDown();
    }

    PausedSoundtrack music;
};

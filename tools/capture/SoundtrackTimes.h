#pragma once
// Where the soundtrack ends, and where its beats and a capture's frames fall on it: all a plan
// needs. Read from the soundtrack's file, planning starts no engine (a login node may have no GL).

#include "engine/FrameStepper.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class SoundtrackTimes {
public:
    SoundtrackTimes(double seconds, float tempo, int framesPerSecond)
        : seconds(seconds), tempo(tempo), frames(framesPerSecond) {}

    // From the run directory's soundtrack file, at the player's tempo. Null, saying why, when the
    // file is missing or one the player could not play.
    static std::optional<SoundtrackTimes> Read(const std::filesystem::path& runDirectory, int framesPerSecond,
                                               std::string& error);

    // Where the player stops: its last frame comes before, at the end it quits without drawing.
    double Seconds() const { return seconds; }
    double SecondsAtBeat(double beat) const { return beat * 60.0 / tempo; }
    double BeatAtSeconds(double at) const { return at * tempo / 60.0; }
    double FrameSeconds(int64_t frame) const { return frames.FrameSeconds(frame); }
    // The first frame at or after `at`.
    int64_t FrameAtOrAfter(double at) const { return frames.FrameAtOrAfter(at); }

private:
    double seconds;
    float tempo;
    FrameStepper frames;
};

#pragma once
// Plays a score into one stereo buffer: every note of every instrument, the kick's
// side-chain, the sends into delay and reverb, the master gain, a soft limiter and a final
// normalisation of the peak.

#include "soundtrack/Effects.h"
#include "soundtrack/Score.h"

#include <string>
#include <vector>

inline constexpr int kSampleRate = 44100;

// How loud an instrument came out (dry, before the master), while it was sounding.
struct InstrumentLevel {
    std::string name;
    float rmsDecibels = -120.0f;
    float peakDecibels = -120.0f;
};

// Exactly the score's length (beats x samples per beat), peaking at `peakDecibels`.
StereoBuffer Mixdown(const Score& score, float peakDecibels, std::vector<InstrumentLevel>& levels);

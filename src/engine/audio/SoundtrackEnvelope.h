#pragma once
// The soundtrack's waveform at the size a timeline draws it: the lowest and highest sample of
// each slice of the music, both channels together, scaled to -1..1.

#include <vector>

struct SoundtrackEnvelope {
    double slicesPerBeat = 0.0;
    std::vector<float> low;
    std::vector<float> high;
};

// Empty when the file cannot be decoded.
SoundtrackEnvelope ReadSoundtrackEnvelope(const char* path, float tempo, int slicesPerBeat);

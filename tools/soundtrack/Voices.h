#pragma once
// The synthesiser's voices: each renders one note into a stereo scratch buffer.

#include "soundtrack/Score.h"
#include "soundtrack/StereoBuffer.h"

#include <string>
#include <vector>

struct VoiceContext {
    float sampleRate = 44100.0f;
    double samplesPerBeat = 21000.0;
    double startBeat = 0.0;
    float frequency = 440.0f;
    float gateSeconds = 0.5f;  // the note's written length
    float velocity = 1.0f;
    const Automation* cutoff = nullptr;  // a multiplier of the voice's filter; 1 when absent

    float CutoffScale(int sample) const { return cutoff ? cutoff->At(startBeat + sample / samplesPerBeat, 1.0f) : 1.0f; }
};

// Renders the whole note, its release included, into a buffer it sizes itself.
using VoiceRenderer = void (*)(const VoiceContext&, StereoBuffer&);

// The voice of that name, or null.
VoiceRenderer FindVoice(const std::string& name);
std::vector<std::string> VoiceNames();

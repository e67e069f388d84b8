#pragma once
// The synthesiser's building blocks: noise, band-limited oscillators, a state-variable
// filter and envelopes. Small and inline; everything runs per sample.

#include <cmath>
#include <cstdint>
#include <numbers>

inline constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

inline float MidiToHz(float midi) { return 440.0f * std::exp2((midi - 69.0f) / 12.0f); }

// White noise in -1..1 from a linear congruential generator: the same on every machine.
struct NoiseSource {
    uint32_t state = 22222u;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
};

// Softens the jump of a saw or square where it wraps, which would otherwise alias.
inline float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

struct Oscillator {
    float phase = 0.0f;  // 0..1

    float Saw(float dt) {
        const float value = 2.0f * phase - 1.0f - PolyBlep(phase, dt);
        Advance(dt);
        return value;
    }
    float Square(float dt) {
        float value = phase < 0.5f ? 1.0f : -1.0f;
        value += PolyBlep(phase, dt);
        value -= PolyBlep(std::fmod(phase + 0.5f, 1.0f), dt);
        Advance(dt);
        return value;
    }
    float Sine(float dt) {
        const float value = std::sin(kTwoPi * phase);
        Advance(dt);
        return value;
    }
    void Advance(float dt) {
        phase += dt;
        phase -= std::floor(phase);
    }
};

// Topology-preserving state-variable filter: stays stable while its cutoff moves.
struct StateVariableFilter {
    float ic1 = 0.0f, ic2 = 0.0f;
    float g = 0.0f, k = 1.0f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
    float low = 0.0f, band = 0.0f, high = 0.0f;

    // resonance 0 (none) to just below 1.
    void Set(float cutoffHz, float resonance, float sampleRate) {
        const float limited = std::fmin(std::fmax(cutoffHz, 20.0f), sampleRate * 0.45f);
        g = std::tan(std::numbers::pi_v<float> * limited / sampleRate);
        k = 2.0f - 2.0f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void Process(float x) {
        const float v3 = x - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = x - k * v1 - v2;
    }
};

// Attack, decay to sustain, and release after `gateSeconds`; linear attack, exponential rest.
struct Envelope {
    float attack = 0.005f, decay = 0.1f, sustain = 1.0f, release = 0.1f;

    float At(float t, float gateSeconds) const {
        auto held = [&](float time) {
            if (time < attack)
                return time / attack;
            return sustain + (1.0f - sustain) * std::exp(-(time - attack) / decay);
        };
        if (t < gateSeconds)
            return held(t);
        return held(gateSeconds) * std::exp(-(t - gateSeconds) / release);
    }
    // How long after the gate the sound is worth rendering (down by 60 dB).
    float Tail() const { return release * 6.9f; }
};

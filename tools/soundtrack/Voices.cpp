#include "soundtrack/Voices.h"

#include "soundtrack/Dsp.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kControlRate = 32;  // filters follow their envelopes every this many samples

size_t SamplesFor(const VoiceContext& c, float seconds) {
    return static_cast<size_t>(std::max(0.0f, seconds) * c.sampleRate) + 1;
}

void WriteMono(StereoBuffer& out, size_t i, float value) {
    out.left[i] += value;
    out.right[i] += value;
}

// A fixed seed per note start, so repeated drum hits differ slightly but every build agrees.
NoiseSource NoiseFor(const VoiceContext& c) {
    return NoiseSource{static_cast<uint32_t>(c.startBeat * 4096.0) * 2654435761u + 12345u};
}

// ---- Drums -----------------------------------------------------------------------------------

void Kick(const VoiceContext& c, StereoBuffer& out) {
    out.Reset(SamplesFor(c, 0.6f));
    Oscillator body;
    NoiseSource noise = NoiseFor(c);
    StateVariableFilter click;
    click.Set(3000.0f, 0.0f, c.sampleRate);
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        const float pitch = 44.0f + 120.0f * std::exp(-t / 0.028f);
        const float amp = std::min(1.0f, t / 0.0008f) * std::exp(-t / 0.32f);
        click.Process(noise.Next());
        const float transient = click.band * std::exp(-t / 0.004f) * 0.6f;
        WriteMono(out, i, std::tanh(1.6f * (body.Sine(pitch / c.sampleRate) * amp + transient)) * c.velocity);
    }
}

void Snare(const VoiceContext& c, StereoBuffer& out) {
    out.Reset(SamplesFor(c, 0.45f));
    Oscillator tone;
    NoiseSource noise = NoiseFor(c);
    StateVariableFilter filter;
    filter.Set(4200.0f, 0.2f, c.sampleRate);
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        const float attack = std::min(1.0f, t / 0.001f);
        filter.Process(noise.Next());
        const float body = tone.Sine((190.0f + 60.0f * std::exp(-t / 0.01f)) / c.sampleRate) * std::exp(-t / 0.06f);
        const float rattle = (filter.band * 1.4f + filter.high * 0.5f) * std::exp(-t / 0.13f);
        WriteMono(out, i, attack * (0.55f * body + 0.7f * rattle) * c.velocity);
    }
}

void Clap(const VoiceContext& c, StereoBuffer& out) {
    out.Reset(SamplesFor(c, 0.4f));
    NoiseSource noise = NoiseFor(c);
    StateVariableFilter filter;
    filter.Set(1400.0f, 0.35f, c.sampleRate);
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        // Three quick slaps, then the room.
        float amp = std::exp(-t / 0.11f);
        for (const float slap : {0.0f, 0.011f, 0.022f})
            if (t >= slap)
                amp += 0.8f * std::exp(-(t - slap) / 0.004f);
        amp *= std::min(1.0f, t / 0.0005f);
        filter.Process(noise.Next());
        WriteMono(out, i, filter.band * amp * 1.3f * c.velocity);
    }
}

void Cymbal(const VoiceContext& c, StereoBuffer& out, float decay, float cutoff, float seconds) {
    out.Reset(SamplesFor(c, seconds));
    NoiseSource noise = NoiseFor(c);
    // Six detuned squares give the metal its ring, as in the classic drum machines.
    Oscillator metal[6];
    const float ratios[6] = {1.0f, 1.342f, 1.2312f, 1.6532f, 1.9523f, 2.1523f};
    StateVariableFilter filter;
    filter.Set(cutoff, 0.1f, c.sampleRate);
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        float ring = 0.0f;
        for (int m = 0; m < 6; ++m)
            ring += metal[m].Square(330.0f * ratios[m] / c.sampleRate);
        filter.Process(0.6f * noise.Next() + 0.12f * ring);
        const float amp = std::min(1.0f, t / 0.0008f) * std::exp(-t / decay);
        const float wide = noise.Next() * 0.1f;
        out.left[i] += filter.high * amp * (1.0f + wide) * c.velocity;
        out.right[i] += filter.high * amp * (1.0f - wide) * c.velocity;
    }
}

void Hat(const VoiceContext& c, StereoBuffer& out) { Cymbal(c, out, 0.035f, 8000.0f, 0.25f); }
void OpenHat(const VoiceContext& c, StereoBuffer& out) { Cymbal(c, out, 0.22f, 7500.0f, 1.2f); }
void Crash(const VoiceContext& c, StereoBuffer& out) { Cymbal(c, out, 1.1f, 4500.0f, 5.0f); }

// A deep drop for section starts: falling sine and a burst of filtered noise.
void Impact(const VoiceContext& c, StereoBuffer& out) {
    out.Reset(SamplesFor(c, 3.0f));
    Oscillator body;
    NoiseSource noise = NoiseFor(c);
    StateVariableFilter filter;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        if (i % kControlRate == 0)
            filter.Set(200.0f + 3000.0f * std::exp(-t / 0.25f), 0.1f, c.sampleRate);
        filter.Process(noise.Next());
        const float amp = std::min(1.0f, t / 0.002f);
        const float boom = body.Sine((30.0f + 70.0f * std::exp(-t / 0.18f)) / c.sampleRate) * std::exp(-t / 0.7f);
        WriteMono(out, i, amp * (boom + 0.5f * filter.low * std::exp(-t / 0.5f)) * c.velocity);
    }
}

// Noise swept up through a band-pass over the note, swelling towards its end.
void Riser(const VoiceContext& c, StereoBuffer& out) {
    out.Reset(SamplesFor(c, c.gateSeconds + 0.05f));
    NoiseSource noise = NoiseFor(c);
    StateVariableFilter left, right;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        const float progress = std::min(1.0f, t / c.gateSeconds);
        if (i % kControlRate == 0) {
            const float cutoff = 250.0f * std::pow(40.0f, progress);
            left.Set(cutoff, 0.55f, c.sampleRate);
            right.Set(cutoff * 1.07f, 0.55f, c.sampleRate);
        }
        left.Process(noise.Next());
        right.Process(noise.Next());
        const float amp = progress * progress * std::min(1.0f, (c.gateSeconds + 0.05f - t) / 0.05f);
        out.left[i] += left.band * amp * c.velocity;
        out.right[i] += right.band * amp * c.velocity;
    }
}

// ---- Tonal voices ------------------------------------------------------------------------------

void Bass(const VoiceContext& c, StereoBuffer& out) {
    const Envelope amp{0.003f, 0.2f, 0.85f, 0.03f};
    out.Reset(SamplesFor(c, c.gateSeconds + amp.Tail()));
    Oscillator saw, sub;
    StateVariableFilter filter;
    const float dt = c.frequency / c.sampleRate;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        if (i % kControlRate == 0)
            filter.Set((180.0f + 1400.0f * std::exp(-t / 0.09f)) * c.CutoffScale(static_cast<int>(i)), 0.35f, c.sampleRate);
        filter.Process(saw.Saw(dt));
        WriteMono(out, i, (filter.low * 0.7f + sub.Sine(dt) * 0.6f) * amp.At(t, c.gateSeconds) * c.velocity);
    }
}

// Detuned saws spread across the stereo field, through a gentle low-pass.
void SawStack(const VoiceContext& c, StereoBuffer& out, const Envelope& amp, float cutoff, float cutoffDecay,
              float cutoffPeak) {
    constexpr int kVoices = 5;
    const float detune[kVoices] = {0.0f, -0.11f, 0.11f, -0.23f, 0.23f};  // semitones
    const float pan[kVoices] = {0.0f, -0.6f, 0.6f, -1.0f, 1.0f};
    out.Reset(SamplesFor(c, c.gateSeconds + amp.Tail()));
    Oscillator oscillators[kVoices];
    for (int v = 0; v < kVoices; ++v)
        oscillators[v].phase = 0.137f * v;
    StateVariableFilter left, right;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        if (i % kControlRate == 0) {
            const float hz = (cutoff + cutoffPeak * std::exp(-t / cutoffDecay)) * c.CutoffScale(static_cast<int>(i));
            left.Set(hz, 0.15f, c.sampleRate);
            right.Set(hz, 0.15f, c.sampleRate);
        }
        float l = 0.0f, r = 0.0f;
        for (int v = 0; v < kVoices; ++v) {
            const float s = oscillators[v].Saw(c.frequency * std::exp2(detune[v] / 12.0f) / c.sampleRate);
            l += s * (1.0f - pan[v]) * 0.5f;
            r += s * (1.0f + pan[v]) * 0.5f;
        }
        left.Process(l);
        right.Process(r);
        const float gain = amp.At(t, c.gateSeconds) * c.velocity * 0.3f;
        out.left[i] += left.low * gain;
        out.right[i] += right.low * gain;
    }
}

void Pad(const VoiceContext& c, StereoBuffer& out) {
    SawStack(c, out, {0.35f, 1.0f, 1.0f, 0.7f}, 1200.0f, 1.0f, 0.0f);
}

void Stab(const VoiceContext& c, StereoBuffer& out) {
    SawStack(c, out, {0.002f, 0.18f, 0.25f, 0.12f}, 350.0f, 0.12f, 5200.0f);
}

void Pluck(const VoiceContext& c, StereoBuffer& out) {
    const Envelope amp{0.002f, 0.22f, 0.0f, 0.08f};
    out.Reset(SamplesFor(c, c.gateSeconds + 1.2f));
    Oscillator saw, square;
    StateVariableFilter filter;
    const float dt = c.frequency / c.sampleRate;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        if (i % kControlRate == 0)
            filter.Set((250.0f + 4200.0f * std::exp(-t / 0.07f)) * c.CutoffScale(static_cast<int>(i)), 0.3f, c.sampleRate);
        filter.Process(0.6f * saw.Saw(dt) + 0.4f * square.Square(dt * 1.003f));
        WriteMono(out, i, filter.low * amp.At(t, c.gateSeconds) * c.velocity * 0.8f);
    }
}

void Lead(const VoiceContext& c, StereoBuffer& out) {
    const Envelope amp{0.008f, 0.25f, 0.75f, 0.18f};
    out.Reset(SamplesFor(c, c.gateSeconds + amp.Tail()));
    Oscillator a, b, sub, vibrato;
    b.phase = 0.31f;
    StateVariableFilter filter;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        // Vibrato creeps in after the attack, as a player would.
        const float depth = 0.12f * std::clamp((t - 0.18f) / 0.3f, 0.0f, 1.0f);
        const float hz = c.frequency * std::exp2(depth * vibrato.Sine(5.4f / c.sampleRate) / 12.0f);
        if (i % kControlRate == 0)
            filter.Set((2600.0f + 2500.0f * std::exp(-t / 0.15f)) * c.CutoffScale(static_cast<int>(i)), 0.25f, c.sampleRate);
        const float sa = a.Saw(hz * 1.004f / c.sampleRate), sb = b.Saw(hz * 0.996f / c.sampleRate);
        filter.Process(0.5f * (sa + sb) + 0.3f * sub.Square(hz * 0.5f / c.sampleRate));
        const float gain = amp.At(t, c.gateSeconds) * c.velocity * 0.55f;
        out.left[i] += filter.low * gain * (1.0f + 0.15f * (sa - sb));
        out.right[i] += filter.low * gain * (1.0f - 0.15f * (sa - sb));
    }
}

// Two-operator FM: a glassy bell whose brightness fades faster than its body.
void Bell(const VoiceContext& c, StereoBuffer& out) {
    out.Reset(SamplesFor(c, 2.5f));
    Oscillator carrier, modulator;
    const float dt = c.frequency / c.sampleRate;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float t = i / c.sampleRate;
        const float index = 3.0f * std::exp(-t / 0.25f) + 0.4f;
        const float m = modulator.Sine(dt * 3.5f);
        carrier.Advance(dt);
        const float value = std::sin(kTwoPi * carrier.phase + index * m);
        const float amp = std::min(1.0f, t / 0.002f) * std::exp(-t / 0.6f);
        WriteMono(out, i, value * amp * c.velocity * 0.5f);
    }
}

const std::pair<const char*, VoiceRenderer> kVoices[] = {
    {"kick", Kick},   {"snare", Snare}, {"clap", Clap}, {"hat", Hat},     {"openhat", OpenHat},
    {"crash", Crash}, {"impact", Impact}, {"riser", Riser}, {"bass", Bass}, {"pad", Pad},
    {"stab", Stab},   {"pluck", Pluck}, {"lead", Lead}, {"bell", Bell},
};

}  // namespace

VoiceRenderer FindVoice(const std::string& name) {
    for (const auto& [voiceName, renderer] : kVoices)
        if (name == voiceName)
            return renderer;
    return nullptr;
}

std::vector<std::string> VoiceNames() {
    std::vector<std::string> names;
    for (const auto& [voiceName, renderer] : kVoices)
        names.push_back(voiceName);
    return names;
}

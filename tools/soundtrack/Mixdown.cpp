#include "soundtrack/Mixdown.h"

#include "soundtrack/Dsp.h"
#include "soundtrack/Voices.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDuckAttackSeconds = 0.006f;  // a gain that dropped at once would click
constexpr float kDuckReleaseSeconds = 0.16f;
constexpr float kDelayBeats = 0.75f;          // dotted eighth, the greetings' own rhythm
constexpr float kEdgeFadeSeconds = 0.01f;
// Into the tanh limiter: low enough that only the loudest hits are rounded off, since flat
// tops make the codec ring over the peak.
constexpr float kLimiterDrive = 0.6f;

struct Timing {
    double samplesPerBeat;
    int64_t Sample(double beat) const { return static_cast<int64_t>(std::llround(beat * samplesPerBeat)); }
};

// How far the kick pushes the ducked instruments down at each sample, 0..1.
std::vector<float> KickEnvelope(const Score& score, const Timing& timing, size_t length) {
    std::vector<float> envelope(length, 0.0f);
    const float attack = kDuckAttackSeconds * kSampleRate, release = kDuckReleaseSeconds * kSampleRate;
    for (const InstrumentSetup& instrument : score.instruments) {
        if (instrument.voice != "kick")
            continue;
        for (const NoteEvent& note : instrument.notes) {
            const int64_t start = timing.Sample(note.start);
            const int64_t end = std::min<int64_t>(static_cast<int64_t>(length), start + static_cast<int64_t>(release * 7));
            for (int64_t i = std::max<int64_t>(start, 0); i < end; ++i) {
                const float t = static_cast<float>(i - start);
                const float shape = std::min(1.0f, t / attack) * std::exp(-std::max(0.0f, t - attack) / release);
                envelope[i] = std::max(envelope[i], shape);
            }
        }
    }
    return envelope;
}

void RenderInstrument(const InstrumentSetup& instrument, const Timing& timing, StereoBuffer& bus) {
    const VoiceRenderer render = FindVoice(instrument.voice);
    StereoBuffer note;
    for (const NoteEvent& event : instrument.notes) {
        VoiceContext context;
        context.sampleRate = kSampleRate;
        context.samplesPerBeat = timing.samplesPerBeat;
        context.startBeat = event.start;
        context.frequency = MidiToHz(event.pitch);
        context.gateSeconds = static_cast<float>(event.length * timing.samplesPerBeat / kSampleRate);
        context.velocity = event.velocity;
        context.cutoff = instrument.cutoffAutomation.points.empty() ? nullptr : &instrument.cutoffAutomation;
        render(context, note);

        const int64_t start = timing.Sample(event.start);
        const size_t count = note.left.size();
        const size_t fade = static_cast<size_t>(kEdgeFadeSeconds * kSampleRate);
        for (size_t i = 0; i < count; ++i) {
            const int64_t at = start + static_cast<int64_t>(i);
            if (at < 0 || at >= static_cast<int64_t>(bus.Size()))
                continue;
            // Whatever a voice leaves at its end is faded out, never cut.
            const float tail = i + fade > count ? static_cast<float>(count - i) / fade : 1.0f;
            bus.left[at] += note.left[i] * tail;
            bus.right[at] += note.right[i] * tail;
        }
    }
}

float Decibels(double amplitude) { return amplitude > 0.0 ? static_cast<float>(20.0 * std::log10(amplitude)) : -120.0f; }

// Instrument level, automation, kick ducking and constant-power panning, then into the
// master and the two sends.
InstrumentLevel MixInstrument(const InstrumentSetup& instrument, const StereoBuffer& bus, const std::vector<float>& kick,
                              const Timing& timing, StereoBuffer& master, std::vector<float>& delaySend,
                              std::vector<float>& reverbSend) {
    const float angle = (instrument.pan + 1.0f) * 0.25f * 3.14159265f;
    const float panLeft = std::cos(angle) * 1.41421356f, panRight = std::sin(angle) * 1.41421356f;
    float gain = 1.0f;
    double sum = 0.0, peak = 0.0;
    size_t sounding = 0;
    for (size_t i = 0; i < bus.Size(); ++i) {
        if (i % 64 == 0)
            gain = instrument.gain * instrument.gainAutomation.At(i / timing.samplesPerBeat, 1.0f);
        const float g = gain * (1.0f - instrument.duck * kick[i]);
        const float left = bus.left[i] * g * panLeft, right = bus.right[i] * g * panRight;
        master.left[i] += left;
        master.right[i] += right;
        const float mono = 0.5f * (left + right);
        delaySend[i] += mono * instrument.delay;
        reverbSend[i] += mono * instrument.reverb;
        if (std::fabs(mono) > 1e-4f) {
            sum += mono * mono;
            peak = std::max(peak, static_cast<double>(std::fabs(mono)));
            ++sounding;
        }
    }
    return {instrument.name, Decibels(std::sqrt(sum / std::max<size_t>(1, sounding))), Decibels(peak)};
}

// Master gain, a gentle tanh limiter, the peak set to `peakDecibels`, and short fades at
// both ends so the piece starts and stops on silence.
void Master(const Score& score, const Timing& timing, float peakDecibels, StereoBuffer& master) {
    float peak = 0.0f;
    for (size_t i = 0; i < master.Size(); ++i) {
        const float g = score.masterGain.At(i / timing.samplesPerBeat, 1.0f);
        master.left[i] = std::tanh(master.left[i] * g * kLimiterDrive);
        master.right[i] = std::tanh(master.right[i] * g * kLimiterDrive);
        peak = std::max({peak, std::fabs(master.left[i]), std::fabs(master.right[i])});
    }
    const float scale = peak > 0.0f ? std::pow(10.0f, peakDecibels / 20.0f) / peak : 1.0f;
    const size_t fade = static_cast<size_t>(kEdgeFadeSeconds * kSampleRate);
    for (size_t i = 0; i < master.Size(); ++i) {
        const size_t edge = std::min(i, master.Size() - 1 - i);
        const float ramp = edge < fade ? static_cast<float>(edge) / fade : 1.0f;
        master.left[i] *= scale * ramp;
        master.right[i] *= scale * ramp;
    }
}

}  // namespace

StereoBuffer Mixdown(const Score& score, float peakDecibels, std::vector<InstrumentLevel>& levels) {
    const Timing timing{kSampleRate * 60.0 / score.tempo};
    const size_t length = static_cast<size_t>(timing.Sample(score.lengthBeats));
    StereoBuffer master(length), bus(length);
    std::vector<float> delaySend(length, 0.0f), reverbSend(length, 0.0f);
    const std::vector<float> kick = KickEnvelope(score, timing, length);

    for (const InstrumentSetup& instrument : score.instruments) {
        std::fill(bus.left.begin(), bus.left.end(), 0.0f);
        std::fill(bus.right.begin(), bus.right.end(), 0.0f);
        RenderInstrument(instrument, timing, bus);
        levels.push_back(MixInstrument(instrument, bus, kick, timing, master, delaySend, reverbSend));
    }

    StereoBuffer echoes(length);
    PingPongDelay(delaySend, static_cast<int>(std::lround(kDelayBeats * timing.samplesPerBeat)), 0.42f, echoes);
    for (size_t i = 0; i < length; ++i) {
        master.left[i] += echoes.left[i];
        master.right[i] += echoes.right[i];
        reverbSend[i] += 0.25f * (echoes.left[i] + echoes.right[i]);
    }
    Reverb(reverbSend, 0.86f, 0.3f, master);
    Master(score, timing, peakDecibels, master);
    return master;
}

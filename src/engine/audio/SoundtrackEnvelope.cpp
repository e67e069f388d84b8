#include "audio/SoundtrackEnvelope.h"

#include "audio/Soundtrack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

SoundtrackEnvelope ReadSoundtrackEnvelope(const char* path, float tempo, int slicesPerBeat) {
    SoundtrackEnvelope envelope;
    int channels = 0;
    int rate = 0;
    int64_t bytes = 0;
    const std::unique_ptr<char[]> pcm = DecodeOggFile(channels, rate, bytes, path);
    if (!pcm || channels <= 0 || rate <= 0 || tempo <= 0.0f || slicesPerBeat <= 0) return envelope;
    const int64_t frames = bytes / (2 * channels);
    const double framesPerSlice = rate * 60.0 / tempo / slicesPerBeat;
    const size_t slices = static_cast<size_t>(frames / framesPerSlice) + 1;
    envelope.slicesPerBeat = slicesPerBeat;
    envelope.low.assign(slices, 0.0f);
    envelope.high.assign(slices, 0.0f);
    for (int64_t frame = 0; frame < frames; ++frame) {
        const size_t slice = std::min(slices - 1, static_cast<size_t>(frame / framesPerSlice));
        for (int channel = 0; channel < channels; ++channel) {
            int16_t sample = 0;
            std::memcpy(&sample, pcm.get() + (frame * channels + channel) * 2, 2);
            const float value = sample / 32768.0f;
            envelope.low[slice] = std::min(envelope.low[slice], value);
            envelope.high[slice] = std::max(envelope.high[slice], value);
        }
    }
    return envelope;
}

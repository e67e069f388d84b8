#include "OggWriter.h"

#include <cmath>
#include <numbers>

#include "content/VorbisWriter.h"

bool WriteTestOgg(const std::string& path, double seconds, int channels, int sampleRate) {
    constexpr double kStartFrequency = 220.0;
    constexpr double kEndFrequency = 880.0;
    constexpr double kAmplitude = 0.1;
    if (seconds < 0.0 || sampleRate <= 0)
        return false;
    // The frequency rises linearly over the file, so no stretch of it repeats another.
    const double sweep = seconds > 0.0 ? (kEndFrequency - kStartFrequency) / seconds : 0.0;
    const VorbisFormat format{channels, sampleRate, 0.1f};
    return WriteVorbisFile(path, format, std::llround(seconds * sampleRate),
                           [&](float** channelData, int64_t first, int count) {
                               for (int i = 0; i < count; ++i) {
                                   const double t = static_cast<double>(first + i) / sampleRate;
                                   const double cycles = kStartFrequency * t + sweep * t * t / 2.0;
                                   const auto sample =
                                       static_cast<float>(kAmplitude * std::sin(2.0 * std::numbers::pi * cycles));
                                   for (int c = 0; c < channels; ++c)
                                       channelData[c][i] = sample;
                               }
                           });
}

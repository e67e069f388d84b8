#pragma once
// Writes float PCM as an Ogg Vorbis file with libvorbisenc, pulling the samples from the caller
// a chunk at a time: the soundtrack tool writes its mixdown with it, the tests their short tones.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>

struct VorbisFormat {
    int channels = 2;
    int sampleRate = 44100;
    float quality = 0.1f;  // libvorbisenc's VBR scale, -0.1 to 1
};

// Fills channels[c][0 .. count) for every channel with the frames from `first` on.
using VorbisSamples = std::function<void(float** channels, int64_t first, int count)>;

// A comment of the stream, such as {"TITLE", "tovik"}.
using VorbisTag = std::pair<const char*, const char*>;

// `frames` frames of `format`; false after a message on stderr. The file is the same, byte for
// byte, for the same samples.
bool WriteVorbisFile(const std::string& path, const VorbisFormat& format, int64_t frames, const VorbisSamples& samples,
                     std::span<const VorbisTag> tags = {});

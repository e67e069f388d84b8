#pragma once
// The soundtrack's mixdown as an Ogg Vorbis file, and the level of what a player decodes from it.

#include "soundtrack/StereoBuffer.h"

#include <string>

// Quality -0.1 to 1 (libvorbisenc's VBR scale); every sample is multiplied by `gain` on the
// way in. False after a message on stderr.
bool WriteOggVorbis(const std::string& path, const StereoBuffer& pcm, int sampleRate, float quality, float gain);

// The largest sample magnitude of the decoded file (0..1 and beyond), or a negative value
// when it cannot be decoded. Lossy coding rings around transients, so this can exceed the
// peak that went in.
float DecodedPeak(const std::string& path);

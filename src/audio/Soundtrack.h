#pragma once
// The music: decoded whole into one OpenAL buffer, played once by one source, and the
// beat clock derived from the source's playback position.

#include <AL/al.h>
#include <AL/alc.h>

#include <cstdint>
#include <memory>

struct Soundtrack {
    ALCcontext* context = nullptr;
    ALCdevice* device = nullptr;
    ALCint alcMajorVersion = -1;
    ALCint alcMinorVersion = -1;
    ALuint buffer = 0;
    ALuint source = 0;
    float tempo = 0.0f;  // beats per minute
};

inline constexpr const char* kSoundtrackPath = "./Audio/tovik.ogg";

bool InitAudio(Soundtrack& soundtrack);
void SetListener(float x, float y, float z);
bool LoadSoundtrack(Soundtrack& soundtrack, float tempo);
// Decodes the whole mono or stereo file into interleaved signed 16-bit little-endian PCM, or
// returns null (missing, damaged, not Vorbis, more than two channels, empty or absurdly long).
// What the stream does not fill of the block is silence.
std::unique_ptr<char[]> DecodeOggFile(int& channels, int& sampleRate, int64_t& byteSize,
                                      const char* path = kSoundtrackPath);
// tempo / 60 × seconds, the division in double precision: the beat clock of CurrentBeat.
float BeatsAtSeconds(float tempo, float seconds);
// The source's AL_SEC_OFFSET as OpenAL reports it: -1 when it cannot be read.
float PlaybackSeconds(const Soundtrack& soundtrack);
// Playback position in beats: tempo / 60 * AL_SEC_OFFSET (-1 second when it cannot be read).
float CurrentBeat(const Soundtrack& soundtrack);
// The shut-down releases: sources, buffers, no current context, context, device.
void ReleaseSoundtrack(Soundtrack& soundtrack);

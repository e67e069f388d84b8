#pragma once
// The music: decoded whole into one OpenAL buffer, played once by one source, and the
// beat clock derived from the source's playback position.

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

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
inline constexpr float kSoundtrackTempo = 126.0f;  // beats per minute

// Where the music goes. kNone keeps the buffer and the source on OpenAL Soft's loopback device,
// which mixes only when asked and so plays nothing and needs no sound card: the capture tool steps
// its own clock and lays the soundtrack's file under the video itself.
enum class AudioOutput { kDevice, kNone };

bool InitAudio(Soundtrack& soundtrack, AudioOutput output = AudioOutput::kDevice);
void SetListener(float x, float y, float z);
bool LoadSoundtrack(Soundtrack& soundtrack, float tempo);
// Decodes the whole mono or stereo file into interleaved signed 16-bit little-endian PCM, or
// returns null (missing, damaged, not Vorbis, more than two channels, empty or absurdly long).
// The block has the stated length, silent after a decoding error that cut the stream short; a
// stream that ends before its stated length gives what it holds, and memory follows it.
std::unique_ptr<char[]> DecodeOggFile(int& channels, int& sampleRate, int64_t& byteSize,
                                      const char* path = kSoundtrackPath);
// The length of what LoadSoundtrack holds of an intact file, in seconds, read from its stated
// length without decoding it; negative when the file is missing, damaged or one the player refuses.
double SoundtrackSeconds(const char* path = kSoundtrackPath);
// tempo / 60 × seconds, the division in double precision: the beat clock of CurrentBeat.
float BeatsAtSeconds(float tempo, float seconds);
// Whether the source is in AL_PLAYING; a state that cannot be read counts as stopped.
bool IsPlaying(const Soundtrack& soundtrack);
// The source's AL_SEC_OFFSET as OpenAL reports it: -1 when it cannot be read.
float PlaybackSeconds(const Soundtrack& soundtrack);
// Playback position in beats: tempo / 60 * AL_SEC_OFFSET (-1 second when it cannot be read).
float CurrentBeat(const Soundtrack& soundtrack);
// AL_SOFT_source_latency's read of a source's offset together with the output's latency, or
// null where the current context lacks the extension. Ask once a context is current.
LPALGETSOURCEDVSOFT FindOffsetLatencyQuery();
// Where the music is heard: the offset less the output's latency through `query`, or the plain
// offset without it (-1 when it cannot be read).
double HeardSeconds(const Soundtrack& soundtrack, LPALGETSOURCEDVSOFT query);
// The shut-down releases: sources, buffers, no current context, context, device.
void ReleaseSoundtrack(Soundtrack& soundtrack);

#include "audio/Soundtrack.h"

#include "log/ILogger.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

// Longer or denser files are refused rather than decoded into gigabytes; even the largest
// block allowed fits the 32-bit size that alBufferData takes.
constexpr double kMaxSoundtrackSeconds = 30.0 * 60.0;
constexpr long kMaxSampleRate = 192000;
// The length comes from the last page's granule position, which a few damaged bytes can
// inflate; the block is held twice while OpenAL copies it. 128 MiB is over twelve minutes of
// 44.1 kHz stereo.
constexpr int64_t kMaxBlockBytes = int64_t{128} << 20;
constexpr int kBytesPerSample = 2;

void LogError(const char* message) {
    if (gLogger)
        gLogger->Error(message);
}

// Owns an opened OggVorbis_File so every return path clears it.
class OggFile {
public:
    explicit OggFile(const char* path) : opened_(ov_fopen(path, &file_) >= 0) {}
    ~OggFile() {
        if (opened_)
            ov_clear(&file_);
    }
    OggFile(const OggFile&) = delete;
    OggFile& operator=(const OggFile&) = delete;

    bool IsOpen() const { return opened_; }
    OggVorbis_File* Get() { return &file_; }

private:
    OggVorbis_File file_{};
    bool opened_;
};

// The size the stated length promises, in whole frames so that OpenAL accepts it;
// 0 when the length is unknown, absurd, too big a block or holds not one frame.
int64_t BlockSize(double seconds, int channels, long sampleRate) {
    if (!(seconds > 0.0 && seconds <= kMaxSoundtrackSeconds))
        return 0;
    const int64_t frameBytes = int64_t(channels) * kBytesPerSample;
    const auto bytes = static_cast<int64_t>(static_cast<long double>(seconds) * sampleRate * channels * kBytesPerSample);
    return bytes <= kMaxBlockBytes ? bytes - bytes % frameBytes : 0;
}

// Decodes until the block is full, the stream ends or a decoding error stops it; returns
// the number of bytes written.
int64_t ReadPcm(OggVorbis_File* file, char* block, int64_t size) {
    int64_t position = 0;
    int bitstream = 0;
    while (position < size) {
        const int room = static_cast<int>(std::min<int64_t>(size - position, INT_MAX));
        const long count = ov_read(file, block + position, room, 0, kBytesPerSample, 1, &bitstream);
        if (count <= 0)
            break;
        position += count;
    }
    return position;
}

}  // namespace

bool InitAudio(Soundtrack& soundtrack) {
    soundtrack.device = alcOpenDevice(nullptr);
    if (!soundtrack.device) {
        LogError("Failed To Open Audio Device!");
        return false;
    }
    soundtrack.context = alcCreateContext(soundtrack.device, nullptr);
    if (!soundtrack.context) {
        LogError("Failed To Create OpenAL Context!");
        return false;
    }
    if (!alcMakeContextCurrent(soundtrack.context)) {
        LogError("Failed To Make OpenAL Context Current!");
        return false;
    }
    alcGetIntegerv(soundtrack.device, ALC_MAJOR_VERSION, 1, &soundtrack.alcMajorVersion);
    alcGetIntegerv(soundtrack.device, ALC_MINOR_VERSION, 1, &soundtrack.alcMinorVersion);
    if (gLogger)
        gLogger->WritePair("OpenAL Device Specifier: ", alcGetString(soundtrack.device, ALC_DEVICE_SPECIFIER));
    return true;
}

void SetListener(float x, float y, float z) {
    const ALfloat position[] = {x, y, z};
    const ALfloat velocity[] = {0.0f, 0.0f, 0.0f};
    const ALfloat orientation[] = {0.0f, 0.0f, 1.0f, 0.0f, -1.0f, 0.0f};  // at, then up
    alListenerfv(AL_POSITION, position);
    alListenerfv(AL_VELOCITY, velocity);
    alListenerfv(AL_ORIENTATION, orientation);
}

std::unique_ptr<char[]> DecodeOggFile(int& channels, int& sampleRate, int64_t& byteSize, const char* path) {
    OggFile file(path);
    if (!file.IsOpen())
        return nullptr;
    const vorbis_info* info = ov_info(file.Get(), -1);
    if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0 || info->rate > kMaxSampleRate)
        return nullptr;

    const int64_t size = BlockSize(ov_time_total(file.Get(), -1), info->channels, info->rate);
    if (size <= 0)
        return nullptr;
    std::unique_ptr<char[]> block(new (std::nothrow) char[size]);
    if (!block)
        return nullptr;

    const int64_t written = ReadPcm(file.Get(), block.get(), size);
    std::memset(block.get() + written, 0, static_cast<size_t>(size - written));
    channels = info->channels;
    sampleRate = static_cast<int>(info->rate);
    byteSize = size;
    return block;
}

double SoundtrackSeconds(const char* path) {
    OggFile file(path);
    const double seconds = file.IsOpen() ? ov_time_total(file.Get(), -1) : -1.0;
    return seconds >= 0.0 ? seconds : -1.0;
}

bool LoadSoundtrack(Soundtrack& soundtrack, float tempo) {
    int channels = 0;
    int sampleRate = 0;
    int64_t byteSize = 0;
    const std::unique_ptr<char[]> pcm = DecodeOggFile(channels, sampleRate, byteSize);
    if (!pcm) {
        LogError("Failed To Read OggVorbis File!");
        return false;
    }
    soundtrack.tempo = tempo;

    alGenBuffers(1, &soundtrack.buffer);
    const ALenum format = channels >= 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
    alBufferData(soundtrack.buffer, format, pcm.get(), static_cast<ALsizei>(byteSize), sampleRate);
    alGenSources(1, &soundtrack.source);
    alSourcei(soundtrack.source, AL_BUFFER, static_cast<ALint>(soundtrack.buffer));
    return true;
}

float BeatsAtSeconds(float tempo, float seconds) {
    return static_cast<float>(tempo / 60.0 * seconds);
}

bool IsPlaying(const Soundtrack& soundtrack) {
    ALint state = 0;
    if (soundtrack.source != 0)
        alGetSourcei(soundtrack.source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

float PlaybackSeconds(const Soundtrack& soundtrack) {
    ALfloat seconds = -1.0f;
    alGetSourcef(soundtrack.source, AL_SEC_OFFSET, &seconds);
    return seconds;
}

float CurrentBeat(const Soundtrack& soundtrack) {
    return BeatsAtSeconds(soundtrack.tempo, PlaybackSeconds(soundtrack));
}

LPALGETSOURCEDVSOFT FindOffsetLatencyQuery() {
    if (!alIsExtensionPresent("AL_SOFT_source_latency"))
        return nullptr;
    return reinterpret_cast<LPALGETSOURCEDVSOFT>(alGetProcAddress("alGetSourcedvSOFT"));
}

double HeardSeconds(const Soundtrack& soundtrack, LPALGETSOURCEDVSOFT query) {
    if (!query)
        return PlaybackSeconds(soundtrack);
    ALdouble offsetAndLatency[2] = {-1.0, 0.0};
    query(soundtrack.source, AL_SEC_OFFSET_LATENCY_SOFT, offsetAndLatency);
    return offsetAndLatency[0] - offsetAndLatency[1];
}

void ReleaseSoundtrack(Soundtrack& soundtrack) {
    if (soundtrack.source != 0)
        alDeleteSources(1, &soundtrack.source);
    if (soundtrack.buffer != 0)
        alDeleteBuffers(1, &soundtrack.buffer);
    if (soundtrack.context) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(soundtrack.context);
    }
    if (soundtrack.device)
        alcCloseDevice(soundtrack.device);
    soundtrack.source = 0;
    soundtrack.buffer = 0;
    soundtrack.context = nullptr;
    soundtrack.device = nullptr;
}

#include "audio/Soundtrack.h"

#include "log/ILogger.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <vector>

namespace {

// Longer or denser files are refused before anything is decoded; even the largest block
// allowed fits the 32-bit size that alBufferData takes.
constexpr double kMaxSoundtrackSeconds = 30.0 * 60.0;
constexpr long kMaxSampleRate = 192000;
constexpr int kMaxChannels = 2;
constexpr int kBytesPerSample = 2;
static_assert(kMaxSoundtrackSeconds * kMaxSampleRate * kMaxChannels * kBytesPerSample <=
              std::numeric_limits<ALsizei>::max());

// The stated length comes from the last page's granule position, which a few damaged bytes can
// inflate, so memory is taken only as decoded audio arrives, in pieces of this size (whole
// frames of every layout allowed).
constexpr int64_t kPieceBytes = int64_t{1} << 20;

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

// One OpenAL buffer holds one format: every link of a chained file must have the first one's.
bool LinksShareFormat(OggVorbis_File* file, const vorbis_info& first) {
    const long links = ov_streams(file);
    for (long link = 1; link < links; ++link) {
        const vorbis_info* info = ov_info(file, static_cast<int>(link));
        if (!info || info->channels != first.channels || info->rate != first.rate)
            return false;
    }
    return true;
}

// The size the stated length promises, in whole frames so that OpenAL accepts it;
// 0 when the length is unknown, absurd or holds not one frame.
int64_t StatedSize(double seconds, int channels, long sampleRate) {
    if (!(seconds > 0.0 && seconds <= kMaxSoundtrackSeconds))
        return 0;
    const int64_t frameBytes = int64_t(channels) * kBytesPerSample;
    const auto bytes = static_cast<int64_t>(static_cast<long double>(seconds) * sampleRate * channels * kBytesPerSample);
    return bytes - bytes % frameBytes;
}

// What the stream delivered, in the order it came.
struct DecodedPieces {
    std::vector<std::unique_ptr<char[]>> pieces;
    int64_t bytes = 0;
    bool stoppedByError = false;
    bool outOfMemory = false;
};

// Decodes until `limit` bytes, the end of the stream or a decoding error.
DecodedPieces ReadPcm(OggVorbis_File* file, int64_t limit) {
    DecodedPieces decoded;
    // Reserved up front (8 bytes a MiB of the stated length): a list regrown between pieces
    // would sit above them on the heap and keep the heap from releasing them as they are copied.
    decoded.pieces.reserve(static_cast<size_t>((limit + kPieceBytes - 1) / kPieceBytes));
    int bitstream = 0;
    while (decoded.bytes < limit) {
        const int64_t offset = decoded.bytes % kPieceBytes;
        if (offset == 0) {
            decoded.pieces.emplace_back(new (std::nothrow) char[kPieceBytes]);
            if (!decoded.pieces.back()) {
                decoded.outOfMemory = true;
                break;
            }
        }
        const int room = static_cast<int>(std::min(limit - decoded.bytes, kPieceBytes - offset));
        const long count = ov_read(file, decoded.pieces.back().get() + offset, room, 0, kBytesPerSample, 1, &bitstream);
        if (count <= 0) {
            decoded.stoppedByError = count < 0;
            break;
        }
        decoded.bytes += count;
    }
    return decoded;
}

// One block of `size` bytes: the pieces in order, then silence. Copied from the last piece
// back, each freed once copied, so that a heap releases them from its top as the block fills
// and the audio is held about once rather than twice.
std::unique_ptr<char[]> Assemble(DecodedPieces& decoded, int64_t size) {
    std::unique_ptr<char[]> block(new (std::nothrow) char[size]);
    if (!block)
        return nullptr;
    std::memset(block.get() + decoded.bytes, 0, static_cast<size_t>(size - decoded.bytes));
    for (size_t i = decoded.pieces.size(); i-- > 0;) {
        const int64_t start = static_cast<int64_t>(i) * kPieceBytes;
        const int64_t count = std::min(kPieceBytes, decoded.bytes - start);
        std::memcpy(block.get() + start, decoded.pieces[i].get(), static_cast<size_t>(count));
        decoded.pieces[i].reset();
    }
    return block;
}

// No Vorbis stream decodes to more than this many bytes of 16-bit PCM per byte of file: even at
// its lowest bit rates Vorbis spends about a quarter of a bit a sample, a 64-fold saving, and
// the margin doubles that.
constexpr int64_t kMaxPcmBytesPerFileByte = 128;

// The most a file of `fileBytes` could decode to, and at least what it did, in whole frames.
int64_t PlausibleSize(const DecodedPieces& decoded, int64_t fileBytes, int frameBytes) {
    const int64_t most = fileBytes * kMaxPcmBytesPerFileByte;
    return std::max(decoded.bytes, most - most % frameBytes);
}

// A decoding error keeps the stated length, silent after it, as far as the rest of the file could
// plausibly reach: a damaged stream whose last granule position is inflated too must not cost its
// claim. A stream that simply ends early has a damaged last granule position, and what it holds
// is all there is.
int64_t BlockSize(const DecodedPieces& decoded, int64_t statedSize, int frameBytes, const char* path) {
    if (decoded.bytes == statedSize)
        return statedSize;
    if (decoded.stoppedByError) {
        std::error_code error;
        const auto fileBytes = static_cast<int64_t>(std::filesystem::file_size(path, error));
        return std::min(statedSize, PlausibleSize(decoded, error ? 0 : fileBytes, frameBytes));
    }
    if (decoded.bytes > 0 && gLogger)
        gLogger->WritePair("ERROR: OggVorbis File Ends Before Its Stated Length: ", path);
    return decoded.bytes;
}

// The first link's format, when the player can hold the file in one buffer; null otherwise.
const vorbis_info* PlayableFormat(OggFile& file) {
    if (!file.IsOpen())
        return nullptr;
    const vorbis_info* info = ov_info(file.Get(), 0);
    if (!info || info->channels < 1 || info->channels > kMaxChannels || info->rate <= 0 || info->rate > kMaxSampleRate ||
        !LinksShareFormat(file.Get(), *info))
        return nullptr;
    return info;
}

ALCdevice* OpenLoopbackDevice() {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
        return nullptr;
    const auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    return open ? open(nullptr) : nullptr;
}

}  // namespace

bool InitAudio(Soundtrack& soundtrack, AudioOutput output) {
    const bool silent = output == AudioOutput::kNone;
    soundtrack.device = silent ? OpenLoopbackDevice() : alcOpenDevice(nullptr);
    if (!soundtrack.device) {
        LogError("Failed To Open Audio Device!");
        return false;
    }
    // A loopback device has no format of its own until its context names one.
    const ALCint loopbackFormat[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                                     ALC_FREQUENCY, 48000, 0};
    soundtrack.context = alcCreateContext(soundtrack.device, silent ? loopbackFormat : nullptr);
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
    const vorbis_info* info = PlayableFormat(file);
    if (!info)
        return nullptr;

    const int64_t statedSize = StatedSize(ov_time_total(file.Get(), -1), info->channels, info->rate);
    // Opening a chained file may leave the decoder at the start of its last link.
    if (statedSize <= 0 || ov_pcm_seek(file.Get(), 0) != 0)
        return nullptr;
    DecodedPieces decoded = ReadPcm(file.Get(), statedSize);
    if (decoded.outOfMemory)
        return nullptr;
    const int64_t size = BlockSize(decoded, statedSize, info->channels * kBytesPerSample, path);
    if (size <= 0)
        return nullptr;
    std::unique_ptr<char[]> block = Assemble(decoded, size);
    if (!block)
        return nullptr;
    channels = info->channels;
    sampleRate = static_cast<int>(info->rate);
    byteSize = size;
    return block;
}

// The block's size over its rate, as the capture tool measures the buffer once loaded: the same
// division, so that both give the same last frame.
double SoundtrackSeconds(const char* path) {
    OggFile file(path);
    const vorbis_info* info = PlayableFormat(file);
    if (!info)
        return -1.0;
    const int64_t statedSize = StatedSize(ov_time_total(file.Get(), -1), info->channels, info->rate);
    const double bytesPerSecond = static_cast<double>(info->channels) * kBytesPerSample * info->rate;
    return statedSize > 0 ? static_cast<double>(statedSize) / bytesPerSecond : -1.0;
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

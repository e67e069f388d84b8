#include "audio/Soundtrack.h"
#include "audio/SoundtrackClock.h"
#include "log/ILogger.h"
#include "support/OggWriter.h"
#include "support/PeakResident.h"
#include "support/PlainOggDecode.h"
#include "sync/Sync.h"
#include "support/LogRecorder.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <memory>
#include <vector>

namespace {

class SoundtrackTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(scratch_.Path() / "Audio"); }
    std::string PathOf(const char* name) const { return scratch_.PathOf(name); }

    ScratchDirectory scratch_{"quarn-audio"};
    LogRecorder logger_;
};

struct Decoded {
    std::unique_ptr<char[]> pcm;
    int channels = -1;
    int sampleRate = -1;
    int64_t byteSize = -1;
};

Decoded Decode(const std::string& path) {
    Decoded d;
    d.pcm = DecodeOggFile(d.channels, d.sampleRate, d.byteSize, path.c_str());
    return d;
}

TEST_F(SoundtrackTest, DecodesMonoAndStereoToTheStatedLength) {
    struct Case {
        int channels;
        int rate;
        double seconds;
    };
    for (const Case c : {Case{1, 22050, 2.0}, Case{2, 44100, 1.0}, Case{2, 8000, 3.0}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate);
        const std::string path = PathOf("tone.ogg");
        ASSERT_TRUE(WriteTestOgg(path, c.seconds, c.channels, c.rate));
        const Decoded d = Decode(path);
        ASSERT_NE(d.pcm, nullptr);
        EXPECT_EQ(d.channels, c.channels);
        EXPECT_EQ(d.sampleRate, c.rate);
        EXPECT_EQ(d.byteSize, static_cast<int64_t>(c.seconds * c.rate) * c.channels * 2);

        // A quiet chirp: audible somewhere, never near full scale.
        const auto* samples = reinterpret_cast<const int16_t*>(d.pcm.get());
        int peak = 0;
        for (int64_t i = 0; i < d.byteSize / 2; ++i)
            peak = std::max(peak, std::abs(int(samples[i])));
        EXPECT_GT(peak, 1000);
        EXPECT_LT(peak, 8000);
    }
}

TEST_F(SoundtrackTest, RefusesWhatIsNotAPlayableVorbisFile) {
    const Decoded missing = Decode(PathOf("absent.ogg"));
    EXPECT_EQ(missing.pcm, nullptr);

    std::ofstream(PathOf("text.ogg")) << "This is not an Ogg Vorbis stream at all.\n";
    EXPECT_EQ(Decode(PathOf("text.ogg")).pcm, nullptr);

    std::ofstream(PathOf("empty.ogg"));
    EXPECT_EQ(Decode(PathOf("empty.ogg")).pcm, nullptr);

    ASSERT_TRUE(WriteTestOgg(PathOf("surround.ogg"), 0.5, 6, 8000));
    EXPECT_EQ(Decode(PathOf("surround.ogg")).pcm, nullptr);
}

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, initial value 0,
// taken over the page with its own checksum field zeroed.
uint32_t OggPageChecksum(const uint8_t* page, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint32_t{page[i]} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return static_cast<bool>(out.flush());
}

// The size of the Ogg page at `at`, or 0 when the bytes left hold no whole page.
size_t PageSize(const std::vector<uint8_t>& bytes, size_t at) {
    const size_t left = bytes.size() - at;
    if (left < 27 || left < 27u + bytes[at + 26])
        return 0;
    size_t size = 27 + bytes[at + 26];
    for (int segment = 0; segment < bytes[at + 26]; ++segment)
        size += bytes[at + 27 + segment];
    return size <= left ? size : 0;
}

// Writes the page's checksum anew after an edit, so that the edit goes unnoticed.
void Reseal(uint8_t* page, size_t size) {
    std::fill(page + 22, page + 26, 0);
    const uint32_t crc = OggPageChecksum(page, size);
    for (int i = 0; i < 4; ++i)
        page[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
}

// Rewrites the granule position of the file's last page, which is where the stream's length
// is read from.
bool ClaimLength(const std::string& path, int64_t samples) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    const uint8_t capture[] = {'O', 'g', 'g', 'S'};
    const auto last = std::find_end(bytes.begin(), bytes.end(), std::begin(capture), std::end(capture));
    const size_t size = last == bytes.end() ? 0 : PageSize(bytes, static_cast<size_t>(last - bytes.begin()));
    if (size == 0)
        return false;
    uint8_t* page = &*last;
    for (int i = 0; i < 8; ++i)
        page[6 + i] = static_cast<uint8_t>(static_cast<uint64_t>(samples) >> (8 * i));
    Reseal(page, size);
    return WriteFileBytes(path, bytes);
}

// Gives every page of the file the stream serial number `serial`: the links of a chained file
// have each their own.
bool Reserialise(const std::string& path, uint32_t serial) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    size_t at = 0;
    for (size_t size; (size = PageSize(bytes, at)) > 0; at += size) {
        for (int i = 0; i < 4; ++i)
            bytes[at + 14 + i] = static_cast<uint8_t>(serial >> (8 * i));
        Reseal(&bytes[at], size);
    }
    return at == bytes.size() && WriteFileBytes(path, bytes);
}

TEST_F(SoundtrackTest, AFileClaimingMoreThanItHoldsCostsOnlyWhatItHolds) {
    const std::string path = PathOf("liar.ogg");
    // Long enough for several audio pages: the first one's granule position fixes the start.
    ASSERT_TRUE(WriteTestOgg(path, 5.0, 2, 44100));
    const int64_t held = Decode(path).byteSize;
    ASSERT_EQ(held, int64_t{5} * 44100 * 4);
    // Twenty-five minutes of 44.1 kHz stereo would be 265 MB, held twice while OpenAL copies it.
    ASSERT_TRUE(ClaimLength(path, int64_t{25} * 60 * 44100));
    ASSERT_TRUE(RestartPeakResident());
    const long before = PeakResidentKiB();
    const Decoded liar = Decode(path);
    const long peak = PeakResidentKiB() - before;

    ASSERT_NE(liar.pcm, nullptr);
    // Untrimmed by a true granule position, the last packet adds its few hundred padding frames.
    EXPECT_GE(liar.byteSize, held);
    EXPECT_LT(liar.byteSize, held + 44100 / 10 * 4);
    EXPECT_LT(peak, 32 << 10) << peak << " KiB of peak memory for 5 s of audio claiming 25 min";
    EXPECT_EQ(logger_.Count("ERROR: OggVorbis File Ends Before Its Stated Length: " + path), 1);
}

// 142 MB of 16-bit PCM, a high-resolution master of ordinary length.
TEST_F(SoundtrackTest, SixMinutesOf96kHzStereoDecodeToTheirEnd) {
    const std::string path = PathOf("master.ogg");
    ASSERT_TRUE(WriteTestOgg(path, 370.0, 2, 96000));
    EXPECT_NEAR(SoundtrackSeconds(path.c_str()), 370.0, 1e-6);
    const Decoded d = Decode(path);
    ASSERT_NE(d.pcm, nullptr);
    EXPECT_EQ(d.byteSize, int64_t{370} * 96000 * 4);
    // Read without decoding, the length is the decoded block's to the last bit: a capture planned
    // from the file ends on the frame its drawing ends on.
    EXPECT_EQ(SoundtrackSeconds(path.c_str()), static_cast<double>(d.byteSize) / (96000.0 * 4));
    EXPECT_TRUE(logger_.lines.empty());
    // The block is gathered in pieces: each one in its place, none lost or repeated.
    EXPECT_EQ(FirstDifferenceFromPlainDecode(path, d.pcm.get(), d.byteSize), -1);
}

// Two files joined end to end, as tools join recordings: a short intro, then the track.
bool WriteChainedOgg(const std::string& path, const std::string& intro, const std::string& track) {
    if (!Reserialise(track, 0x51ED))
        return false;
    std::vector<uint8_t> bytes = ReadFileBytes(intro);
    const std::vector<uint8_t> second = ReadFileBytes(track);
    bytes.insert(bytes.end(), second.begin(), second.end());
    return WriteFileBytes(path, bytes);
}

TEST_F(SoundtrackTest, ChainedFileDecodesEveryLinkInOrder) {
    const std::string intro = PathOf("intro.ogg");
    const std::string track = PathOf("track.ogg");
    const std::string chain = PathOf("chain.ogg");
    ASSERT_TRUE(WriteTestOgg(intro, 1.0, 2, 44100));
    ASSERT_TRUE(WriteTestOgg(track, 3.0, 2, 44100));
    ASSERT_TRUE(WriteChainedOgg(chain, intro, track));

    const Decoded d = Decode(chain);
    ASSERT_NE(d.pcm, nullptr);
    EXPECT_EQ(d.byteSize, int64_t{4} * 44100 * 4);
    EXPECT_TRUE(logger_.lines.empty());
    const Decoded first = Decode(intro);
    ASSERT_NE(first.pcm, nullptr);
    ASSERT_LE(first.byteSize, d.byteSize);
    EXPECT_TRUE(std::equal(first.pcm.get(), first.pcm.get() + first.byteSize, d.pcm.get()));
    EXPECT_EQ(FirstDifferenceFromPlainDecode(chain, d.pcm.get(), d.byteSize), -1);

    // One buffer has one format: a mono track after a stereo intro cannot join it.
    ASSERT_TRUE(WriteTestOgg(track, 3.0, 1, 44100));
    ASSERT_TRUE(WriteChainedOgg(chain, intro, track));
    EXPECT_EQ(Decode(chain).pcm, nullptr);
}

TEST_F(SoundtrackTest, TruncatedFileDecodesItsCompletePages) {
    const std::string path = PathOf("cut.ogg");
    ASSERT_TRUE(WriteTestOgg(path, 30.0, 2, 8000));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);

    const Decoded cut = Decode(path);
    ASSERT_NE(cut.pcm, nullptr);
    EXPECT_EQ(cut.channels, 2);
    EXPECT_GT(cut.byteSize, 5 * 8000 * 4);
    EXPECT_LT(cut.byteSize, 20 * 8000 * 4);
    EXPECT_EQ(cut.byteSize % 4, 0);  // whole frames, as alBufferData requires
}

TEST_F(SoundtrackTest, DecodingErrorLeavesSilenceAfterIt) {
    const std::string path = PathOf("hole.ogg");
    ASSERT_TRUE(WriteTestOgg(path, 30.0, 1, 8000));
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(std::filesystem::file_size(path) / 2));
        const std::string garbage(3000, '\xA5');
        file.write(garbage.data(), std::streamsize(garbage.size()));
    }
    const Decoded d = Decode(path);
    ASSERT_NE(d.pcm, nullptr);
    ASSERT_EQ(d.byteSize, 30 * 8000 * 2);  // the stated length, though decoding stopped early
    const auto* samples = reinterpret_cast<const int16_t*>(d.pcm.get());
    const int64_t count = d.byteSize / 2;
    int firstPeak = 0;
    for (int64_t i = 0; i < count / 4; ++i)
        firstPeak = std::max(firstPeak, std::abs(int(samples[i])));
    EXPECT_GT(firstPeak, 1000);
    for (int64_t i = count - count / 4; i < count; ++i)
        ASSERT_EQ(samples[i], 0) << "sample " << i;

    // The silence reaches no further than a file of its size could: a damaged stream that also
    // claims 25 minutes (24 MB) gets a few times its own length, not the claim.
    const int64_t claim = int64_t{25} * 60 * 8000 * 2;
    ASSERT_TRUE(ClaimLength(path, claim / 2));
    const Decoded liar = Decode(path);
    ASSERT_NE(liar.pcm, nullptr);
    EXPECT_GE(liar.byteSize, d.byteSize);
    EXPECT_LT(liar.byteSize, claim / 8) << "bytes for 30 s of audio claiming 25 min";
}

TEST_F(SoundtrackTest, StreamWithoutSamplesIsRefused) {
    const std::string path = PathOf("headers.ogg");
    ASSERT_TRUE(WriteTestOgg(path, 0.0, 1, 8000));
    EXPECT_EQ(Decode(path).pcm, nullptr);

    // Cut before the first complete audio page: the length reads as zero.
    ASSERT_TRUE(WriteTestOgg(path, 4.0, 2, 8000));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    EXPECT_EQ(Decode(path).pcm, nullptr);
}

TEST(BeatClock, TempoOverSixtyTimesSeconds) {
    EXPECT_EQ(BeatsAtSeconds(126.0f, 10.0f), 21.0f);
    EXPECT_FLOAT_EQ(BeatsAtSeconds(126.0f, -1.0f), -2.1f);
    EXPECT_EQ(BeatsAtSeconds(126.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(BeatsAtSeconds(126.0f, 180.0f), 378.0f);
}

// The real clock, on OpenAL Soft's null output: loads a generated soundtrack from the fixed
// path and moves its source to 10 seconds.
class OpenAlTest : public SoundtrackTest {
protected:
    void SetUp() override {
        SoundtrackTest::SetUp();
        setenv("ALSOFT_DRIVERS", "null", 1);
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.Path());
    }
    void TearDown() override {
        ReleaseSoundtrack(soundtrack_);
        std::filesystem::current_path(previousDir_);
        SoundtrackTest::TearDown();
    }

    Soundtrack soundtrack_;
    std::filesystem::path previousDir_;
};

TEST_F(OpenAlTest, CurrentBeatAndRowFollowThePlaybackPosition) {
    ASSERT_TRUE(InitAudio(soundtrack_));
    SetListener(0.0f, 0.0f, 0.0f);
    EXPECT_GE(soundtrack_.alcMajorVersion, 1);
    EXPECT_GE(soundtrack_.alcMinorVersion, 0);
    ASSERT_EQ(logger_.lines.size(), 1u);
    EXPECT_EQ(logger_.lines[0].rfind("OpenAL Device Specifier: ", 0), 0u);

    SoundtrackClock clock(soundtrack_);
    SyncContext sync;
    sync.soundtrack = &soundtrack_;
    sync.clock = &clock;
    // No source yet: the position reads as -1 second.
    soundtrack_.tempo = 126.0f;
    EXPECT_FLOAT_EQ(CurrentBeat(soundtrack_), -2.1f);
    ReadFrameClock(sync);
    EXPECT_EQ(CurrentRow(sync), -34);
    soundtrack_.tempo = 0.0f;
    alGetError();  // the failed queries on source 0 left AL_INVALID_NAME behind

    ASSERT_TRUE(WriteTestOgg("Audio/tovik.ogg", 12.0, 1, 8000));
    ASSERT_TRUE(LoadSoundtrack(soundtrack_, 126.0f));
    EXPECT_EQ(soundtrack_.tempo, 126.0f);
    ASSERT_NE(soundtrack_.buffer, 0u);
    ASSERT_NE(soundtrack_.source, 0u);
    ALint bufferChannels = 0, bufferBits = 0, bufferSize = 0;
    alGetBufferi(soundtrack_.buffer, AL_CHANNELS, &bufferChannels);
    alGetBufferi(soundtrack_.buffer, AL_BITS, &bufferBits);
    alGetBufferi(soundtrack_.buffer, AL_SIZE, &bufferSize);
    EXPECT_EQ(bufferChannels, 1);
    EXPECT_EQ(bufferBits, 16);
    EXPECT_EQ(bufferSize, 12 * 8000 * 2);
    ALint looping = AL_TRUE;
    alGetSourcei(soundtrack_.source, AL_LOOPING, &looping);
    EXPECT_EQ(looping, AL_FALSE);

    EXPECT_EQ(CurrentBeat(soundtrack_), 0.0f);
    ReadFrameClock(sync);
    EXPECT_EQ(CurrentRow(sync), 0);

    alSourcePlay(soundtrack_.source);
    alSourcePause(soundtrack_.source);
    alSourcef(soundtrack_.source, AL_SEC_OFFSET, 10.0f);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
    EXPECT_FLOAT_EQ(CurrentBeat(soundtrack_), 21.0f);
    EXPECT_EQ(CurrentRow(sync), 0) << "the frame's reading holds until the next frame reads the clock";
    ReadFrameClock(sync);
    EXPECT_EQ(CurrentRow(sync), 336);
}

TEST_F(OpenAlTest, MissingSoundtrackIsReportedAndCreatesNothing) {
    ASSERT_TRUE(InitAudio(soundtrack_));
    logger_.lines.clear();
    EXPECT_FALSE(LoadSoundtrack(soundtrack_, 126.0f));
    EXPECT_EQ(soundtrack_.tempo, 0.0f);
    EXPECT_EQ(soundtrack_.buffer, 0u);
    EXPECT_EQ(soundtrack_.source, 0u);
    ASSERT_EQ(logger_.lines.size(), 1u);
    EXPECT_EQ(logger_.lines[0], "ERROR: Failed To Read OggVorbis File!");
}

TEST_F(OpenAlTest, StereoSoundtrackBecomesAStereoBufferAndReleaseClearsEverything) {
    ASSERT_TRUE(WriteTestOgg("Audio/tovik.ogg", 1.0, 2, 8000));
    ASSERT_TRUE(InitAudio(soundtrack_));
    ASSERT_TRUE(LoadSoundtrack(soundtrack_, 126.0f));
    ALint bufferChannels = 0;
    alGetBufferi(soundtrack_.buffer, AL_CHANNELS, &bufferChannels);
    EXPECT_EQ(bufferChannels, 2);

    const ALuint source = soundtrack_.source;
    ReleaseSoundtrack(soundtrack_);
    EXPECT_EQ(soundtrack_.source, 0u);
    EXPECT_EQ(soundtrack_.buffer, 0u);
    EXPECT_EQ(soundtrack_.context, nullptr);
    EXPECT_EQ(soundtrack_.device, nullptr);
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    EXPECT_FALSE(alIsSource(source));
    ReleaseSoundtrack(soundtrack_);  // a second release finds nothing left to free
}

}  // namespace

#include <gtest/gtest.h>

#include "audio/Soundtrack.h"
#include "support/ContentFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSamplesPerBeat = 21000;  // 44100 Hz at 126 beats per minute
constexpr int kBeats = 432;

// The soundtrack decoded by the player's own decoder, one float per sample and channel.
class DecodedSoundtrack {
public:
    DecodedSoundtrack() {
        const std::unique_ptr<char[]> pcm = DecodeOggFile(channels, sampleRate, byteSize, RunPath("Audio/tovik.ogg").c_str());
        if (!pcm || channels != 2)
            return;
        const size_t samples = static_cast<size_t>(byteSize) / 2;
        left.resize(samples / 2);
        right.resize(samples / 2);
        for (size_t i = 0; i < samples / 2; ++i) {
            int16_t l, r;
            std::memcpy(&l, pcm.get() + 4 * i, 2);
            std::memcpy(&r, pcm.get() + 4 * i + 2, 2);
            left[i] = l / 32768.0f;
            right[i] = r / 32768.0f;
        }
    }

    int channels = 0;
    int sampleRate = 0;
    int64_t byteSize = 0;
    std::vector<float> left, right;
};

const DecodedSoundtrack& Music() {
    static const DecodedSoundtrack decoded;
    return decoded;
}

float Decibels(double amplitude) { return static_cast<float>(20.0 * std::log10(std::max(amplitude, 1e-9))); }

double Rms(const std::vector<float>& samples, size_t first, size_t last) {
    double sum = 0.0;
    for (size_t i = first; i < last; ++i)
        sum += samples[i] * samples[i];
    return std::sqrt(sum / std::max<size_t>(1, last - first));
}

double BeatsRms(const std::vector<float>& samples, int from, int to) {
    return Rms(samples, static_cast<size_t>(from) * kSamplesPerBeat, static_cast<size_t>(to) * kSamplesPerBeat);
}

// A click is a jump between two samples far larger than the jumps just around it: music
// moves smoothly or, in noisy sounds, jumps all the time, but a discontinuity stands alone.
// Returns the worst ratio of a jump to the typical jump of the 128 samples around it (not
// counting its immediate neighbours, which a one-sample spike makes jump too), and where.
double WorstClick(const std::vector<float>& samples, size_t& where) {
    constexpr size_t kAround = 64;
    std::vector<double> prefix(samples.size() + 1, 0.0);
    for (size_t i = 1; i < samples.size(); ++i) {
        const double jump = samples[i] - samples[i - 1];
        prefix[i + 1] = prefix[i] + jump * jump;
    }
    double worst = 0.0;
    for (size_t i = kAround + 2; i + kAround + 1 < samples.size(); ++i) {
        const double jump = std::fabs(samples[i] - samples[i - 1]);
        const double around = prefix[i + kAround + 2] - prefix[i - kAround] - (prefix[i + 2] - prefix[i - 1]);
        // A floor keeps near-silence from turning the last bits of dither into "clicks".
        const double typical = std::max(std::sqrt(around / (2 * kAround)), 2e-4);
        if (jump / typical > worst)
            worst = jump / typical, where = i;
    }
    return worst;
}

constexpr double kClickRatio = 12.0;

}  // namespace

TEST(ContentSoundtrack, StereoAt44100HzExactly432BeatsLong) {
    QUARN_REQUIRE_CONTENT();
    const DecodedSoundtrack& music = Music();
    ASSERT_EQ(music.channels, 2);
    EXPECT_EQ(music.sampleRate, 44100);
    // The decoder sizes its block from the stream's duration in seconds.
    EXPECT_NEAR(static_cast<double>(music.byteSize), double(kBeats) * kSamplesPerBeat * 4, 4.0);
}

TEST(ContentSoundtrack, PeaksBelowMinusOneDecibelAndFollowsTheTimeline) {
    QUARN_REQUIRE_CONTENT();
    const DecodedSoundtrack& music = Music();
    ASSERT_FALSE(music.left.empty());
    float peak = 0.0f;
    for (size_t i = 0; i < music.left.size(); ++i)
        peak = std::max({peak, std::fabs(music.left[i]), std::fabs(music.right[i])});
    EXPECT_LT(Decibels(peak), -1.0f);
    EXPECT_GT(Decibels(peak), -4.0f);

    const struct {
        const char* name;
        int from, to;
    } sections[] = {{"intro", 0, 32},   {"groove", 32, 64}, {"theme", 64, 96},      {"greetings", 96, 160},
                    {"sphere", 160, 224}, {"build", 224, 256}, {"drop", 256, 304},   {"breakdown", 304, 336},
                    {"finale", 336, 400}, {"outro", 400, 432}};
    std::map<std::string, float> level;
    for (const auto& section : sections) {
        level[section.name] = Decibels(BeatsRms(music.left, section.from, section.to));
        std::printf("  %-10s beats %3d-%3d  rms %6.1f dBFS\n", section.name, section.from, section.to, level[section.name]);
    }
    // Quiet intro, full groove from the drums' entry, a breakdown, a fading end.
    EXPECT_LT(level["intro"], level["groove"] - 4.0f);
    EXPECT_LT(level["breakdown"], level["drop"] - 1.5f);
    EXPECT_GT(Decibels(BeatsRms(music.left, 256, 258)), Decibels(BeatsRms(music.left, 254, 256)) + 1.0f);
    EXPECT_LT(Decibels(BeatsRms(music.left, 430, 432)), level["finale"] - 20.0f);
    for (const auto& [name, rms] : level)
        EXPECT_GT(rms, -30.0f) << name;
}

// The beats fall on the sample grid of 21000 samples a beat: averaged over the groove, the
// sharpest rise in loudness within a beat comes right at the grid line.
TEST(ContentSoundtrack, BeatsLandOnTheSampleGrid) {
    QUARN_REQUIRE_CONTENT();
    const DecodedSoundtrack& music = Music();
    ASSERT_FALSE(music.left.empty());
    std::vector<float> mono(music.left.size());
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = 0.5f * (music.left[i] + music.right[i]);
    constexpr int kSpan = 500, kStep = 25, kReach = kSamplesPerBeat / 2;
    int sharpest = 0;
    double strongest = 0.0;
    for (int offset = -kReach; offset < kReach; offset += kStep) {
        double rise = 0.0;
        for (int beat = 33; beat < 64; ++beat) {
            const size_t at = static_cast<size_t>(beat * kSamplesPerBeat + offset);
            rise += Rms(mono, at, at + kSpan) - Rms(mono, at - kSpan, at);
        }
        if (rise > strongest)
            strongest = rise, sharpest = offset;
    }
    std::printf("  sharpest rise %d samples from the grid line\n", sharpest);
    EXPECT_LE(std::abs(sharpest), 100);
}

TEST(ContentSoundtrack, HasNoClicks) {
    QUARN_REQUIRE_CONTENT();
    const DecodedSoundtrack& music = Music();
    ASSERT_FALSE(music.left.empty());
    for (const std::vector<float>* channel : {&music.left, &music.right}) {
        size_t where = 0;
        const double worst = WorstClick(*channel, where);
        std::printf("  worst jump %.1f x the local level, at beat %.2f\n", worst, where / double(kSamplesPerBeat));
        EXPECT_LT(worst, kClickRatio) << "at beat " << where / double(kSamplesPerBeat);
    }
    // The measure does see clicks in the music: a one-sample spike and a sudden step (a sound
    // cut off mid-wave), of 0.06 in the quiet intro and of 0.15 in the full groove.
    std::vector<std::vector<float>> clicks;
    for (const auto& [beat, size] : {std::pair{6, 0.06f}, std::pair{40, 0.15f}}) {
        const auto from = music.left.begin() + beat * kSamplesPerBeat;
        std::vector<float> spike(from, from + kSamplesPerBeat), step = spike;
        spike[kSamplesPerBeat / 3] += size;
        for (size_t i = kSamplesPerBeat / 3; i < step.size(); ++i)
            step[i] += size;
        clicks.push_back(spike);
        clicks.push_back(step);
    }
    size_t where = 0;
    for (const std::vector<float>* clicked : {&clicks[0], &clicks[1], &clicks[2], &clicks[3]}) {
        const double injected = WorstClick(*clicked, where);
        std::printf("  an injected click: %.1f x\n", injected);
        EXPECT_GT(injected, kClickRatio);
    }
}

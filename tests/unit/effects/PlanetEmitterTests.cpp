#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "effects/GreetingsMath.h"
#include "effects/PlanetEmitter.h"
#include "effects/SphereMorphMath.h"
#include "math/Random.h"

namespace {

constexpr float kFailedAudioBeat = -2.1f;  // -1 second at 126 beats per minute

// Records that no stage writes: (7, 7, 7, 7) everywhere, to see what a stage leaves alone.
std::vector<ParticleRecord> MarkedRecords() {
    return std::vector<ParticleRecord>(kPlanetParticleCount, ParticleRecord{7.0f, 7.0f, 7.0f, 7.0f});
}

bool IsMarked(const ParticleRecord& r) { return r.x == 7.0f && r.y == 7.0f && r.z == 7.0f && r.w == 7.0f; }

float Length(const ParticleRecord& r) { return std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z); }

void ExpectRecord(const ParticleRecord& r, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(r.x, x);
    EXPECT_FLOAT_EQ(r.y, y);
    EXPECT_FLOAT_EQ(r.z, z);
    EXPECT_FLOAT_EQ(r.w, w);
}

}  // namespace

TEST(PlanetEmitter, EachBoundBelongsToItsOwnStageAndJustAboveToTheNext) {
    const std::pair<float, int> bounds[] = {{4.0f, 1},  {8.0f, 2},  {12.0f, 3}, {16.0f, 4}, {20.0f, 5},
                                            {24.0f, 6}, {26.0f, 7}, {33.0f, 8}, {64.0f, 9}, {96.0f, 10}};
    for (const auto& [beat, stage] : bounds) {
        EXPECT_EQ(EmitterStageAt(beat), stage) << beat;
        EXPECT_EQ(EmitterStageAt(std::nextafter(beat, 1000.0f)), stage + 1) << beat;
    }
    EXPECT_EQ(EmitterStageAt(0.0f), 1);
    EXPECT_EQ(EmitterStageAt(kFailedAudioBeat), 1);
    EXPECT_EQ(EmitterStageAt(430.0f), 11);
}

TEST(PlanetEmitter, StagesDrawTheirCountsAndLeaveLaterRecordsAlone) {
    struct Expected {
        float beat;
        int count;
        float wave;
    };
    const Expected stages[] = {{4.0f, 100, 1.0f},   {4.01f, 400, 1.0f}, {10.0f, 900, 1.0f},  {14.0f, 1600, 1.0f},
                               {18.0f, 2500, 1.0f}, {22.0f, 2500, 1.0f}, {25.0f, 2500, 1.0f}, {30.0f, 2500, 1.0f},
                               {50.0f, 2500, 1.0f}, {80.0f, 1000, 0.0f}, {kFailedAudioBeat, 100, 1.0f}};
    for (const Expected& expected : stages) {
        std::vector<ParticleRecord> records = MarkedRecords();
        const EmitterStage stage = WriteEmitterStage(expected.beat, 5.3f, records);
        EXPECT_EQ(stage.count, expected.count) << expected.beat;
        EXPECT_EQ(stage.wave, expected.wave) << expected.beat;
        EXPECT_FALSE(IsMarked(records[stage.count - 1])) << expected.beat;
        if (stage.count < kPlanetParticleCount) {
            EXPECT_TRUE(IsMarked(records[stage.count])) << expected.beat;
        }
    }
}

TEST(PlanetEmitter, AboveBeat96NothingIsWrittenOrDrawn) {
    std::vector<ParticleRecord> records = MarkedRecords();
    const EmitterStage stage = WriteEmitterStage(96.001f, 5.3f, records);
    EXPECT_EQ(stage.number, 11);
    EXPECT_EQ(stage.count, 0);
    EXPECT_EQ(stage.wave, 1.0f);
    for (const ParticleRecord& r : records)
        ASSERT_TRUE(IsMarked(r));
}

TEST(PlanetEmitter, ShortStorageIsNeverWrittenPast) {
    std::vector<ParticleRecord> records(99, ParticleRecord{7.0f, 7.0f, 7.0f, 7.0f});
    const EmitterStage stage = WriteEmitterStage(2.0f, 1.0f, records);
    EXPECT_EQ(stage.count, 0);
    for (const ParticleRecord& r : records)
        ASSERT_TRUE(IsMarked(r));
    WriteButterfly(1.0f, records);
    WriteLattice(1.0f, records);
    WriteSphereGrid(10, 1.0f, 1.0f, records);
    EXPECT_TRUE(IsMarked(records[0]));
}

TEST(PlanetEmitter, SphereGridTurnsWithTheTimeOnItsRadius) {
    const float t = 2.0f;  // u = j + 0.5, v = k + 0.5
    std::vector<ParticleRecord> records = MarkedRecords();
    WriteEmitterStage(6.0f, t, records);  // stage 2: n = 20, R = 2

    // Record j x 20 + k, here j = 3, k = 7.
    const float u = 3.5f, v = 7.5f;
    ExpectRecord(records[67], 2.0f * std::cos(u) * std::sin(v), 2.0f * std::sin(u) * std::sin(v), 2.0f * std::cos(v),
                 1.0f);
    for (int i = 0; i < 400; ++i)
        ASSERT_NEAR(Length(records[i]), 2.0f, 1e-5f) << i;
}

TEST(PlanetEmitter, BreathingSpheresFollowSinOfAQuarterOfTheTime) {
    std::vector<ParticleRecord> records = MarkedRecords();
    // t = 0: sin q = 0, every point of stages 6 and 8 collapses onto the origin.
    for (float beat : {22.0f, 30.0f}) {
        WriteEmitterStage(beat, 0.0f, records);
        for (const ParticleRecord& r : records)
            ASSERT_EQ(Length(r), 0.0f) << beat;
    }
    const float t = 3.0f;
    WriteEmitterStage(30.0f, t, records);
    EXPECT_NEAR(Length(records[1234]), 3.0f * std::sin(t / 4.0f), 1e-5f);
    WriteEmitterStage(25.0f, t, records);  // stage 7 holds R = 3 between the two
    EXPECT_NEAR(Length(records[1234]), 3.0f, 1e-5f);
}

TEST(PlanetEmitter, ButterflyRecordsAtAChosenTime) {
    const float t = 1.5f;
    std::vector<ParticleRecord> records = MarkedRecords();
    EXPECT_EQ(WriteEmitterStage(40.0f, t, records).number, 9);

    for (int k : {0, 1, 777, 2499}) {
        const double kf = k, p = kf + t;
        const double r = std::exp(std::cos(p)) - 2.0 * std::cos(4.0 * kf + t) - std::pow(std::sin(kf / 12.0 + t), 5.0);
        const ParticleRecord& record = records[k];
        EXPECT_NEAR(record.x, r * std::sin(p), 1e-3) << k;
        EXPECT_NEAR(record.y, r * std::cos(p), 1e-3) << k;
        EXPECT_FLOAT_EQ(record.z, std::sin(t / 4.0f)) << k;
        EXPECT_EQ(record.w, 1.0f);
    }
    // k = 0, t = 0 by hand: r = e - 2, the point (0, e - 2, 0).
    WriteButterfly(0.0f, records);
    ExpectRecord(records[0], 0.0f, std::exp(1.0f) - 2.0f, 0.0f, 1.0f);
}

TEST(PlanetEmitter, LatticeRunsXInnermostAndGrowsOncePerUnitOfTime) {
    const float t = 3.25f;  // h = 2 x frac(t) = 0.5
    std::vector<ParticleRecord> records = MarkedRecords();
    const EmitterStage stage = WriteEmitterStage(70.0f, t, records);
    ASSERT_EQ(stage.number, 10);
    const float w = std::sin(4.0f * t);
    ExpectRecord(records[0], -0.5f, -0.5f, -0.5f, w);
    ExpectRecord(records[1], -0.375f, -0.5f, -0.5f, w);
    ExpectRecord(records[10], -0.5f, -0.375f, -0.5f, w);
    ExpectRecord(records[100], -0.5f, -0.5f, -0.375f, w);
    ExpectRecord(records[999], 0.625f, 0.625f, 0.625f, w);  // 1.25 h

    // At a whole unit of time the lattice has shrunk to a point; just before, it spans almost 4.5.
    WriteLattice(4.0f, records);
    EXPECT_EQ(Length(records[999]), 0.0f);
    WriteLattice(4.999f, records);
    EXPECT_NEAR(records[999].x - records[0].x, 4.5f, 0.01f);
}

TEST(PlanetEmitter, PlanetSlowsAndPulsesFromBeat33) {
    EXPECT_EQ(PlanetSpinPeriod(32.99f), 16.0f);
    EXPECT_EQ(PlanetSpinPeriod(33.0f), 64.0f);
    EXPECT_EQ(PlanetSpinPeriod(kFailedAudioBeat), 16.0f);

    EXPECT_EQ(PlanetSize(32.99f, 7.5f), 10.0f);
    EXPECT_EQ(PlanetSize(kFailedAudioBeat, 7.5f), 10.0f);
    EXPECT_FLOAT_EQ(PlanetSize(33.0f, 7.0f), 10.0f);
    EXPECT_FLOAT_EQ(PlanetSize(40.0f, 7.25f), 12.0f);
    EXPECT_NEAR(PlanetSize(40.0f, 7.999f), 18.0f, 0.01f);
}

TEST(PlanetEmitter, InitialRingHasRadiusTenInTheXZPlane) {
    std::vector<ParticleRecord> records(3);
    WriteEmitterRing(records);
    ExpectRecord(records[0], 0.0f, 0.0f, 10.0f, 1.0f);
    ExpectRecord(records[2], 10.0f * std::sin(8.0f), 0.0f, 10.0f * std::cos(8.0f), 1.0f);
}

// The cloud takes the 10000 draws after the 20000 that Greetings makes behind its seed, whatever
// the sphere morph drew before; a change of either's draw count or of the order moves it.
TEST(PlanetEmitter, CloudContinuesTheSequenceAfterTheEffectsBeforeIt) {
    quarn::srand(0);
    for (int i = 0; i < 20000; ++i)
        quarn::rand();
    int draws[8];
    for (int& draw : draws)
        draw = quarn::rand();

    std::vector<ParticleRecord> sphereMorphCloud(5000);
    std::vector<ParticleRecord> greetingsCloud(5000);
    std::vector<ParticleRecord> planetCloud(kPlanetParticleCount);
    FillParticleDisc(sphereMorphCloud);
    FillGreetingsCloud(greetingsCloud);
    FillCloudBox(planetCloud);

    ExpectRecord(planetCloud[0], static_cast<float>(draws[0] % 200 - 100), static_cast<float>(draws[1] % 200 - 100),
                 static_cast<float>(draws[2] % 200 - 100), static_cast<float>(draws[3] % 10) / 5.0f);
    ExpectRecord(planetCloud[1], static_cast<float>(draws[4] % 200 - 100), static_cast<float>(draws[5] % 200 - 100),
                 static_cast<float>(draws[6] % 200 - 100), static_cast<float>(draws[7] % 10) / 5.0f);

    // Exactly 10000 draws: the cube tunnel's cloud starts at draw 30001.
    quarn::srand(0);
    for (int i = 0; i < 30000; ++i)
        quarn::rand();
    const int tunnelFirst = quarn::rand();
    quarn::srand(0);
    for (int i = 0; i < 20000; ++i)
        quarn::rand();
    FillCloudBox(planetCloud);
    EXPECT_EQ(quarn::rand(), tunnelFirst);

    for (const ParticleRecord& r : planetCloud) {
        ASSERT_GE(std::min({r.x, r.y, r.z}), -100.0f);
        ASSERT_LE(std::max({r.x, r.y, r.z}), 99.0f);
        ASSERT_GE(r.w, 0.0f);
        ASSERT_LE(r.w, 1.8f);
    }
}

#include <gtest/gtest.h>

#include <AL/al.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "effects/Bloom.h"
#include "effects/PlanetEffect.h"
#include "effects/PlanetEmitter.h"
#include "render/Camera.h"
#include "support/BeatEffectFixture.h"
#include "support/FilelessSync.h"

namespace {

constexpr float kNoEmitterBeat = 100.0f;

// What the emitter adds to a frame: the pixels that differ from the same frame without it.
struct EmitterTrace {
    int pixels = 0;
    double farthest = 0.0;  // from the centre of the window, in pixels
    double warmth = 0.0;    // mean red minus blue over those pixels
};

class PlanetEffectTest : public BeatEffectFixture {
protected:
    void SetUp() override {
        BeatEffectFixture::SetUp();
        if (HasFatalFailure())
            return;
        renderer.GetCamera()->distance = -2.0f;  // the planet 10 units ahead, as the demo opens
    }

    void TearDown() override {
        planet.Shutdown();
        BeatEffectFixture::TearDown();
    }

    std::vector<uint8_t> FrameAt(float beat, float time) {
        music.SetBeat(beat);
        DrawFrame(planet, time);
        return ReadBackBuffer();
    }

    // Primitives that reach the rasteriser in one frame: the planet's triangles plus a fixed
    // number per sprite of the emitter and the cloud.
    GLuint CountPrimitives(float time) {
        GLuint query = 0;
        glGenQueries(1, &query);
        glBeginQuery(GL_PRIMITIVES_GENERATED, query);
        DrawFrame(planet, time);
        glEndQuery(GL_PRIMITIVES_GENERATED);
        GLuint count = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
        glDeleteQueries(1, &query);
        return count;
    }

    GLuint PrimitivesAt(float beat, float time) {
        music.SetBeat(beat);
        return CountPrimitives(time);
    }

    // The emitter at `beat` against the same frame at a beat where it draws nothing; the planet
    // and the cloud must not differ between the two (the same time, both on one side of 33).
    EmitterTrace TraceEmitter(float beat, float time, float referenceBeat, const std::string& still) {
        const std::vector<uint8_t> without = FrameAt(referenceBeat, time);
        const std::vector<uint8_t> with = FrameAt(beat, time);
        KeepStill(still);
        EmitterTrace trace;
        double warmth = 0.0;
        for (int y = 0; y < kWindowHeight; ++y)
            for (int x = 0; x < kWindowWidth; ++x) {
                const size_t i = (static_cast<size_t>(y) * kWindowWidth + x) * 4;
                const int difference = std::abs(with[i] - without[i]) + std::abs(with[i + 1] - without[i + 1]) +
                                       std::abs(with[i + 2] - without[i + 2]);
                if (difference < 24)
                    continue;
                ++trace.pixels;
                trace.farthest = std::max(trace.farthest, std::hypot(x - kWindowWidth / 2.0, y - kWindowHeight / 2.0));
                warmth += with[i] - with[i + 2];
            }
        trace.warmth = trace.pixels ? warmth / trace.pixels : 0.0;
        return trace;
    }

    static std::vector<ParticleRecord> BufferRecords(GLuint buffer) {
        std::vector<ParticleRecord> records(kPlanetParticleCount);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        GLint size = 0;
        glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        if (size == static_cast<GLint>(records.size() * sizeof(ParticleRecord)))
            glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, records.data());
        else
            records.clear();
        return records;
    }

    static bool SameRecords(const std::vector<ParticleRecord>& a, const std::vector<ParticleRecord>& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& p, const auto& q) {
                   return p.x == q.x && p.y == q.y && p.z == q.z && p.w == q.w;
               });
    }

    static double Brightness(int x, int y) { return EffectFixture::Brightness(x, y, 3); }

    PlanetEffect planet;
};

TEST_F(PlanetEffectTest, InitBuildsTheSceneAndFramesThroughEveryStageLeaveNoGLError) {
    EXPECT_STREQ(planet.name, "Planet Effect");
    ASSERT_TRUE(planet.Init());
    EXPECT_NE(planet.vertexArray, 0u);
    EXPECT_EQ(planet.particleCount, 2500);
    ASSERT_GT(planet.planetModel.indexCount, 0u) << "the run directory lacks ./Models/coolball.exm";
    EXPECT_FALSE(planet.planetModel.vertices);
    EXPECT_FALSE(planet.planetModel.indices);
    EXPECT_TRUE(SameRecords(BufferRecords(planet.cloudBuffer), planet.cloudRecords));
    const std::vector<ParticleRecord> ring = BufferRecords(planet.emitterBuffer);
    ASSERT_EQ(ring.size(), 2500u);
    EXPECT_FLOAT_EQ(ring[1].x, 10.0f * std::sin(4.0f));
    for (GLint location : {planet.modelMatrixLocation, planet.normalMatrixLocation, planet.lightPosLocation,
                           planet.planetTexSamplerLocation, planet.waveLocation, planet.emitterTexSamplerLocation,
                           planet.cloudTexSamplerLocation, planet.cloudWaveLocation})
        EXPECT_NE(location, -1);
    ASSERT_NE(planet.environmentTexture, nullptr);
    EXPECT_TRUE(glIsTexture(planet.environmentTexture->name));
    EXPECT_NE(planet.emitterTexture, planet.cloudTexture);
    EXPECT_EQ(log.StartingWith("ERROR").size(), 0u);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    // Every stage, the slowdown at 33 and the empty emitter above 96; each frame's whole record
    // array reaches the buffer, drawn or not.
    for (float beat : {2.0f, 6.0f, 10.0f, 14.0f, 18.0f, 22.0f, 25.0f, 30.0f, 34.0f, 50.0f, 70.0f, 90.0f, 120.0f}) {
        music.SetBeat(beat);
        DrawFrame(planet, beat / 2.0f + 0.3f);
        ASSERT_TRUE(SameRecords(BufferRecords(planet.emitterBuffer), planet.emitterRecords)) << beat;
    }
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    // What Render leaves behind.
    DrawFrame(planet, 60.3f);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM)), planet.cloudProgram.program);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_ARRAY_BUFFER_BINDING)), planet.cloudBuffer);
    ExpectAlphaBlendingAndABareUnitZero();

    const GLuint emitterBuffer = planet.emitterBuffer;
    const GLuint cubeSampler = planet.cubeSampler;
    const GLuint cloudProgram = planet.cloudProgram.program;
    planet.Shutdown();
    EXPECT_FALSE(glIsBuffer(emitterBuffer));
    EXPECT_FALSE(glIsSampler(cubeSampler));
    EXPECT_FALSE(glIsProgram(cloudProgram));
    EXPECT_EQ(planet.vertexArray, 0u);
    EXPECT_TRUE(planet.emitterRecords.empty());
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(PlanetEffectTest, EachStageDrawsItsCountOfSprites) {
    ASSERT_TRUE(planet.Init());
    const GLuint none = PrimitivesAt(kNoEmitterBeat, 1.0f);
    const GLuint planetTriangles = planet.planetModel.indexCount / 3;
    ASSERT_GT(none, planetTriangles);
    ASSERT_EQ((none - planetTriangles) % 2500, 0u);
    const GLuint perSprite = (none - planetTriangles) / 2500;
    EXPECT_GE(perSprite, 1u);

    const std::pair<float, GLuint> stages[] = {{3.9f, 100},
                                               {4.05f, 400},
                                               {14.0f, 1600},
                                               {30.0f, 2500},
                                               {50.0f, 2500},
                                               {80.0f, 1000},
                                               {96.05f, 0}};
    for (const auto& [beat, count] : stages)
        EXPECT_EQ(PrimitivesAt(beat, 1.0f), none + perSprite * count) << beat;

    // With the audio query failing the beat reads -2.1: stage 1.
    const ALuint source = music.soundtrack.source;
    music.soundtrack.source = 0;
    music.StartFrame();
    const GLuint failed = CountPrimitives(1.0f);
    music.soundtrack.source = source;
    alGetError();  // the query on source 0 leaves AL_INVALID_NAME behind
    EXPECT_EQ(failed, none + perSprite * 100);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(PlanetEffectTest, PictureShowsTheLitPlanetAndEachStagesShape) {
    ASSERT_TRUE(planet.Init());

    // At time 0 the planet neither turns nor pulses, whatever the beat: the emitter is the only
    // difference from the frame above beat 96.
    const EmitterTrace small = TraceEmitter(2.0f, 0.0f, kNoEmitterBeat, "planet-stage1.png");
    const EmitterTrace grown = TraceEmitter(18.0f, 0.0f, kNoEmitterBeat, "planet-stage5.png");
    const EmitterTrace widest = TraceEmitter(25.0f, 0.0f, kNoEmitterBeat, "planet-stage7.png");
    const EmitterTrace collapsed = TraceEmitter(30.0f, 0.0f, kNoEmitterBeat, "planet-stage8-collapsed.png");
    // The planet, radius 1, fills the centre; the sphere of radius 1 sits on it, radius 2 and 3
    // spread further out, and the sprites are warm embers.
    EXPECT_GT(small.pixels, 500);
    EXPECT_LT(small.farthest, 110.0);
    EXPECT_GT(grown.farthest, 120.0);
    EXPECT_LT(grown.farthest, 190.0);
    EXPECT_GT(widest.farthest, 200.0);
    EXPECT_GT(grown.warmth, 20.0);
    // sin(time / 4) = 0: every point of the pulsing sphere is at the origin, inside the planet.
    EXPECT_LT(collapsed.pixels, 20);

    // Both frames from beat 33 on: they turn and pulse alike at the same time.
    const EmitterTrace butterfly = TraceEmitter(50.0f, 2.5f, kNoEmitterBeat, "planet-butterfly.png");
    const EmitterTrace lattice = TraceEmitter(80.0f, 2.9f, kNoEmitterBeat, "planet-lattice.png");
    EXPECT_GT(butterfly.farthest, 250.0);
    EXPECT_GT(butterfly.warmth, 20.0);
    EXPECT_GT(lattice.pixels, 2000);
    EXPECT_LT(lattice.warmth, -20.0);  // the lattice's crystals are cold

    // The planet is lit at the centre; from beat 33 it swells, so a point 1.3 radii above its
    // centre turns from sky into planet three quarters into a unit of time.
    const int above = kWindowHeight / 2 + 81;
    FrameAt(kNoEmitterBeat, 2.0f);
    KeepStill("planet-pulse-small.png");
    EXPECT_GT(Brightness(kWindowWidth / 2, kWindowHeight / 2), 60.0);
    const double sky = Brightness(kWindowWidth / 2, above);
    FrameAt(kNoEmitterBeat, 2.75f);
    KeepStill("planet-pulse-large.png");
    EXPECT_GT(Brightness(kWindowWidth / 2, above), sky + 40.0);

    // For the eye only: the pulsing sphere half way out, and the planet turning slowly.
    FrameAt(30.0f, 5.0f);
    KeepStill("planet-stage8.png");
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(PlanetEffectTest, FramesThroughTheBloomLeaveNoGLError) {
    ASSERT_TRUE(OpenSyncDeviceWithoutFiles(sync, &music.soundtrack));
    HoldTrack(sync, "Fade", 1.0f);
    Bloom bloom;
    ASSERT_TRUE(planet.Init());
    ASSERT_TRUE(bloom.Init());
    for (const auto& [beat, time] : {std::pair{10.0f, 5.0f}, std::pair{50.0f, 24.6f}, std::pair{80.0f, 39.9f}}) {
        music.SetBeat(beat);
        DrawFrame(planet, time, &bloom);
        KeepStill("planet-bloom-" + std::to_string(static_cast<int>(beat)) + ".png");
    }
    EXPECT_GT(Brightness(kWindowWidth / 2, kWindowHeight / 2), 60.0);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    bloom.Shutdown();
    DestroySyncDevice(sync);
}

TEST_F(PlanetEffectTest, MissingPlanetMeshDrawsNoPlanetAndMissingShadersFailInit) {
    const std::filesystem::path directory = EnterDirectoryWithShadersOnly();
    ASSERT_TRUE(planet.Init());
    EXPECT_EQ(log.Count("ERROR: Failed To Load Model: ./Models/coolball.exm"), 1);
    EXPECT_EQ(planet.planetModel.indexCount, 0u);
    music.SetBeat(10.0f);
    DrawFrame(planet, 3.0f);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    planet.Shutdown();

    std::filesystem::remove(directory / "Shaders" / "EmitterParticle.vert");
    PlanetEffect unbuilt;
    EXPECT_FALSE(unbuilt.Init());
    EXPECT_NE(unbuilt.planetProgram.program, 0u);
    EXPECT_EQ(unbuilt.emitterProgram.program, 0u);
    EXPECT_EQ(unbuilt.cloudProgram.program, 0u);  // stops at the first program that fails
    unbuilt.Shutdown();
    EXPECT_EQ(unbuilt.vertexArray, 0u);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "audio/Soundtrack.h"
#include "effects/Bloom.h"
#include "effects/CubeTunnel.h"
#include "effects/CubeTunnelMath.h"
#include "effects/GreetingsMath.h"
#include "effects/ParticleCloud.h"
#include "effects/SphereMorphMath.h"
#include "formats/Model.h"
#include "math/Random.h"
#include "render/Camera.h"
#include "support/EffectFixture.h"
#include "support/FilelessSync.h"

namespace {

struct Pixel {
    int x = 0;
    int y = 0;
};

// The tunnel at a soundtrack beat of the test's choosing, drawn inside the renderer's own frame.
// That frame binds this stand-in's vertex array, which is empty, so the tunnel's goes in here.
class TunnelAtBeat final : public IEffect {
public:
    TunnelAtBeat(CubeTunnel& tunnel, float beat) : IEffect(tunnel.name), tunnel(tunnel), beat(beat) {}
    bool Init() override { return true; }
    void Render(float renderTime) override {
        glBindVertexArray(tunnel.vertexArray);
        tunnel.RenderAtBeat(renderTime, beat);
    }
    void Shutdown() override {}

private:
    CubeTunnel& tunnel;
    const float beat;
};

class CubeTunnelTest : public EffectFixture {
protected:
    void SetUp() override {
        EffectFixture::SetUp();
        // Where the timeline's camera stands once the helix is whole, in the light patterns.
        ASSERT_TRUE(CreateSyncDevice(sync, "./sync/", nullptr));
        PlaceCameraAtBeat(kPatternBeat);
        DestroySyncDevice(sync);
    }

    // The camera the timeline keys for `beat` (its tracks from ./sync/, as the renderer reads them).
    void PlaceCameraAtBeat(float beat) {
        const double row = RowAtBeats(beat);
        auto track = [this, row](const char* name) { return GetValue(GetTrack(name, sync.device.get()), row); };
        Camera& camera = *renderer.GetCamera();
        camera.distance = track("Camera Distance");
        camera.xOffset = track("Camera X Offset");
        camera.yOffset = track("Camera Y Offset");
        camera.pitch = track("Camera Pitch");
        camera.yaw = track("Camera Yaw");
        camera.roll = track("Camera Roll");
        ASSERT_GT(camera.distance, 20.0f) << "no camera keyed for the tunnel in ./sync/";
    }

    void TearDown() override {
        tunnel.Shutdown();
        EffectFixture::TearDown();
    }

    void DrawAtBeat(float time, float beat, IPostProcessor* post = nullptr) {
        TunnelAtBeat atBeat(tunnel, beat);
        DrawFrame(atBeat, time, post);
    }

    // The gem loop's model matrix of gem `gem`.
    static Matrix4 GemModel(int gem, float time, float beat) {
        float angle = 0.0f;
        for (int i = 0; i < gem; ++i)
            angle += kGemAngleStep;
        const GemLook look = GemLookAt(gem, HighlightIndex(beat), beat);
        return ApplyGemLook(GemMatrix(HelixBaseMatrix(time), angle, time), look, beat);
    }

    // Where a point in view space lands on the screen, in pixels (not rounded); w keeps its depth.
    Vector4 OnScreen(const Vector4& viewPoint) {
        const Vector4 clip = *renderer.GetProjectionMatrix() * viewPoint;
        return {(clip.x / clip.w * 0.5f + 0.5f) * kWindowWidth, (clip.y / clip.w * 0.5f + 0.5f) * kWindowHeight,
                0.0f, clip.w};
    }

    // Where on the screen the centre of gem `gem` lands, as the gem loop places it.
    Pixel GemOnScreen(int gem, float time, float beat) {
        const Vector4 centre = BuildViewMatrix(*renderer.GetCamera()) *
                               (GemModel(gem, time, beat) * Vector4(0.0f, 0.0f, 0.0f, 1.0f));
        const Vector4 screen = OnScreen(centre);
        const Pixel pixel = {static_cast<int>(screen.x), static_cast<int>(screen.y)};
        EXPECT_TRUE(screen.w > 0.0f && pixel.x > 2 && pixel.x < kWindowWidth - 3 && pixel.y > 2 &&
                    pixel.y < kWindowHeight - 3)
            << "gem " << gem << " is off the screen at " << pixel.x << ", " << pixel.y;
        return pixel;
    }

    // How wide gem `gem` appears, in pixels: its girdle (the mesh's widest radius, `radius`) seen
    // square on at its distance from the eye.
    double GemPixelsAcross(int gem, float time, float beat, float radius) {
        const Matrix4 model = GemModel(gem, time, beat);
        const Vector4 centre = BuildViewMatrix(*renderer.GetCamera()) * (model * Vector4(0.0f, 0.0f, 0.0f, 1.0f));
        const float scale = Length(Vector3(model.At(0, 0), model.At(0, 1), model.At(0, 2)));
        const Vector4 side(centre.x + radius * scale, centre.y, centre.z, 1.0f);
        return 2.0 * std::fabs(OnScreen(side).x - OnScreen(centre).x);
    }

    // Linear luminance (0 to 1) of the 5 x 5 pixels round `at` in RGBA bytes, bottom row first.
    static double Luminance(const std::vector<uint8_t>& pixels, Pixel at) {
        auto linear = [](uint8_t value) {
            const double c = value / 255.0;
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        double sum = 0.0;
        for (int y = at.y - 2; y <= at.y + 2; ++y)
            for (int x = at.x - 2; x <= at.x + 2; ++x) {
                const uint8_t* p = &pixels[(static_cast<size_t>(y) * kWindowWidth + x) * 4];
                sum += 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
            }
        return sum / 25.0;
    }

    // The helix is whole and the light patterns run (beats 258 to 280; the tunnel's clock
    // started at 0 on beat 224).
    static constexpr float kPatternBeat = 270.1f;
    static constexpr float kTunnelStart = 224.0f;

    static double Brightness(Pixel at, int half = 1) { return EffectFixture::Brightness(at.x, at.y, half); }

    CubeTunnel tunnel;
};

// The generator as the effects initialised before this one leave it, in their order: the
// sphere morph and the greetings each seed it with 0 and fill 5000 records, the planet 2500.
void DrawLikeTheEarlierEffects() {
    std::vector<ParticleRecord> records(5000);
    FillParticleDisc(records);
    FillGreetingsCloud(records);
    records.resize(2500);
    FillCloudBox(records);
}

void ExpectRecord(const ParticleRecord& record, float x, float y, float z, float w) {
    EXPECT_EQ(record.x, x);
    EXPECT_EQ(record.y, y);
    EXPECT_EQ(record.z, z);
    EXPECT_FLOAT_EQ(record.w, w);
}

TEST_F(CubeTunnelTest, InitBuildsTheSceneAndContinuesTheRandomSequence) {
    EXPECT_STREQ(tunnel.name, "Cube Tunnel");
    DrawLikeTheEarlierEffects();
    ASSERT_TRUE(tunnel.Init());
    EXPECT_NE(tunnel.vertexArray, 0u);

    // Draws 30000 to 39999 after the last seed, four a record, x y z w (values worked out from
    // the generator's recurrence); then the sequence goes on.
    ASSERT_EQ(tunnel.particles.size(), 2500u);
    ExpectRecord(tunnel.particles[0], -37.0f, -53.0f, 45.0f, 0.8f);
    ExpectRecord(tunnel.particles[1], -16.0f, 80.0f, -12.0f, 1.4f);
    ExpectRecord(tunnel.particles[2499], -20.0f, -5.0f, 32.0f, 0.6f);
    EXPECT_EQ(quarn::rand(), 12473);
    EXPECT_EQ(BufferSize(tunnel.particleBuffer), 40000);

    ASSERT_GT(tunnel.gemModel.indexCount, 0u) << "the run directory lacks ./Models/Gem.exm";
    ASSERT_GT(tunnel.backgroundModel.indexCount, 0u) << "the run directory lacks ./Models/WingBg.exm";
    EXPECT_EQ(BufferSize(tunnel.gemVertexBuffer), static_cast<GLint>(tunnel.gemModel.floatCount * 4));
    EXPECT_EQ(BufferSize(tunnel.backgroundIndexBuffer, GL_ELEMENT_ARRAY_BUFFER),
              static_cast<GLint>(tunnel.backgroundModel.indexCount * 4));
    // Only the counts are kept once the meshes are uploaded.
    EXPECT_FALSE(tunnel.gemModel.vertices);
    EXPECT_FALSE(tunnel.backgroundModel.indices);

    for (GLint location : {tunnel.modelMatrixLocation, tunnel.lightPosLocation, tunnel.normalMatrixLocation,
                           tunnel.meshTexSamplerLocation, tunnel.diffuseColorLocation, tunnel.reflectivityLocation,
                           tunnel.particleTexSamplerLocation})
        EXPECT_NE(location, -1);
    ASSERT_NE(tunnel.gemEnvironment, nullptr);
    ASSERT_NE(tunnel.backgroundEnvironment, nullptr);
    EXPECT_NE(tunnel.gemEnvironment, tunnel.backgroundEnvironment);
    EXPECT_NE(tunnel.spriteTexture, nullptr);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(CubeTunnelTest, FramesAcrossTheSectionsRunWithoutGLErrorsAndShutdownReleasesAll) {
    ASSERT_TRUE(tunnel.Init());
    // The helix at nothing, growing, whole, the pattern, the sweep, the pulse, and long after.
    const float moments[][2] = {{0.0f, 224.0f}, {16.0f, 240.0f}, {32.0f, 256.0f}, {35.4f, 259.4f},
                                {59.0f, 283.0f}, {70.0f, 294.0f}, {80.0f, 304.0f}, {200.0f, 424.0f}};
    for (const auto& [time, beat] : moments)
        DrawAtBeat(time, beat);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    // What Render leaves: the particle program, unit 0 bare, the particle buffer, the
    // background's index buffer in the vertex array, alpha blending back.
    glBindVertexArray(tunnel.vertexArray);
    tunnel.RenderAtBeat(35.4f, 259.4f);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM)), tunnel.particleProgram.program);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_ARRAY_BUFFER_BINDING)), tunnel.particleBuffer);
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_ELEMENT_ARRAY_BUFFER_BINDING)), tunnel.backgroundIndexBuffer);
    ExpectAlphaBlendingAndABareUnitZero();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glBindVertexArray(0);

    const GLuint gemBuffer = tunnel.gemVertexBuffer;
    const GLuint sampler = tunnel.cubeSampler;
    const GLuint program = tunnel.meshProgram.program;
    tunnel.Shutdown();
    EXPECT_FALSE(glIsBuffer(gemBuffer));
    EXPECT_FALSE(glIsSampler(sampler));
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_EQ(tunnel.vertexArray, 0u);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(CubeTunnelTest, HelixGrowsFromNothing) {
    ASSERT_TRUE(tunnel.Init());
    ASSERT_TRUE(CreateSyncDevice(sync, "./sync/", nullptr));
    PlaceCameraAtBeat(240.0f);
    DestroySyncDevice(sync);
    const Pixel gem = GemOnScreen(60, 16.0f, 240.0f);
    DrawAtBeat(0.0f, 224.0f);
    KeepStill("cubetunnel-empty.png");
    const double empty = Brightness(gem);

    DrawAtBeat(16.0f, 240.0f);
    KeepStill("cubetunnel-growing.png");
    // The dim blue gem may stand on a brighter or a darker patch of the background.
    EXPECT_GT(std::fabs(Brightness(gem) - empty), 60.0);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(CubeTunnelTest, PatternLightsTheGemsOfTheQuarterBeat) {
    ASSERT_TRUE(tunnel.Init());
    const float time = 35.4f;
    DrawAtBeat(time, 257.0f);
    const double plain = Brightness(GemOnScreen(170, time, 257.0f));

    DrawAtBeat(time, 259.4f);
    KeepStill("cubetunnel-259.4.png");
    // Gem 170 is in the lit window 167 to 172, gem 100 is not.
    EXPECT_GT(Brightness(GemOnScreen(170, time, 259.4f)), plain + 120.0);
    EXPECT_GT(Brightness(GemOnScreen(170, time, 259.4f)), Brightness(GemOnScreen(100, time, 259.4f)) + 120.0);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(CubeTunnelTest, SweepLightsTheLowerGemsAndThePulseSwellsThem) {
    ASSERT_TRUE(tunnel.Init());
    DrawAtBeat(57.0f, 281.0f);
    const double plain = Brightness(GemOnScreen(40, 57.0f, 281.0f));
    DrawAtBeat(59.0f, 283.0f);
    KeepStill("cubetunnel-283.png");
    EXPECT_GT(Brightness(GemOnScreen(40, 59.0f, 283.0f)), plain + 120.0);
    EXPECT_LT(Brightness(GemOnScreen(150, 59.0f, 283.0f)), Brightness(GemOnScreen(40, 59.0f, 283.0f)) - 120.0);

    // Swollen to about 14 times their size the gems cover most of the frame.
    DrawAtBeat(70.0f, 294.0f);
    KeepStill("cubetunnel-294.png");
    const std::vector<uint8_t> pixels = ReadBackBuffer();
    size_t bright = 0;
    for (size_t i = 0; i < pixels.size(); i += 4)
        bright += pixels[i] + pixels[i + 1] + pixels[i + 2] > 300 ? 1 : 0;
    EXPECT_GT(bright, pixels.size() / 4 / 4);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

// The girdle's radius of ./Models/Gem.exm: its widest distance from the axis.
float GemRadius() {
    Model gem;
    LoadModel(gem, "./Models/Gem.exm", VertexLayout::kPositionNormal);
    float radius = 0.0f;
    for (uint32_t i = 0; i + 5 < gem.floatCount; i += 6)
        radius = std::max(radius, std::hypot(gem.vertices[i], gem.vertices[i + 2]));
    return radius;
}

// As the demo shows the patterns (the timeline's camera and bloom): every gem of the whole helix
// is at least 12 pixels across, and the lit gems shine three times as bright as the plain ones
// beside them along the coil.
TEST_F(CubeTunnelTest, PatternsReadOnScreenWithTheTimelinesCameraAndBloom) {
    ASSERT_TRUE(CreateSyncDevice(sync, "./sync/", nullptr));
    Bloom bloom;
    ASSERT_TRUE(tunnel.Init());
    ASSERT_TRUE(bloom.Init());
    const float radius = GemRadius();
    ASSERT_GT(radius, 0.0f) << "the run directory lacks ./Models/Gem.exm";

    for (const float beat : {258.6f, 262.1f, 267.3f, 270.1f, 275.1f, 278.9f}) {
        SCOPED_TRACE(beat);
        const float time = beat - kTunnelStart;
        const int lit = HighlightIndex(beat);
        ASSERT_GE(lit, 3);
        PlaceCameraAtBeat(beat);
        double smallest = 1e9;
        for (int gem = 0; gem < GemCount(HelixLength(time, beat)); ++gem)
            smallest = std::min(smallest, GemPixelsAcross(gem, time, beat, radius));
        EXPECT_GE(smallest, 12.0);

        DrawAtBeat(time, beat, &bloom);
        const std::vector<uint8_t> pixels = ReadBackBuffer();
        double litSum = 0.0, plainSum = 0.0;
        for (int gem = lit - 3; gem < lit + 3; ++gem)
            litSum += Luminance(pixels, GemOnScreen(gem, time, beat));
        // The plain neighbours on the side of the helix's middle, which the frame always holds.
        const int side = lit < 94 ? 1 : -1;
        for (int step = 5; step <= 9; ++step)
            plainSum += Luminance(pixels, GemOnScreen(lit + side * step, time, beat));
        const double ratio = (litSum / 6.0) / (plainSum / 5.0);
        std::printf("beat %.1f: smallest gem %.1f px, lit gems %.1f times as bright as their neighbours\n", beat,
                    smallest, ratio);
        EXPECT_GE(ratio, 3.0);
    }
    KeepStill("cubetunnel-patterns-timeline.png");
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    bloom.Shutdown();
    DestroySyncDevice(sync);
}

TEST_F(CubeTunnelTest, LitGemsCatchTheBloom) {
    ASSERT_TRUE(OpenSyncDeviceWithoutFiles(sync));
    HoldTrack(sync, "Fade", 1.3f);
    Bloom bloom;
    ASSERT_TRUE(tunnel.Init());
    ASSERT_TRUE(bloom.Init());

    const float time = 35.4f;
    const float beat = 259.4f;
    Pixel nearLit = GemOnScreen(170, time, beat);
    Pixel nearPlain = GemOnScreen(100, time, beat);
    nearLit.x += 12;
    nearPlain.x += 12;
    DrawAtBeat(time, beat);
    const double litBefore = Brightness(nearLit, 2);
    const double plainBefore = Brightness(nearPlain, 2);
    DrawAtBeat(time, beat, &bloom);
    KeepStill("cubetunnel-259.4-bloom.png");
    EXPECT_GT(Brightness(nearLit, 2) - litBefore, Brightness(nearPlain, 2) - plainBefore + 20.0);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    bloom.Shutdown();
    DestroySyncDevice(sync);
}

TEST_F(CubeTunnelTest, RenderReadsTheBeatFromTheSoundtrack) {
    // No audio device: the position query fails, which reads as -1 second, beat -2.1.
    Soundtrack silent;
    silent.tempo = 126.0f;
    sync.soundtrack = &silent;
    ReadFrameClock(sync);  // no clock to read either: -1 second, as a failed query gives
    ASSERT_TRUE(tunnel.Init());
    DrawAtBeat(35.4f, -2.1f);
    const std::vector<uint8_t> failedAudio = ReadBackBuffer();
    DrawFrame(tunnel, 35.4f);
    EXPECT_EQ(ReadBackBuffer(), failedAudio);
    DrawAtBeat(35.4f, 259.4f);
    EXPECT_NE(ReadBackBuffer(), failedAudio);
    sync.soundtrack = nullptr;
}

TEST_F(CubeTunnelTest, MissingMeshesDrawNothingAndMissingShadersFailInit) {
    const std::filesystem::path directory = EnterDirectoryWithShadersOnly();
    ASSERT_TRUE(tunnel.Init());
    EXPECT_EQ(log.Count("ERROR: Failed To Load Model: ./Models/Gem.exm"), 1);
    EXPECT_EQ(tunnel.gemModel.indexCount, 0u);
    DrawAtBeat(35.4f, 259.4f);
    DrawAtBeat(70.0f, 294.0f);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    tunnel.Shutdown();

    std::filesystem::remove(directory / "Shaders" / "CubeTunnelParticle.vert");
    CubeTunnel unbuilt;
    EXPECT_FALSE(unbuilt.Init());
    EXPECT_NE(unbuilt.meshProgram.program, 0u);
    EXPECT_EQ(unbuilt.particleProgram.program, 0u);
    EXPECT_EQ(unbuilt.reflectivityLocation, -1);
    unbuilt.Shutdown();
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "effects/Greetings.h"
#include "effects/GreetingsMath.h"
#include "effects/GreetingsSchedule.h"
#include "math/Random.h"
#include "render/Camera.h"
#include "support/BeatEffectFixture.h"

namespace {

class GreetingsTest : public BeatEffectFixture {
protected:
    void SetUp() override {
        BeatEffectFixture::SetUp();
        if (HasFatalFailure())
            return;
        // Where the timeline puts the camera for this scene: at the tube's mouth, looking down it.
        Camera& camera = *renderer.GetCamera();
        camera.distance = 18.0f;
        camera.yaw = 180.0f;
        // The software rasteriser filters anisotropically at seconds per frame over 4000
        // minified cylinders; 1 still sets the parameter on every sampler.
        renderer.maxAnisotropy = 1.0f;
    }

    void TearDown() override {
        greetings.Shutdown();
        BeatEffectFixture::TearDown();
    }

    // Init, with the log's error lines in the failure message.
    ::testing::AssertionResult InitGreetings() {
        if (greetings.Init())
            return ::testing::AssertionSuccess();
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        for (const std::string& line : log.StartingWith("ERROR"))
            failure << line << "\n";
        return failure;
    }

    void DrawAtBeat(float beat, float time) {
        music.SetBeat(beat);
        DrawFrame(greetings, time);
    }

    // Mean absolute difference per channel between two same-sized read-backs.
    static double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        double sum = 0.0;
        for (size_t i = 0; i < a.size(); ++i)
            sum += std::abs(int(a[i]) - int(b[i]));
        return sum / a.size();
    }

    // The overlay's pixel rectangle for a sprite centred at screen-space (x, y) showing `texture`
    // at its size on a 720-line screen.
    struct Rectangle {
        int x, y, width, height;
    };
    static Rectangle SpriteRectangle(float x, float y, const ITexture& texture) {
        const int width = std::min(texture.width, kWindowWidth);
        const int height = std::min(texture.height, kWindowHeight);
        int left = static_cast<int>((x + 1.0f) * 0.5f * kWindowWidth) - width / 2;
        int bottom = static_cast<int>((y + 1.0f) * 0.5f * kWindowHeight) - height / 2;
        left = std::clamp(left, 0, kWindowWidth - width);
        bottom = std::clamp(bottom, 0, kWindowHeight - height);
        return {left, bottom, width, height};
    }

    std::vector<uint8_t> Read(const Rectangle& r) { return ReadBackBuffer(r.x, r.y, r.width, r.height); }

    Greetings greetings;
};

TEST_F(GreetingsTest, InitBuildsTheSceneAndFramesThroughTheScheduleRunWithoutGLErrors) {
    EXPECT_STREQ(greetings.name, "Greetings Effect");
    ASSERT_TRUE(InitGreetings());
    EXPECT_NE(greetings.vertexArray, 0u);
    EXPECT_EQ(BufferSize(greetings.particleBuffer), 80000);
    EXPECT_EQ(BufferSize(greetings.overlayBuffer), 16);
    ASSERT_GT(greetings.cylinderModel.indexCount, 0u) << "the run directory lacks ./Models/7sidecylinder.exm";
    ASSERT_GT(greetings.logoModel.indexCount, 0u) << "the run directory lacks ./Models/kav.exm";
    EXPECT_EQ(BufferSize(greetings.cylinderVertexBuffer), static_cast<GLint>(greetings.cylinderModel.floatCount * 4));
    EXPECT_EQ(greetings.cylinderModel.floatCount % 8, 0u);
    EXPECT_EQ(greetings.logoModel.floatCount % 6, 0u);
    EXPECT_TRUE(greetings.cylinderModel.vertices);
    EXPECT_FALSE(greetings.logoModel.vertices);
    EXPECT_FALSE(greetings.logoModel.indices);
    for (GLint location : {greetings.cylinderModelMatrixLocation, greetings.cylinderNormalMatrixLocation,
                           greetings.cylinderLightPosLocation, greetings.hexColorLocation,
                           greetings.cylinderTexSamplerLocation, greetings.cylinderTexSampler2Location,
                           greetings.particleTexSamplerLocation, greetings.overlayTexSamplerLocation,
                           greetings.projectLocation, greetings.logoModelMatrixLocation,
                           greetings.logoNormalMatrixLocation, greetings.logoLightPosLocation,
                           greetings.logoTexSamplerLocation})
        EXPECT_NE(location, -1);
    // Twenty distinct images, none of them the fallback for a missing file.
    std::set<GLuint> names;
    for (const ITexture* image : greetings.greetingImages)
        names.insert(image->name);
    EXPECT_EQ(names.size(), 20u);
    EXPECT_EQ(log.Count("ERROR: Failed To Load Texture: ./Greetings/01-halcyon-drift.png"), 0);
    EXPECT_NE(greetings.quadSpriteTexture, nullptr);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    const float moment = kGreetingMoments[10];
    for (const auto& [beat, time] : {std::pair{50.0f, 3.0f}, {moment + 0.05f, 10.0f}, {200.0f, 240.5f},
                                     {336.9f, 240.9f}, {340.0f, 244.0f}, {350.0f, 254.0f}, {362.0f, 266.0f}})
        DrawAtBeat(beat, time);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    // What Render leaves behind: the overlay program, alpha blending, unit 0, nothing bound.
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM)), greetings.overlayProgram.program);
    ExpectAlphaBlendingAndABareUnitZero();
    glActiveTexture(GL_TEXTURE1);
    EXPECT_EQ(Integer(GL_SAMPLER_BINDING), 0);
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_CUBE_MAP), 0);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(Integer(GL_DEPTH_WRITEMASK), GL_TRUE);
    // The texture coordinate stream is the cylinders' alone.
    glBindVertexArray(greetings.vertexArray);
    GLint coordinateEnabled = -1;
    glGetVertexAttribiv(2, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &coordinateEnabled);
    EXPECT_EQ(coordinateEnabled, GL_FALSE);
    glBindVertexArray(0);

    const GLuint buffer = greetings.cylinderVertexBuffer;
    const GLuint sampler = greetings.logoSampler;
    const GLuint program = greetings.overlayProgram.program;
    greetings.Shutdown();
    EXPECT_FALSE(glIsBuffer(buffer));
    EXPECT_FALSE(glIsSampler(sampler));
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(greetings.cylinderModel.vertices);
    EXPECT_EQ(greetings.vertexArray, 0u);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(GreetingsTest, GreetingImageAppearsOnlyInsideItsWindow) {
    ASSERT_TRUE(InitGreetings());
    const int image = 5;
    const float moment = kGreetingMoments[2 * image + 1];
    const float time = 20.0f;
    // Where the overlay stands this frame: the two draws after the tube's 12000.
    quarn::srand(0);
    for (int i = 0; i < 12000; ++i)
        quarn::rand();
    const ParticleRecord centre = OverlayRecord(moment, PhasesAt(time).spin);
    const Rectangle region = SpriteRectangle(centre.x, centre.y, *greetings.greetingImages[image]);

    DrawAtBeat(moment + 0.3f, time);
    KeepStill("greetings-between.png");
    const std::vector<uint8_t> between = Read(region);
    DrawAtBeat(moment + 0.1f, time);
    KeepStill("greetings-image6.png");
    const std::vector<uint8_t> showing = Read(region);
    EXPECT_GT(MeanDifference(showing, between), 8.0);
    // Away from the overlay the two frames are the same picture.
    const Rectangle corner{0, 0, 64, 64};
    if (region.x > 64 || region.y > 64) {
        DrawAtBeat(moment + 0.3f, time);
        const std::vector<uint8_t> cornerBetween = Read(corner);
        DrawAtBeat(moment + 0.1f, time);
        EXPECT_EQ(Read(corner), cornerBetween);
    }
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(GreetingsTest, LogoRisesFrom337AndCreditsScrollInFrom350) {
    ASSERT_TRUE(InitGreetings());
    const float time = 240.0f;
    const Rectangle lowerMiddle{kWindowWidth / 2 - 320, 0, 640, kWindowHeight / 3};

    DrawAtBeat(336.9f, time);
    KeepStill("greetings-336.png");
    const std::vector<uint8_t> beforeLogo = Read(lowerMiddle);
    DrawAtBeat(340.0f, time);
    KeepStill("greetings-340.png");
    EXPECT_GT(MeanDifference(Read(lowerMiddle), beforeLogo), 2.0) << "the logo should stand in the lower middle";

    const ITexture& credits = *greetings.creditsTexture;
    DrawAtBeat(349.9f, time);
    const Rectangle creditsRegion = SpriteRectangle(0.0f, -1.75f + 10.0f / 24.0f, credits);
    const std::vector<uint8_t> beforeCredits = Read(creditsRegion);
    DrawAtBeat(360.0f, time);
    KeepStill("greetings-360.png");
    EXPECT_GT(MeanDifference(Read(creditsRegion), beforeCredits), 4.0) << "the credits should have risen into view";
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(GreetingsTest, SameFrameTwiceGivesTheSamePictureWhateverTheGeneratorDid) {
    ASSERT_TRUE(InitGreetings());
    DrawAtBeat(200.0f, 243.25f);
    KeepStill("greetings-200.png");
    const std::vector<uint8_t> first = ReadBackBuffer();
    for (int i = 0; i < 777; ++i)
        quarn::rand();
    DrawAtBeat(120.0f, 30.0f);
    EXPECT_NE(ReadBackBuffer(), first);
    DrawAtBeat(200.0f, 243.25f);
    EXPECT_EQ(ReadBackBuffer(), first);
}

TEST_F(GreetingsTest, MissingMeshesDrawNothingAndMissingShadersFailInit) {
    const std::filesystem::path directory = EnterDirectoryWithShadersOnly();
    ASSERT_TRUE(InitGreetings());
    EXPECT_EQ(log.Count("ERROR: Failed To Load Model: ./Models/7sidecylinder.exm"), 1);
    EXPECT_EQ(greetings.cylinderModel.indexCount, 0u);
    DrawAtBeat(345.0f, 250.0f);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    greetings.Shutdown();

    std::filesystem::remove(directory / "Shaders" / "KavQuadParticle.vert");
    Greetings unbuilt;
    EXPECT_FALSE(unbuilt.Init());
    EXPECT_NE(unbuilt.cylinderProgram.program, 0u);
    EXPECT_EQ(unbuilt.overlayProgram.program, 0u);  // stops at the first program that fails
    unbuilt.Shutdown();
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "effects/Bloom.h"
#include "effects/SphereMorph.h"
#include "render/Camera.h"
#include "support/EffectFixture.h"
#include "support/FilelessSync.h"

namespace {

class SphereMorphTest : public EffectFixture {
protected:
    void TearDown() override {
        morph.Shutdown();
        EffectFixture::TearDown();
    }

    // Blue minus red over a square like Brightness's: the sphere is blue, the backdrop is not.
    static double Blueness(int x, int y, int half = 4) {
        return MeanOverSquare(x, y, half, [](const uint8_t* rgba) { return rgba[2] - rgba[0]; });
    }

    SphereMorph morph;
};

TEST_F(SphereMorphTest, InitBuildsTheSceneAndFramesRunWithoutGLErrors) {
    EXPECT_STREQ(morph.name, "SphereMorph");
    ASSERT_TRUE(morph.Init());
    EXPECT_NE(morph.vertexArray, 0u);
    EXPECT_EQ(BufferSize(morph.particleBuffer), 80000);
    ASSERT_GT(morph.sphereModel.floatCount, 0u) << "the run directory lacks ./Models/Sphere2.exm";
    ASSERT_GT(morph.spikyBallModel.floatCount, 0u);
    ASSERT_GT(morph.backdropModel.floatCount, 0u);
    EXPECT_EQ(BufferSize(morph.sphereVertexBuffer), static_cast<GLint>(morph.sphereModel.floatCount * 4));
    EXPECT_EQ(BufferSize(morph.spikyBallVertexBuffer), static_cast<GLint>(morph.spikyBallModel.floatCount * 4));
    EXPECT_EQ(morph.sphereStates.size(), morph.sphereModel.floatCount / 6);
    // The sphere keeps only its counts; the spiky ball and the backdrop keep their arrays.
    EXPECT_FALSE(morph.sphereModel.vertices);
    EXPECT_FALSE(morph.sphereModel.indices);
    EXPECT_TRUE(morph.spikyBallModel.vertices);
    EXPECT_TRUE(morph.backdropModel.vertices);
    EXPECT_NE(morph.backdropTexture, nullptr);
    EXPECT_NE(morph.spriteTexture, nullptr);
    EXPECT_NE(morph.sphereColorLocation, -1);
    EXPECT_NE(morph.backdropTexSamplerLocation, -1);
    EXPECT_NE(morph.particleTexSamplerLocation, -1);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    for (float time : {0.0f, 0.5f, 2.75f, 13.2f, 130.0f})
        DrawFrame(morph, time);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    // What Render leaves behind: the particle program, alpha blending, unit 0 and nothing bound.
    EXPECT_EQ(static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM)), morph.particleProgram.program);
    ExpectAlphaBlendingAndABareUnitZero();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    const GLuint sphereBuffer = morph.sphereVertexBuffer;
    const GLuint sampler = morph.particleSampler;
    const GLuint program = morph.sphereProgram.program;
    morph.Shutdown();
    EXPECT_FALSE(glIsBuffer(sphereBuffer));
    EXPECT_FALSE(glIsSampler(sampler));
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(morph.backdropModel.vertices);
    EXPECT_EQ(morph.vertexArray, 0u);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(SphereMorphTest, PictureShowsTheLitSphereInTheCentreAndDependsOnTheTimeAlone) {
    ASSERT_TRUE(morph.Init());
    // Far enough back that the shell, five times the mesh, sits in front of the eye.
    renderer.GetCamera()->distance = 18.0f;

    DrawFrame(morph, 2.75f);  // the sphere at rest
    KeepStill("spheremorph-rest.png");
    const std::vector<uint8_t> atRest = ReadBackBuffer();

    // The blue sphere fills the centre; the lit side (towards +x +y) is brighter than the far one.
    EXPECT_GT(Blueness(640, 360), 60.0);
    EXPECT_GT(Brightness(680, 400), Brightness(600, 320) + 60.0);
    // Away from the sphere the backdrop is textured, not black.
    EXPECT_GT(Brightness(60, 60), 30.0);

    DrawFrame(morph, 5.1f);
    KeepStill("spheremorph-pulse.png");
    EXPECT_NE(ReadBackBuffer(), atRest);
    DrawFrame(morph, 2.75f);
    EXPECT_EQ(ReadBackBuffer(), atRest);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(SphereMorphTest, FramesThroughTheBloomRunWithoutGLErrors) {
    ASSERT_TRUE(OpenSyncDeviceWithoutFiles(sync));
    HoldTrack(sync, "Fade", 1.0f);
    Bloom bloom;
    ASSERT_TRUE(morph.Init());
    ASSERT_TRUE(bloom.Init());
    renderer.GetCamera()->distance = 18.0f;
    for (float time : {1.0f, 6.3f, 40.5f})
        DrawFrame(morph, time, &bloom);
    KeepStill("spheremorph-bloom.png");
    EXPECT_GT(Blueness(640, 360), 60.0);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    bloom.Shutdown();
    DestroySyncDevice(sync);
}

TEST_F(SphereMorphTest, MissingMeshesDrawNothingAndMissingShadersFailInit) {
    const std::filesystem::path directory = EnterDirectoryWithShadersOnly();
    ASSERT_TRUE(morph.Init());
    EXPECT_EQ(log.Count("ERROR: Failed To Load Model: ./Models/Sphere2.exm"), 1);
    EXPECT_EQ(morph.sphereStates.size(), 0u);
    DrawFrame(morph, 3.0f);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    morph.Shutdown();

    std::filesystem::remove_all(directory / "Shaders");
    SphereMorph unbuilt;
    EXPECT_FALSE(unbuilt.Init());
    EXPECT_EQ(unbuilt.backdropProgram.program, 0u);  // stops at the first program that fails
    unbuilt.Shutdown();
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

}  // namespace

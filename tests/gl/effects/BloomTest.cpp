#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "effects/Bloom.h"
#include "support/EffectFixture.h"
#include "support/FilelessSync.h"

namespace {

// A frame's scene for the bloom to work on: a dim backdrop, a white patch and a purple one,
// cleared through the scissor into whatever is bound.
class PatchScene : public IEffect {
public:
    PatchScene() : IEffect("Patches") {}
    bool Init() override {
        vertexArray = GLVertexArray::Generate();
        return true;
    }
    void Shutdown() override { vertexArray.Reset(); }
    void Render(float) override {
        glEnable(GL_SCISSOR_TEST);
        FillRect(0, 0, 1280, 720, 0.2f, 0.3f, 0.4f);
        FillRect(600, 320, 80, 80, 1.0f, 1.0f, 1.0f);
        FillRect(200, 100, 60, 60, 0.5f, 0.1f, 0.9f);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    }

private:
    static void FillRect(int x, int y, int width, int height, float r, float g, float b) {
        glScissor(x, y, width, height);
        glClearColor(r, g, b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

class BloomTest : public EffectFixture {
protected:
    void SetUp() override {
        EffectFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(OpenSyncDeviceWithoutFiles(sync));
        ASSERT_TRUE(scene.Init());
    }

    void TearDown() override {
        scene.Shutdown();
        bloom.Shutdown();
        DestroySyncDevice(sync);
        EffectFixture::TearDown();
    }

    void SetFade(float value) { HoldTrack(sync, "Fade", value); }

    // Red channel of the window pixel at (x, y), counted from the bottom left.
    static int Red(const std::vector<uint8_t>& pixels, int x, int y) { return pixels[(y * kWindowWidth + x) * 4]; }

    Bloom bloom;
    PatchScene scene;
};

TEST_F(BloomTest, FramesRunWithoutGLErrorsAndShutdownReleasesEverything) {
    EXPECT_STREQ(bloom.name, "Bloom");
    ASSERT_TRUE(bloom.Init());
    EXPECT_EQ(bloom.mainTarget.width, 1280);
    EXPECT_EQ(bloom.blurTarget.height, 720);
    EXPECT_EQ(bloom.downsampledTarget.width, 512);
    EXPECT_EQ(bloom.downsampled2Target.height, 512);
    EXPECT_EQ(bloom.downsampledTarget.depthRenderbuffer, 0u);
    EXPECT_NE(bloom.mainTarget.depthRenderbuffer, 0u);
    EXPECT_TRUE(bloom.fadeTrack && *bloom.fadeTrack);
    EXPECT_EQ(sync.device->tracks.back()->name, "Fade");

    SetFade(0.7f);
    for (int frame = 0; frame < 3; ++frame)
        DrawFrame(scene, 1.5f * frame, &bloom);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});

    // The state Apply leaves: the window bound, the whole viewport, unit 1 active and empty.
    GLint value = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &value);
    EXPECT_EQ(value, 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1280);
    EXPECT_EQ(viewport[3], 720);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(static_cast<GLuint>(value), bloom.mixProgram.program);
    glActiveTexture(GL_TEXTURE0);

    const GLuint quad = bloom.quadBuffer;
    const GLuint sampler = bloom.samplerA;
    const GLuint program = bloom.mixProgram.program;
    const GLuint framebuffer = bloom.mainTarget.framebuffer;
    bloom.Shutdown();
    EXPECT_FALSE(glIsBuffer(quad));
    EXPECT_FALSE(glIsSampler(sampler));
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(glIsFramebuffer(framebuffer));
    EXPECT_FALSE(bloom.fadeTrack);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

// A resized window letterboxes the picture: the targets follow its new size once, at the next
// frame, and every pass gives back the picture's place in the window, not its corner.
TEST_F(BloomTest, TargetsFollowAResizedPictureOnceAndItsPlaceIsKept) {
    ASSERT_TRUE(bloom.Init());
    SetFade(0.7f);
    renderer.letterbox = true;
    renderer.Resize(720, 960);
    DrawFrame(scene, 0.0f, &bloom);
    EXPECT_EQ(bloom.mainTarget.width, 960);
    EXPECT_EQ(bloom.blurTarget.height, 540);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 90, 960, 540}));
    // A label marks this very object: a target made again, even under a recycled name, has none.
    glObjectLabel(GL_FRAMEBUFFER, bloom.mainTarget.framebuffer, -1, "first");
    DrawFrame(scene, 1.0f, &bloom);
    char label[16] = {};
    glGetObjectLabel(GL_FRAMEBUFFER, bloom.mainTarget.framebuffer, sizeof label, nullptr, label);
    EXPECT_STREQ(label, "first") << "made again in a frame of the same size";
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
    renderer.letterbox = false;
    renderer.Resize(kWindowHeight, kWindowWidth);
}

TEST_F(BloomTest, FadeZeroLeavesTheImageAsItWas) {
    ASSERT_TRUE(bloom.Init());
    SetFade(0.0f);
    DrawFrame(scene, 0.0f, &bloom);
    const std::vector<uint8_t> pixels = ReadBackBuffer();
    EXPECT_NEAR(Red(pixels, 640, 360), 255, 1);  // the white patch
    EXPECT_NEAR(Red(pixels, 230, 130), 128, 1);  // the purple one
    EXPECT_NEAR(Red(pixels, 590, 360), 51, 1);   // the backdrop right beside the white patch
    EXPECT_NEAR(Red(pixels, 1000, 600), 51, 1);
    EXPECT_EQ(pixels[(360 * kWindowWidth + 640) * 4 + 3], 255);
}

TEST_F(BloomTest, BrightPatchSpreadsLightIntoItsNeighbourhood) {
    ASSERT_TRUE(bloom.Init());
    SetFade(1.0f);
    DrawFrame(scene, 0.0f, &bloom);
    KeepStill("bloom-patches.png");
    const std::vector<uint8_t> pixels = ReadBackBuffer();

    // Beside the white patch the backdrop (51) is lit by the glow, fading with distance...
    const int near = Red(pixels, 590, 360);
    const int farther = Red(pixels, 570, 360);
    EXPECT_GT(near, 51 + 30);
    EXPECT_GT(farther, 51);
    EXPECT_LT(farther, near);
    // ...the same way on every side, since the blur is separable and symmetric...
    EXPECT_NEAR(Red(pixels, 690, 360), near, 12);
    EXPECT_NEAR(Red(pixels, 640, 410), near, 12);
    // ...while the far corner and the dark purple patch's surroundings stay as they were.
    EXPECT_NEAR(Red(pixels, 1200, 650), 51, 1);
    EXPECT_NEAR(Red(pixels, 190, 90), 51, 2);
}

TEST_F(BloomTest, FailedTargetLogsItsMessageAndBuildsNoProgram) {
    renderer.width = 1.0e6f;  // far beyond any texture size limit
    EXPECT_FALSE(bloom.Init());
    TakeGLErrors();  // the oversized texture itself is refused with an error; that is the point
    EXPECT_EQ(log.Count("ERROR: Failed to initialize Main Frame Buffer!"), 1);
    EXPECT_TRUE(log.StartingWith("ERROR: Failed to initialize Blur").empty());
    EXPECT_EQ(bloom.copyProgram.program, 0u);
    EXPECT_EQ(bloom.mixProgram.program, 0u);
    EXPECT_EQ(bloom.quadBuffer, 0u);
    bloom.Shutdown();
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

TEST_F(BloomTest, MissingShaderFailsInitAndShutdownCopesWithTheHalfBuiltPass) {
    std::filesystem::current_path(TempDirectory());
    EXPECT_FALSE(bloom.Init());
    EXPECT_EQ(log.Count("ERROR: Failed to read vertex shader source!"), 1);
    EXPECT_EQ(log.lines.back(), "ERROR: Failed to initialize Copy Shader!");
    EXPECT_NE(bloom.mainTarget.framebuffer, 0u);
    EXPECT_NE(bloom.samplerB, 0u);
    bloom.Shutdown();
    EXPECT_EQ(bloom.mainTarget.framebuffer, 0u);
    EXPECT_EQ(TakeGLErrors(), std::vector<GLenum>{});
}

}  // namespace

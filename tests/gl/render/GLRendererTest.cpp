#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "render/Camera.h"
#include "stb_image_write.h"
#include "support/GLRendererFixture.h"
#include "support/PausedSoundtrack.h"

namespace {

using GLRendererTest = GLRendererFixture;

TEST_F(GLRendererTest, InitSetsTheFixedStateAndLogsWhatTheDriverOffers) {
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(Integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(Integer(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
    GLfloat clearDepth = -1.0f;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    EXPECT_EQ(clearDepth, 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(Integer(GL_DEPTH_FUNC), GL_LEQUAL);
    for (GLenum hint : {GL_LINE_SMOOTH_HINT, GL_POLYGON_SMOOTH_HINT, GL_TEXTURE_COMPRESSION_HINT,
                        GL_FRAGMENT_SHADER_DERIVATIVE_HINT})
        EXPECT_EQ(Integer(hint), GL_NICEST) << "hint " << hint;
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(Integer(GL_FRONT_FACE), GL_CCW);
    EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE));
    GLfloat clearColour[4] = {1, 1, 1, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    EXPECT_EQ(std::vector<float>(clearColour, clearColour + 4), std::vector<float>(4, 0.0f));

    EXPECT_EQ(renderer.width, 1280.0f);
    EXPECT_EQ(renderer.height, 720.0f);
    EXPECT_GE(renderer.maxAnisotropy, 1.0f);
    EXPECT_EQ(log.Count("Anisotropic Filtering Level: " + std::to_string(static_cast<int>(renderer.maxAnisotropy))), 1);
    if (Integer(GL_SAMPLE_BUFFERS) >= 1) {
        EXPECT_EQ(log.Count("Multisampling Enabled"), 1);
        EXPECT_EQ(log.Count("Multisampling Buffers: " + std::to_string(Integer(GL_SAMPLES))), 1);
    } else {
        EXPECT_EQ(log.Count("Multisampling Disabled"), 1);
    }
    EXPECT_EQ(log.lines.back(), "Creating Texture: MissingTexture.png");
    EXPECT_EQ(*renderer.GetProjectionMatrix(), Perspective(60.0f, 1280.0f / 720.0f, 1.0f, 1000.0f));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Such a driver reports no level: the log says 0, and 0 tells the samplers not to set the
// parameter, which would be an invalid enum there.
TEST_F(GLRendererTest, WithoutAnisotropicFilteringTheLevelIsZero) {
    renderer.Shutdown();
    platform::DestroyWindow(window);
    window = CreateTestWindow();
    log.lines.clear();
    const GLboolean ext = __GLEW_EXT_texture_filter_anisotropic;
    const GLboolean arb = __GLEW_ARB_texture_filter_anisotropic;
    __GLEW_EXT_texture_filter_anisotropic = GL_FALSE;
    __GLEW_ARB_texture_filter_anisotropic = GL_FALSE;
    const bool initialised = renderer.Init(window, SampleCount());
    __GLEW_EXT_texture_filter_anisotropic = ext;
    __GLEW_ARB_texture_filter_anisotropic = arb;
    ASSERT_TRUE(initialised);
    EXPECT_EQ(renderer.maxAnisotropy, 0.0f);
    EXPECT_EQ(log.Count("Anisotropic Filtering Level: 0"), 1);
}

class GLRendererWithoutMultisamplingTest : public GLRendererFixture {
protected:
    int SampleCount() const override { return 0; }
};

TEST_F(GLRendererWithoutMultisamplingTest, SampleCountZeroDisablesMultisampling) {
    EXPECT_FALSE(glIsEnabled(GL_MULTISAMPLE));
    EXPECT_EQ(Integer(GL_SAMPLE_BUFFERS), 0);
    EXPECT_EQ(log.Count("Multisampling Disabled"), 1);
    EXPECT_EQ(log.Count("Multisampling Enabled"), 0);
}

TEST_F(GLRendererTest, ResizeSetsViewportAndProjectionUnlessTheSizeIsUnchanged) {
    renderer.Resize(600, 800);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 800, 600}));
    EXPECT_EQ(renderer.width, 800.0f);
    EXPECT_EQ(renderer.height, 600.0f);
    EXPECT_EQ(*renderer.GetProjectionMatrix(), Perspective(60.0f, 800.0f / 600.0f, 1.0f, 1000.0f));

    // The same size again must not even touch the viewport.
    glViewport(1, 2, 3, 4);
    renderer.Resize(600, 800);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{1, 2, 3, 4}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLRendererTest, MinimisedWindowKeepsTheLastProjection) {
    renderer.Resize(0, 800);
    EXPECT_EQ(renderer.height, 0.0f);
    const Matrix4 projection = *renderer.GetProjectionMatrix();
    EXPECT_EQ(projection, Perspective(60.0f, 1280.0f / 720.0f, 1.0f, 1000.0f));
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(std::isfinite(projection.data()[i]));
}

struct CallRecord {
    std::vector<std::string> calls;
    GLint vertexArrayDuringRender = -1;
    float cameraDistanceDuringRender = -1.0f;
};

class RecordingEffect : public IEffect {
public:
    explicit RecordingEffect(CallRecord& record) : IEffect("Recording Effect"), record(record) {}
    bool Init() override {
        vertexArray = GLVertexArray::Generate();
        return true;
    }
    void Render(float renderTime) override {
        record.calls.push_back("Render " + std::to_string(renderTime));
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &record.vertexArrayDuringRender);
        record.cameraDistanceDuringRender = gRenderer->GetCamera()->distance;
    }
    void Shutdown() override { vertexArray.Reset(); }

private:
    CallRecord& record;
};

class RecordingPostProcessor : public IPostProcessor {
public:
    explicit RecordingPostProcessor(CallRecord& record) : IPostProcessor("Recording Pass"), record(record) {}
    bool Init() override { return true; }
    void Begin() override { record.calls.push_back("Begin"); }
    void Apply(float time) override { record.calls.push_back("Apply " + std::to_string(time)); }
    void Shutdown() override {}

private:
    CallRecord& record;
};

TEST_F(GLRendererTest, RenderFrameAdvancesEffectTimeByBeatsAndWrapsThePostProcessor) {
    PausedSoundtrack music;
    ASSERT_TRUE(music.Ready());
    music.Attach(sync);

    CallRecord record;
    RecordingEffect effect(record);
    RecordingPostProcessor bloom(record);
    ASSERT_TRUE(effect.Init());
    effect.time = 1.0f;

    // The first frame's delta is the whole position: 2 s at 126 bpm are 4.2 beats.
    music.SetSeconds(2.0f);
    renderer.postProcessor = &bloom;
    renderer.RenderFrame(effect);
    EXPECT_FLOAT_EQ(effect.time, 5.2f);
    const std::string advanced = std::to_string(effect.time);
    EXPECT_EQ(record.calls, (std::vector<std::string>{"Begin", "Render " + advanced, "Apply " + advanced}));
    EXPECT_EQ(record.vertexArrayDuringRender, static_cast<GLint>(effect.vertexArray));
    EXPECT_EQ(record.cameraDistanceDuringRender, 0.0f) << "the camera is sampled from its (empty) tracks";
    EXPECT_EQ(Integer(GL_VERTEX_ARRAY_BINDING), 0);

    // Without a post processor neither Begin nor Apply runs; the delta is from the last frame.
    record.calls.clear();
    renderer.postProcessor = nullptr;
    music.SetSeconds(3.0f);
    renderer.RenderFrame(effect);
    EXPECT_FLOAT_EQ(effect.time, 7.3f);
    EXPECT_EQ(record.calls, (std::vector<std::string>{"Render " + std::to_string(effect.time)}));

    effect.Shutdown();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLRendererTest, ShutdownDeletesEveryCachedTextureInKeyOrder) {
    const std::filesystem::path directory = TempDirectory();
    const std::string second = (directory / "b.png").string();
    const std::string first = (directory / "a.png").string();
    const uint8_t pixel[4] = {1, 2, 3, 4};
    ASSERT_TRUE(stbi_write_png(second.c_str(), 1, 1, 4, pixel, 4));
    ASSERT_TRUE(stbi_write_png(first.c_str(), 1, 1, 4, pixel, 4));
    renderer.GetTexture(second.c_str(), false);
    renderer.GetTexture(first.c_str(), false);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    log.lines.clear();
    renderer.Shutdown();
    std::vector<std::string> expected = {"Deleting Texture: " + first, "Deleting Texture: " + second,
                                         "Deleting Texture: MissingTexture.png"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(log.lines, expected);
}

}  // namespace

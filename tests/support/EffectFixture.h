#pragma once
// GL tests of effects and post processors: a real renderer, the run directory (shaders, meshes,
// textures) as the working directory, and the renderer's own frame, minus the swap, so the
// picture can be read back. Include it from test sources only: it needs QUARN_RUN_DIR.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "support/GLRendererFixture.h"

class EffectFixture : public GLRendererFixture {
protected:
    void SetUp() override {
        savedDirectory = std::filesystem::current_path();
        std::filesystem::current_path(QUARN_RUN_DIR);
        GLRendererFixture::SetUp();
    }

    void TearDown() override {
        GLRendererFixture::TearDown();
        std::filesystem::current_path(savedDirectory);
    }

    // Every error GL has queued since the last call, oldest first.
    static std::vector<GLenum> TakeGLErrors() {
        std::vector<GLenum> errors;
        for (GLenum error = glGetError(); error != GL_NO_ERROR && errors.size() < 16; error = glGetError())
            errors.push_back(error);
        return errors;
    }

    // The renderer's frame for `effect` at `time`, wrapped in `post` when given, left unswapped.
    void DrawFrame(IEffect& effect, float time, IPostProcessor* post = nullptr) {
        effect.time = time;
        renderer.postProcessor = post;
        renderer.DrawFrame(effect);
    }

    // The window's back buffer as RGBA bytes, bottom row first.
    static std::vector<uint8_t> ReadBackBuffer(int x = 0, int y = 0, int width = kWindowWidth,
                                               int height = kWindowHeight) {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // What a frame hands on to the next: alpha blending on, and texture unit 0 active with no
    // texture or sampler bound.
    static void ExpectAlphaBlendingAndABareUnitZero() {
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(Integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
        EXPECT_EQ(Integer(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), 0);
        EXPECT_EQ(Integer(GL_TEXTURE_BINDING_CUBE_MAP), 0);
        EXPECT_EQ(Integer(GL_SAMPLER_BINDING), 0);
    }

    // The mean of `value(pixel)` over the square of the back buffer centred on (x, y), counted
    // from the bottom left, that reaches `half` pixels out each way.
    template <typename PixelValue>
    static double MeanOverSquare(int x, int y, int half, PixelValue value) {
        const std::vector<uint8_t> pixels = ReadBackBuffer(x - half, y - half, 2 * half + 1, 2 * half + 1);
        double sum = 0.0;
        for (size_t i = 0; i < pixels.size(); i += 4)
            sum += value(&pixels[i]);
        return sum / static_cast<double>(pixels.size() / 4);
    }

    // Mean brightness (r + g + b) over such a square.
    static double Brightness(int x, int y, int half = 4) {
        return MeanOverSquare(x, y, half, [](const uint8_t* rgba) { return rgba[0] + rgba[1] + rgba[2]; });
    }

    // The size GL holds for `buffer`, -1 when it has none.
    static GLint BufferSize(GLuint buffer, GLenum target = GL_ARRAY_BUFFER) {
        GLint size = -1;
        glBindBuffer(target, buffer);
        glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
        glBindBuffer(target, 0);
        return size;
    }

    // Makes the test's own directory, holding a copy of the run directory's shaders and nothing
    // else, the working directory: effects then find their programs but no meshes or textures.
    std::filesystem::path EnterDirectoryWithShadersOnly() {
        const std::filesystem::path directory = TempDirectory();
        std::filesystem::copy(std::filesystem::path(QUARN_RUN_DIR) / "Shaders", directory / "Shaders");
        std::filesystem::current_path(directory);
        return directory;
    }

    // Saves the back buffer as `name` in $QUARN_STILLS_DIR, when that is set, for a person to look at.
    static void KeepStill(const std::string& name) {
        if (const char* directory = std::getenv("QUARN_STILLS_DIR"))
            SaveBackBuffer(std::filesystem::path(directory) / name);
    }

private:
    std::filesystem::path savedDirectory;
};

#pragma once
// GL tests of effects and post processors: a real renderer, the run directory (shaders, meshes,
// textures) as the working directory, and the frame sequence the renderer runs, minus the swap,
// so the picture can be read back. Include it from test sources only: it needs QUARN_RUN_DIR.

#include <gtest/gtest.h>

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
        if (HasFatalFailure())
            return;
        glGenVertexArrays(1, &frameVertexArray);
    }

    void TearDown() override {
        glDeleteVertexArrays(1, &frameVertexArray);
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
    static void DrawFrame(IEffect& effect, float time, IPostProcessor* post = nullptr) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glBindVertexArray(effect.vertexArray);
        if (post)
            post->Begin();
        effect.time = time;
        effect.Render(time);
        if (post)
            post->Apply(time);
        glBindVertexArray(0);
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

    // Saves the back buffer as `name` in $QUARN_STILLS_DIR, when that is set, for a person to look at.
    static void KeepStill(const std::string& name) {
        if (const char* directory = std::getenv("QUARN_STILLS_DIR"))
            SaveBackBuffer(std::filesystem::path(directory) / name);
    }

    // A plain frame-time vertex array, for post-processor tests that draw no effect.
    GLuint frameVertexArray = 0;

private:
    std::filesystem::path savedDirectory;
};

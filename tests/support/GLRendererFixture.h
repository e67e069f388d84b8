#pragma once
// Brings a GLRenderer up the way the engine does (a platform window, the extensions loaded on a
// hidden window, GLRenderer::Init), with a recording log and no sync device or soundtrack.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "render/GLRenderer.h"
#include "support/LogRecorder.h"
#include "support/ScratchDirectory.h"
#include "sync/Sync.h"

class GLRendererFixture : public ::testing::Test {
protected:
    static constexpr int kWindowWidth = 1280;
    static constexpr int kWindowHeight = 720;

    void SetUp() override;
    void TearDown() override;
    virtual int SampleCount() const { return 4; }

    // A fresh window of the test size; GL pixel formats are set once per window.
    static platform::WindowHandle CreateTestWindow();
    // One integer of GL state, -1 when GL has none to give.
    static GLint Integer(GLenum name);
    // A directory of its own for the running test, removed afterwards.
    std::filesystem::path TempDirectory();
    // Level 0 of a texture image (GL_TEXTURE_2D or a cube face) as RGBA bytes.
    static std::vector<uint8_t> ReadTextureImage(GLenum bindTarget, GLenum imageTarget, GLuint name);
    // Writes the back buffer to a PNG file.
    static void SaveBackBuffer(const std::filesystem::path& path);

    LogRecorder log;
    SyncContext sync;
    GLRenderer renderer;
    platform::WindowHandle window;

private:
    IRenderer* savedRenderer = nullptr;
    SyncContext* savedSync = nullptr;
    std::optional<ScratchDirectory> tempDirectory;
};

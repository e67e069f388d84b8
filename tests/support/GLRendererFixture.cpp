#include "support/GLRendererFixture.h"

#include <stb/stb_image_write.h>  // the support library has no stb include path of its own

#include "engine/AppWindow.h"
#include "support/GLExtensions.h"

void GLRendererFixture::SetUp() {
    savedRenderer = gRenderer;
    savedSync = gSync;
    gSync = &sync;
    ASSERT_TRUE(TestExtensionsLoaded());
    window = CreateTestWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(renderer.Init(window, SampleCount()));
    gRenderer = &renderer;
}

void GLRendererFixture::TearDown() {
    renderer.Shutdown();
    if (window)
        platform::DestroyWindow(window);
    tempDirectory.reset();
    gRenderer = savedRenderer;
    gSync = savedSync;
}

platform::WindowHandle GLRendererFixture::CreateTestWindow() {
    AppWindow appWindow;
    CreateAppWindow(kWindowWidth, kWindowHeight, appWindow, nullptr, true, false);
    return appWindow.window;
}

GLint GLRendererFixture::Integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

std::filesystem::path GLRendererFixture::TempDirectory() {
    if (!tempDirectory)
        tempDirectory.emplace("quarn-gl");
    return tempDirectory->Path();
}

std::vector<uint8_t> GLRendererFixture::ReadTextureImage(GLenum bindTarget, GLenum imageTarget, GLuint name) {
    glBindTexture(bindTarget, name);
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(imageTarget, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(imageTarget, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(imageTarget, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(bindTarget, 0);
    return pixels;
}

void GLRendererFixture::SaveBackBuffer(const std::filesystem::path& path) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int width = viewport[2];
    const int height = viewport[3];
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(viewport[0], viewport[1], width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // The window shows no alpha; a saved frame should not either.
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 255;
    // GL's rows run bottom-up, PNG's top-down.
    stbi_flip_vertically_on_write(1);
    stbi_write_png(path.string().c_str(), width, height, 4, pixels.data(), width * 4);
    stbi_flip_vertically_on_write(0);
}

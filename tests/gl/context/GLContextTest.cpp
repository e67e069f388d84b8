// Pixel formats and contexts on this machine's display (Mesa under Xvfb in CI).
#include "render/GLContext.h"
#include "support/EngineGLWindow.h"
#include "support/LogRecorder.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class GLContextTest : public testing::Test {
protected:
    void TearDown() override { ReleaseGLContext(handles); }

    bool Create(int sampleCount) {
        EXPECT_TRUE(window.Valid());
        return window.Valid() && CreateGLContext(sampleCount, handles, window.Handle());
    }

    // The four lines a successful creation writes, and nothing else.
    void ExpectContextLines() const {
        ASSERT_EQ(log.lines.size(), 4u);
        EXPECT_TRUE(log.lines[0].starts_with("Max OpenGL Version: ")) << log.lines[0];
        EXPECT_TRUE(log.lines[1].starts_with("Hardware Vendor: ")) << log.lines[1];
        EXPECT_TRUE(log.lines[2].starts_with("Hardware Renderer: ")) << log.lines[2];
        const std::string version = "OpenGL Context Version: ";
        ASSERT_TRUE(log.lines[3].starts_with(version)) << log.lines[3];
        EXPECT_EQ(log.lines[3].substr(version.size()), reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    }

    // The window really is drawn to: a cleared colour comes back from the back buffer.
    static void ExpectClearColourReadsBack() {
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        unsigned char pixel[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(16, 16, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(pixel[0], 255);
        EXPECT_EQ(pixel[1], 0);
        EXPECT_EQ(pixel[2], 0);
    }

    LogRecorder log;
    GLTestWindow window{64, 48};
    ContextHandles handles;
};

TEST_F(GLContextTest, FourSamplesGiveAMultisampled33Context) {
    log.lines.clear();
    ASSERT_TRUE(Create(4));
    ExpectContextLines();

    EXPECT_EQ(handles.window, window.Handle());
    EXPECT_TRUE(handles.glContext);
    EXPECT_GE(handles.glMajorVersion * 10 + handles.glMinorVersion, 33);
    GLint sampleBuffers = 0;
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_EQ(sampleBuffers, 1);
    EXPECT_EQ(samples, 4);

    GLint depthBits = 0;
    GLint stencilBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits);
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                          &stencilBits);
    EXPECT_EQ(depthBits, 24);
    EXPECT_EQ(stencilBits, 8);
    ExpectClearColourReadsBack();
    EXPECT_TRUE(platform::SwapBuffers(handles.deviceContext));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GLContextTest, ZeroSamplesTakeTheClassicPath) {
    log.lines.clear();
    ASSERT_TRUE(Create(0));
    ExpectContextLines();

    GLint sampleBuffers = -1;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    EXPECT_EQ(sampleBuffers, 0);
    EXPECT_GE(handles.glMajorVersion * 10 + handles.glMinorVersion, 33);
    ExpectClearColourReadsBack();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GLContextTest, APixelFormatIsSetOncePerWindow) {
    ASSERT_TRUE(Create(4));
    const platform::PixelFormatDescriptor descriptor = ClassicPixelFormat();
    const int format = platform::ChoosePixelFormat(handles.deviceContext, descriptor);
    ASSERT_NE(format, 0);
    EXPECT_FALSE(platform::SetPixelFormat(handles.deviceContext, format, descriptor));

    // A second creation on the same window fails and leaves the first context alone.
    log.lines.clear();
    ContextHandles second;
    EXPECT_FALSE(CreateGLContext(4, second, window.Handle()));
    EXPECT_EQ(log.lines, std::vector<std::string>{"ERROR: Failed to set FSAA pixel format!"});
    EXPECT_FALSE(second.glContext);
    EXPECT_FALSE(second.deviceContext);
    EXPECT_FALSE(CreateGLContext(0, second, window.Handle()));
    EXPECT_EQ(log.lines.back(), "ERROR: Failed to set pixel format!");
    ExpectClearColourReadsBack();
}

TEST_F(GLContextTest, ReleaseLeavesNoContextCurrent) {
    ASSERT_TRUE(Create(4));
    const platform::GLContextHandle released = handles.glContext;
    ReleaseGLContext(handles);
    EXPECT_FALSE(handles.glContext);
    EXPECT_FALSE(handles.deviceContext);
    EXPECT_EQ(glGetString(GL_VERSION), nullptr);
    // The context is gone, not merely put aside.
    EXPECT_FALSE(platform::MakeCurrent(platform::GetDC(window.Handle()), released));
}

TEST(GLPixelFormat, DescribedFormatsMatchTheRequest) {
    LogRecorder log;
    GLTestWindow window(32, 32);
    ASSERT_TRUE(window.Valid());
    const platform::DeviceContext dc = platform::GetDC(window.Handle());
    const int attributes[] = {platform::WGL_DRAW_TO_WINDOW_ARB, 1,        platform::WGL_SUPPORT_OPENGL_ARB, 1,
                              platform::WGL_DOUBLE_BUFFER_ARB,  1,        platform::WGL_COLOR_BITS_ARB,     32,
                              platform::WGL_DEPTH_BITS_ARB,     24,       platform::WGL_STENCIL_BITS_ARB,   8,
                              platform::WGL_SAMPLE_BUFFERS_ARB, 1,        platform::WGL_SAMPLES_ARB,        4,
                              0,                                0};
    int format = 0;
    uint32_t count = 0;
    ASSERT_TRUE(platform::ChoosePixelFormatARB(dc, attributes, nullptr, 1, &format, &count));
    ASSERT_EQ(count, 1u);
    platform::PixelFormatDescriptor described;
    EXPECT_GT(platform::DescribePixelFormat(dc, format, sizeof described, &described), 0);
    EXPECT_EQ(described.colorBits, 24);
    EXPECT_EQ(described.alphaBits, 8);
    EXPECT_EQ(described.depthBits, 24);
    EXPECT_EQ(described.stencilBits, 8);
    EXPECT_TRUE(described.flags & platform::PFD_DOUBLEBUFFER);
    EXPECT_TRUE(described.flags & platform::PFD_DRAW_TO_WINDOW);

    // An attribute the layer cannot honour is refused rather than ignored.
    const int unknown[] = {0x2099, 1, 0, 0};
    EXPECT_FALSE(platform::ChoosePixelFormatARB(dc, unknown, nullptr, 1, &format, &count));
    EXPECT_EQ(platform::DescribePixelFormat(dc, -5, sizeof described, &described), 0);
}

TEST(GLExtensions, WglNamesAreAnsweredByTheWindowSystem) {
    LogRecorder log;
    GLTestWindow window(32, 32);
    ASSERT_TRUE(window.Valid());
    EXPECT_TRUE(platform::IsExtensionSupported("WGL_ARB_pixel_format WGL_ARB_multisample"));
    EXPECT_TRUE(platform::IsExtensionSupported("WGL_ARB_create_context"));
    EXPECT_FALSE(platform::IsExtensionSupported("WGL_ARB_pixel_format WGL_NV_unheard_of"));
    EXPECT_FALSE(platform::IsExtensionSupported(""));
}

}  // namespace

#include <gtest/gtest.h>

#include <vector>

#include "render/FrameBuffer.h"
#include "support/GLRendererFixture.h"

namespace {

using FrameBufferTest = GLRendererFixture;

std::vector<GLint> Viewport() {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return {viewport[0], viewport[1], viewport[2], viewport[3]};
}

TEST_F(FrameBufferTest, TargetWithoutDepthHasOnlyItsColourTexture) {
    GLuint other = 0;
    glGenFramebuffers(1, &other);
    glBindFramebuffer(GL_FRAMEBUFFER, other);

    FrameBuffer target;
    ASSERT_TRUE(target.Create(512, 256, false));
    EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING), 0) << "the window's framebuffer, not the one bound before";
    EXPECT_EQ(target.depthRenderbuffer, 0u);
    ASSERT_EQ(target.colourAttachmentCount, 1);
    EXPECT_EQ(target.colourTextures[0].width, 512);
    EXPECT_EQ(target.colourTextures[0].height, 256);
    EXPECT_EQ(target.colourTextures[0].format, static_cast<GLenum>(GL_RGBA));
    const GLuint colour = target.ColourTexture();
    EXPECT_TRUE(glIsTexture(colour));
    const GLuint framebuffer = target.framebuffer;

    target.Destroy();
    EXPECT_FALSE(glIsTexture(colour));
    EXPECT_FALSE(glIsFramebuffer(framebuffer));
    EXPECT_EQ(target.ColourTexture(), 0u);
    glDeleteFramebuffers(1, &other);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameBufferTest, TargetWithDepthAttachesA24BitRenderbuffer) {
    FrameBuffer target;
    ASSERT_TRUE(target.Create(128, 64, true));
    ASSERT_NE(target.depthRenderbuffer, 0u);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depthRenderbuffer);
    GLint depthBits = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_DEPTH_SIZE, &depthBits);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    EXPECT_EQ(depthBits, 24);
    const GLuint depth = target.depthRenderbuffer;
    target.Destroy();
    EXPECT_FALSE(glIsRenderbuffer(depth));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameBufferTest, BindClearsTheTargetAndUnbindRestoresTheViewport) {
    FrameBuffer target;
    ASSERT_TRUE(target.Create(64, 32, true));
    glViewport(10, 20, 300, 200);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    target.Bind();
    EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING), static_cast<GLint>(target.framebuffer));
    EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, 64, 32}));
    uint8_t pixel[4] = {};
    glReadPixels(63, 31, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + 4), (std::vector<uint8_t>{0, 255, 0, 255}));

    target.Unbind();
    EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING), 0);
    // The viewport Bind replaced, its origin included: a letterboxed picture does not start at 0, 0.
    EXPECT_EQ(Viewport(), (std::vector<GLint>{10, 20, 300, 200}));
    target.Destroy();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameBufferTest, FailedCreateLeavesTheWindowBoundAndDestroyCleansUp) {
    FrameBuffer target;
    // A zero-sized attachment makes the framebuffer incomplete.
    EXPECT_FALSE(target.Create(0, 0, true));
    EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING), 0);
    const GLuint framebuffer = target.framebuffer;
    const GLuint colour = target.ColourTexture();
    target.Destroy();
    EXPECT_FALSE(glIsFramebuffer(framebuffer));
    EXPECT_FALSE(glIsTexture(colour));

    FrameBuffer never;
    never.Destroy();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace

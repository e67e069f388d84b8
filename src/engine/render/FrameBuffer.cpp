#include "render/FrameBuffer.h"

#include <algorithm>

namespace {

GLint IntegerState(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

}  // namespace

bool FrameBuffer::Create(int targetWidth, int targetHeight, bool withDepth) {
    width = targetWidth;
    height = targetHeight;
    colourAttachmentCount = 1;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);

    bool complete = false;
    if (std::min(IntegerState(GL_MAX_COLOR_ATTACHMENTS), IntegerState(GL_MAX_DRAW_BUFFERS)) >= 1) {
        colourTextures = std::make_unique<GLTexture[]>(colourAttachmentCount);
        auto drawBuffers = std::make_unique<GLenum[]>(colourAttachmentCount);
        for (int i = 0; i < colourAttachmentCount; ++i) {
            GLuint texture = 0;
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            colourTextures[i] = GLTexture(height, width, texture, GL_RGBA);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, texture, 0);
            drawBuffers[i] = GL_COLOR_ATTACHMENT0 + i;
        }
        glDrawBuffers(colourAttachmentCount, drawBuffers.get());

        if (withDepth) {
            glGenRenderbuffers(1, &depthRenderbuffer);
            glBindRenderbuffer(GL_RENDERBUFFER, depthRenderbuffer);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthRenderbuffer);
            glBindRenderbuffer(GL_RENDERBUFFER, 0);
        }
        complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    // An incomplete target must not stay bound: the window would silently stop receiving frames.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

void FrameBuffer::Bind() {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    savedViewportX = viewport[0];
    savedViewportY = viewport[1];
    savedViewportWidth = viewport[0] + viewport[2];
    savedViewportHeight = viewport[1] + viewport[3];
    savedFramebuffer = IntegerState(GL_DRAW_FRAMEBUFFER_BINDING);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void FrameBuffer::Unbind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(savedFramebuffer));
    glViewport(savedViewportX, savedViewportY, savedViewportWidth - savedViewportX,
               savedViewportHeight - savedViewportY);
}

GLuint FrameBuffer::ColourTexture() const {
    return colourTextures && colourAttachmentCount > 0 ? colourTextures[0].name : 0;
}

void FrameBuffer::Destroy() {
    if (depthRenderbuffer != 0)
        glDeleteRenderbuffers(1, &depthRenderbuffer);
    for (int i = 0; colourTextures && i < colourAttachmentCount; ++i)
        glDeleteTextures(1, &colourTextures[i].name);
    if (framebuffer != 0)
        glDeleteFramebuffers(1, &framebuffer);
    *this = FrameBuffer{};
}

#pragma once
// An off-screen target: one RGBA colour texture and, on request, a 24-bit depth buffer.
// The colour texture has no mipmaps, so read it through a sampler with a non-mipmap filter.

#include <GL/glew.h>

#include <memory>

#include "render/GLTexture.h"

struct FrameBuffer {
    int width = 0;
    int height = 0;
    int savedViewportWidth = 0;   // x + width of the viewport Bind replaced
    int savedViewportHeight = 0;  // y + height of that viewport
    int savedViewportX = 0;       // its origin: a letterboxed picture does not start at 0, 0
    int savedViewportY = 0;
    GLuint framebuffer = 0;
    GLuint depthRenderbuffer = 0;
    std::unique_ptr<GLTexture[]> colourTextures;  // owned here, not by the texture cache
    int colourAttachmentCount = 0;
    GLint savedFramebuffer = 0;  // where drawing went before Bind: the window, or a target around this one

    // True when the framebuffer is complete. Framebuffer 0 is bound afterwards either way;
    // on failure Destroy releases what was made.
    bool Create(int targetWidth, int targetHeight, bool withDepth);
    // Redirects drawing here, sets the viewport to the whole target and clears it.
    void Bind();
    // Back to where drawing went before Bind, with the viewport Bind saved.
    void Unbind() const;
    GLuint ColourTexture() const;
    void Destroy();
};

#pragma once
// A texture handed out by the renderer. Effects keep plain pointers and never free them; the
// renderer's cache owns every texture and releases them at Shutdown.

#include <GL/glew.h>

#include <cstdint>

class ITexture {
public:
    virtual ~ITexture() = default;

    int32_t height = 0;  // of the source image; for a cube map, of the whole cross
    int32_t width = 0;
    GLuint name = 0;
    GLenum format = GL_RGBA;
};

#pragma once

#include "render/ITexture.h"

class GLTexture : public ITexture {
public:
    GLTexture() = default;
    GLTexture(int32_t textureHeight, int32_t textureWidth, GLuint textureName, GLenum textureFormat) {
        height = textureHeight;
        width = textureWidth;
        name = textureName;
        format = textureFormat;
    }
};

#include "effects/Sampler.h"

GLSampler CreateSampler(GLenum minFilter, float anisotropy, bool clampR) {
    GLSampler sampler = GLSampler::Generate();
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (clampR)
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Without the anisotropy extension the renderer reads no maximum and leaves 0; the
    // parameter would then be an invalid enum.
    if (anisotropy >= 1.0f)
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
    return sampler;
}

#include "render/PreviewTarget.h"

#include "log/ILogger.h"
#include "render/ScreenQuad.h"

bool PreviewTarget::Init(int windowWidth, int windowHeight) {
    if (!target.Create(windowWidth / 2, windowHeight / 2, true)) {
        gLogger->Error("Failed to initialize Preview Frame Buffer!");
        return false;
    }
    if (!program.Build("./Shaders/RenderFBO.vert", "./Shaders/RenderFBO.frag")) {
        gLogger->Error("Failed to initialize Preview Shader!");
        return false;
    }
    texSamplerLocation = program.UniformLocation("TexSampler");
    vertexArray = GLVertexArray::Generate();
    quadBuffer = CreateScreenQuadBuffer();
    sampler = GLSampler::Generate();
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return true;
}

void PreviewTarget::Shutdown() {
    target.Destroy();
    program.Destroy();
    ResetAll(sampler, quadBuffer, vertexArray);
}

void PreviewTarget::Begin() { target.Bind(); }

void PreviewTarget::Present(const PictureRect& picture) {
    target.Unbind();
    // The bars around a letterboxed picture saw no clear of their own this frame.
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(picture.x, picture.y, picture.width, picture.height);
    // The window's depth buffer was never cleared this frame; the copy must not be tested against it.
    glDisable(GL_DEPTH_TEST);
    program.Bind(0.0f);
    glBindVertexArray(vertexArray);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(texSamplerLocation, 0);
    glBindSampler(0, sampler);
    glBindTexture(GL_TEXTURE_2D, target.ColourTexture());
    DrawScreenQuad(quadBuffer);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
    glBindVertexArray(0);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, target.width, target.height);
}

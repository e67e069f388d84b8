#include "effects/Bloom.h"

#include "effects/Sampler.h"
#include "log/ILogger.h"
#include "render/IRenderer.h"
#include "render/ScreenQuad.h"

namespace {

constexpr int kBlurSize = 512;
constexpr const char* kQuadVertexShader = "./Shaders/RenderFBO.vert";

bool Fail(const char* message) {
    gLogger->Error(message);
    return false;
}

bool CreateTarget(FrameBuffer& target, int width, int height, bool withDepth, const char* failure) {
    return target.Create(width, height, withDepth) || Fail(failure);
}

bool BuildQuadProgram(ShaderProgram& program, const char* fragmentPath, const char* failure) {
    return program.Build(kQuadVertexShader, fragmentPath) || Fail(failure);
}

}  // namespace

Bloom::Bloom() : IPostProcessor("Bloom") {}

bool Bloom::Init() {
    if (!CreateTargets())
        return false;

    quadBuffer = CreateScreenQuadBuffer();
    // The attribute pointer is set with every draw instead: at start-up no vertex array is
    // bound, and a core context refuses attribute state without one.

    samplerA = CreateSampler(GL_LINEAR, gRenderer->maxAnisotropy);
    samplerB = CreateSampler(GL_LINEAR, gRenderer->maxAnisotropy);

    if (!BuildPrograms())
        return false;
    LookUpLocations();
    fadeTrack = RequestTrack("Fade");
    return true;
}

bool Bloom::CreateTargets() {
    targetsReady = CreatePictureTargets(static_cast<int>(gRenderer->width), static_cast<int>(gRenderer->height)) &&
                   CreateTarget(downsampledTarget, kBlurSize, kBlurSize, false,
                                "Failed to initialize Downsampled Frame Buffer!") &&
                   CreateTarget(downsampled2Target, kBlurSize, kBlurSize, false,
                                "Failed to initialize Downsampled_2 Frame Buffer!");
    return targetsReady;
}

bool Bloom::CreatePictureTargets(int width, int height) {
    return CreateTarget(mainTarget, width, height, true, "Failed to initialize Main Frame Buffer!") &&
           CreateTarget(blurTarget, width, height, true, "Failed to initialize Blur Frame Buffer!");
}

// Made again only when the size changed (a resized window), never in an ordinary frame.
bool Bloom::FollowPictureSize() {
    const int width = static_cast<int>(gRenderer->width);
    const int height = static_cast<int>(gRenderer->height);
    if (mainTarget.width == width && mainTarget.height == height) return targetsReady;
    mainTarget.Destroy();
    blurTarget.Destroy();
    targetsReady = CreatePictureTargets(width, height);
    return targetsReady;
}

bool Bloom::BuildPrograms() {
    return BuildQuadProgram(copyProgram, "./Shaders/RenderFBO.frag", "Failed to initialize Copy Shader!") &&
           BuildQuadProgram(mixProgram, "./Shaders/Mix.frag", "Failed to initialize Mix Shader!") &&
           BuildQuadProgram(horizontalBlurProgram, "./Shaders/BlurH.frag",
                            "Failed to initialize Horizontal Blur Shader!") &&
           BuildQuadProgram(verticalBlurProgram, "./Shaders/BlurV.frag", "Failed to initialize Vertical Blur Shader!") &&
           BuildQuadProgram(highPassProgram, "./Shaders/HighPass.frag", "Failed to initialize High Pass Shader!");
}

void Bloom::LookUpLocations() {
    texSamplerLocation = mixProgram.UniformLocation("TexSampler");
    texSampler2Location = mixProgram.UniformLocation("TexSampler2");
    fadeLocation = mixProgram.UniformLocation("Fade");
    copyTexSamplerLocation = copyProgram.UniformLocation("TexSampler");
    highPassTexSamplerLocation = highPassProgram.UniformLocation("TexSampler");
    horizontalBlurTexSamplerLocation = horizontalBlurProgram.UniformLocation("TexSampler");
    verticalBlurTexSamplerLocation = verticalBlurProgram.UniformLocation("TexSampler");
}

void Bloom::Begin() {
    if (FollowPictureSize()) mainTarget.Bind();
}

void Bloom::Apply(float time) {
    if (!targetsReady) return;
    mainTarget.Unbind();
    RunPass(blurTarget, highPassProgram, highPassTexSamplerLocation, mainTarget, time);
    RunPass(downsampledTarget, copyProgram, copyTexSamplerLocation, blurTarget, time);
    RunPass(downsampled2Target, horizontalBlurProgram, horizontalBlurTexSamplerLocation, downsampledTarget, time);
    RunPass(downsampledTarget, verticalBlurProgram, verticalBlurTexSamplerLocation, downsampled2Target, time);
    RunPass(blurTarget, copyProgram, copyTexSamplerLocation, downsampledTarget, time);
    Mix(time);
}

void Bloom::RunPass(FrameBuffer& target, const ShaderProgram& program, GLint samplerLocation,
                    const FrameBuffer& input, float time) const {
    target.Bind();
    program.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(samplerLocation, 0);
    glBindSampler(0, samplerA);
    glBindTexture(GL_TEXTURE_2D, input.ColourTexture());
    DrawQuad();
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
    target.Unbind();
}

void Bloom::Mix(float time) const {
    mixProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, mainTarget.ColourTexture());
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, blurTarget.ColourTexture());
    glUniform1i(texSamplerLocation, 0);
    glUniform1i(texSampler2Location, 1);
    const int32_t row = CurrentRow(*gSync);
    glUniform1f(fadeLocation, GetValue(fadeTrack ? *fadeTrack : nullptr, static_cast<double>(row)));
    glBindSampler(0, samplerA);
    glBindSampler(1, samplerB);
    DrawQuad();
    // Unit 1 is the active one here, so this clears the glow's binding and keeps the image's.
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void Bloom::DrawQuad() const { DrawScreenQuad(quadBuffer); }

void Bloom::Shutdown() {
    fadeTrack.reset();
    mainTarget.Destroy();
    blurTarget.Destroy();
    downsampledTarget.Destroy();
    downsampled2Target.Destroy();
    copyProgram.Destroy();
    highPassProgram.Destroy();
    horizontalBlurProgram.Destroy();
    verticalBlurProgram.Destroy();
    mixProgram.Destroy();
    ResetAll(quadBuffer, samplerA, samplerB);
}

#pragma once
// The bloom pass: the effect draws into a picture-sized target; its bright parts are blurred at
// 512x512, scaled back up and added to the untouched image under the "Fade" track. The
// picture-sized targets follow the renderer's size when a window is resized.

#include <GL/glew.h>

#include "demo/IPostProcessor.h"
#include "render/FrameBuffer.h"
#include "render/GLObject.h"
#include "render/ShaderProgram.h"
#include "sync/Sync.h"

class Bloom final : public IPostProcessor {
public:
    Bloom();

    bool Init() override;
    void Begin() override;
    void Apply(float time) override;
    void Shutdown() override;

    GLBuffer quadBuffer;
    GLSampler samplerA;             // unit 0 in every pass
    GLint texSamplerLocation = -1;  // of the mix program
    ShaderProgram copyProgram;
    FrameBuffer mainTarget;          // window-sized, with depth: the effect draws here
    FrameBuffer downsampledTarget;   // 512x512
    FrameBuffer downsampled2Target;  // 512x512
    FrameBuffer blurTarget;          // window-sized: the highlights, later the blurred glow
    GLSampler samplerB;  // unit 1 in the mix pass
    GLint texSampler2Location = -1;
    GLint fadeLocation = -1;
    TrackHandle fadeTrack;
    ShaderProgram highPassProgram;
    ShaderProgram horizontalBlurProgram;
    ShaderProgram verticalBlurProgram;
    ShaderProgram mixProgram;
    // Each single-input pass sets "TexSampler" through its own program's location: the mix
    // program's location may name another uniform, or none, in the program that is bound.
    GLint copyTexSamplerLocation = -1;
    GLint highPassTexSamplerLocation = -1;
    GLint horizontalBlurTexSamplerLocation = -1;
    GLint verticalBlurTexSamplerLocation = -1;
    // False after the picture-sized targets could not be made at a new size: the effect is then
    // drawn without bloom rather than into a target that is not there.
    bool targetsReady = false;

private:
    bool CreateTargets();
    bool CreatePictureTargets(int width, int height);
    bool FollowPictureSize();
    bool BuildPrograms();
    void LookUpLocations();
    void RunPass(FrameBuffer& target, const ShaderProgram& program, GLint samplerLocation, const FrameBuffer& input,
                 float time) const;
    void Mix(float time) const;
    void DrawQuad() const;
};

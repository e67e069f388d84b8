#pragma once
// The fourth scene: a rising helix of spinning reflective gems that light up in patterns locked
// to the soundtrack's quarter beats, a large slowly turning background and an additive cloud
// of sprites. The pattern follows the soundtrack's beat, the motion the effect time.

#include <GL/glew.h>

#include <vector>

#include "demo/IEffect.h"
#include "effects/ParticleCloud.h"
#include "formats/Model.h"
#include "render/GLObject.h"
#include "render/ITexture.h"
#include "render/ShaderProgram.h"

class CubeTunnel final : public IEffect {
public:
    CubeTunnel();

    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;

    // Render at a soundtrack beat of the caller's choosing rather than the music's; Render
    // itself is this at the current beat.
    void RenderAtBeat(float time, float beat);

    ShaderProgram meshProgram;  // the gems and the background
    GLBuffer gemVertexBuffer;
    GLBuffer gemIndexBuffer;
    GLBuffer backgroundVertexBuffer;
    GLBuffer backgroundIndexBuffer;
    GLint modelMatrixLocation = -1;
    GLint lightPosLocation = -1;
    GLint normalMatrixLocation = -1;
    ITexture* gemEnvironment = nullptr;         // owned by the renderer's cache
    ITexture* backgroundEnvironment = nullptr;  // owned by the renderer's cache
    GLSampler cubeSampler;
    GLint meshTexSamplerLocation = -1;
    GLint diffuseColorLocation = -1;
    GLint reflectivityLocation = -1;
    Model gemModel;         // counts only once uploaded
    Model backgroundModel;  // counts only once uploaded
    GLBuffer particleBuffer;
    std::vector<ParticleRecord> particles;
    ShaderProgram particleProgram;
    ITexture* spriteTexture = nullptr;  // owned by the renderer's cache
    GLSampler spriteSampler;
    GLint particleTexSamplerLocation = -1;

private:
    void CreateParticles();
    bool BuildPrograms();
    void LookUpLocations();

    void BindMeshPass(float time, const ITexture* environment) const;
    void DrawGems(float time, float beat) const;
    void DrawBackground(float time) const;
    void DrawParticles(float time) const;
};

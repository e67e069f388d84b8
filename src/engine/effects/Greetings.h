#pragma once
// The greetings scene: a breathing tube of 4000 small spinning cylinders that flash and, late in
// the soundtrack, pulse on the beat; the chrome logo rising into view; an additive cloud of
// sprites; and a screen-space sprite that shows the greeting images at fixed moments of the
// soundtrack and, at the end, the scrolling credits.

#include <GL/glew.h>

#include <array>
#include <vector>

#include "GreetingImages.h"
#include "demo/IEffect.h"
#include "effects/ParticleCloud.h"
#include "formats/Model.h"
#include "render/GLObject.h"
#include "render/ITexture.h"
#include "render/ShaderProgram.h"

class Greetings final : public IEffect {
public:
    Greetings();

    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;

    ShaderProgram cylinderProgram;
    GLBuffer cylinderVertexBuffer;
    GLBuffer cylinderIndexBuffer;
    GLint cylinderModelMatrixLocation = -1;
    GLint cylinderNormalMatrixLocation = -1;
    GLint cylinderLightPosLocation = -1;
    ITexture* cylinderTexture = nullptr;             // owned by the renderer's cache
    ITexture* cylinderEnvironmentTexture = nullptr;  // a cube map
    GLSampler cylinderSampler;                       // unit 0 of the cylinder pass
    GLSampler cylinderCubeSampler;                   // unit 1 of the cylinder pass
    GLint cylinderTexSamplerLocation = -1;
    GLint cylinderTexSampler2Location = -1;
    GLBuffer particleBuffer;
    GLint particleTexSamplerLocation = -1;
    ITexture* quadSpriteTexture = nullptr;  // requested, never drawn
    ShaderProgram particleProgram;
    GLint hexColorLocation = -1;
    Model cylinderModel;
    GLBuffer overlayBuffer;
    ShaderProgram overlayProgram;
    GLint projectLocation = -1;
    GLSampler overlaySampler;
    GLint overlayTexSamplerLocation = -1;
    std::array<ITexture*, kGreetingImageCount> greetingImages{};  // image 1 first
    ITexture* spriteTexture = nullptr;
    ITexture* creditsTexture = nullptr;
    GLBuffer logoVertexBuffer;
    GLBuffer logoIndexBuffer;
    ITexture* logoEnvironmentTexture = nullptr;  // a cube map
    GLSampler logoSampler;
    GLint logoTexSamplerLocation = -1;
    ShaderProgram logoProgram;
    Model logoModel;  // counts only once uploaded
    GLint logoModelMatrixLocation = -1;
    GLint logoLightPosLocation = -1;
    GLint logoNormalMatrixLocation = -1;
    std::vector<ParticleRecord> particles;

private:
    void CreateOverlay();
    void CreateParticles();
    void CreateCylinder();
    void CreateLogo();
    void CreateSamplers();
    bool BuildPrograms();
    void LookUpLocations();
    void RequestTextures();

    // The soundtrack is read twice a frame: once before the tube, once for the logo.
    void DrawTube(float time, float beatAtStart) const;
    void DrawLogo(float time, float beatAtLogo) const;
    void DrawParticles(float time) const;
    void DrawOverlay(float time, double spin, float beatAtStart, float beatAtLogo) const;
    const ITexture* OverlayImage(float beatAtStart, float beatAtLogo) const;
};

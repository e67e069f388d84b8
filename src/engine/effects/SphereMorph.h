#pragma once
// The first scene: a sphere pulsing along its normals once per beat, a spiky ball twisting in
// a wave that runs outwards, a textured backdrop, a translucent shell round the sphere and an
// additive cloud of sprites. The shapes are recomputed on the processor every frame.

#include <GL/glew.h>

#include <vector>

#include "demo/IEffect.h"
#include "effects/ParticleCloud.h"
#include "effects/SphereMorphMath.h"
#include "formats/Model.h"
#include "math/Matrix4.h"
#include "render/GLObject.h"
#include "render/ITexture.h"
#include "render/ShaderProgram.h"

class SphereMorph final : public IEffect {
public:
    SphereMorph();

    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;

    ShaderProgram sphereProgram;  // the sphere, the spiky ball and the shell
    GLBuffer sphereVertexBuffer;
    GLBuffer sphereIndexBuffer;
    GLBuffer spikyBallVertexBuffer;
    GLBuffer spikyBallIndexBuffer;
    GLBuffer backdropVertexBuffer;
    GLBuffer backdropIndexBuffer;
    GLSampler backdropSampler;
    GLint backdropTexSamplerLocation = -1;
    ITexture* backdropTexture = nullptr;  // owned by the renderer's cache
    ShaderProgram backdropProgram;
    GLint backdropModelMatrixLocation = -1;
    GLBuffer particleBuffer;
    ShaderProgram particleProgram;
    GLSampler particleSampler;
    GLint particleTexSamplerLocation = -1;
    ITexture* spriteTexture = nullptr;  // owned by the renderer's cache
    GLint lightPosLocation = -1;
    GLint sphereColorLocation = -1;
    Matrix4 modelMatrix;  // the identity
    GLint sphereModelMatrixLocation = -1;
    Model backdropModel;
    Model sphereModel;     // counts only once uploaded
    Model spikyBallModel;  // its vertices are the scaled rest shape the twist starts from
    std::vector<SphereVertexState> sphereStates;
    std::vector<float> sphereUpload;
    std::vector<float> spikyBallUpload;
    std::vector<ParticleRecord> particles;

private:
    void CreateParticles();
    void CreateBackdrop();
    void CreateSpikyBall();
    void CreateSphere();
    bool BuildPrograms();
    void LookUpLocations();

    void DrawSphere(float time, float gain, float scale);
    void DrawSpikyBall(float time);
    void DrawBackdrop(float time) const;
    void DrawParticles(float time) const;
};

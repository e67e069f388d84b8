#pragma once
// The opening scene: a spinning, cube-mapped planet, an emitter of sprites whose shape is rebuilt
// every frame and changes with the soundtrack's beat (growing spheres, a pulsing sphere, a
// butterfly curve, an expanding lattice, then nothing), and a static additive cloud of sprites.

#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "demo/IEffect.h"
#include "effects/ParticleCloud.h"
#include "formats/Model.h"
#include "render/GLObject.h"
#include "render/ITexture.h"
#include "render/ShaderProgram.h"

class PlanetEffect final : public IEffect {
public:
    PlanetEffect();

    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;

    ShaderProgram planetProgram;
    GLBuffer planetVertexBuffer;
    GLBuffer planetIndexBuffer;
    GLBuffer emitterBuffer;  // rewritten every frame into storage allocated once
    GLBuffer cloudBuffer;
    std::vector<ParticleRecord> emitterRecords;
    std::vector<ParticleRecord> cloudRecords;
    int32_t particleCount = 0;
    ShaderProgram emitterProgram;
    ShaderProgram cloudProgram;
    GLint modelMatrixLocation = -1;  // of the planet program
    GLint waveLocation = -1;         // of the emitter program
    GLint lightPosLocation = -1;     // of the planet program
    GLint normalMatrixLocation = -1;
    ITexture* emitterTexture = nullptr;  // owned by the renderer's cache
    ITexture* cloudTexture = nullptr;    // owned by the renderer's cache
    GLSampler spriteSampler;             // reads both sprite textures
    GLint emitterTexSamplerLocation = -1;
    Model planetModel;  // counts only once uploaded
    ITexture* environmentTexture = nullptr;  // cube map, owned by the renderer's cache
    GLSampler cubeSampler;
    GLint planetTexSamplerLocation = -1;
    // The cloud pass sets its uniforms through its own program's locations: the emitter
    // program's locations may name another uniform, or none, in the cloud program.
    GLint cloudTexSamplerLocation = -1;
    GLint cloudWaveLocation = -1;

private:
    void CreateCloud();
    void CreatePlanet();
    void CreateEmitter();
    bool BuildPrograms();
    void LookUpResources();  // uniform locations and textures

    void DrawPlanet(float time) const;
    void DrawEmitter(float time);
    void DrawCloud(float time) const;
    void BindSprites(const ShaderProgram& program, float time, GLint samplerLocation, const ITexture* texture,
                     GLuint buffer) const;
};

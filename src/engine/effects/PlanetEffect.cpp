#include "effects/PlanetEffect.h"

#include <cmath>

#include "effects/PlanetEmitter.h"
#include "effects/MeshBuffers.h"
#include "effects/Sampler.h"
#include "math/Matrix4.h"
#include "render/IRenderer.h"
#include "sync/Sync.h"

namespace {

constexpr GLsizeiptr kParticleBytes = kPlanetParticleCount * sizeof(ParticleRecord);



}  // namespace

PlanetEffect::PlanetEffect() : IEffect("Planet Effect") {}

bool PlanetEffect::Init() {
    vertexArray = GLVertexArray::Generate();
    glBindVertexArray(vertexArray);

    CreateCloud();
    CreatePlanet();
    CreateEmitter();
    glBindVertexArray(0);

    spriteSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, gRenderer->maxAnisotropy);
    cubeSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, gRenderer->maxAnisotropy, true);

    if (!BuildPrograms())
        return false;
    LookUpResources();
    return true;
}

void PlanetEffect::CreateCloud() {
    particleCount = kPlanetParticleCount;
    cloudRecords.assign(kPlanetParticleCount, ParticleRecord{});
    FillCloudBox(cloudRecords);
    cloudBuffer = CreateBuffer(GL_ARRAY_BUFFER, kParticleBytes, cloudRecords.data(), GL_DYNAMIC_DRAW);
    SetParticlePointers();
}

void PlanetEffect::CreatePlanet() {
    UploadMesh(planetModel, "./Models/coolball.exm", VertexLayout::kPositionNormal, planetVertexBuffer, planetIndexBuffer);
    SetMeshPointers();
}

void PlanetEffect::CreateEmitter() {
    emitterRecords.assign(kPlanetParticleCount, ParticleRecord{});
    WriteEmitterRing(emitterRecords);
    emitterBuffer = CreateBuffer(GL_ARRAY_BUFFER, kParticleBytes, emitterRecords.data(), GL_DYNAMIC_DRAW);
    SetParticlePointers();
}

bool PlanetEffect::BuildPrograms() {
    return planetProgram.Build("./Shaders/SphereEffect.vert", "./Shaders/PlanetEffect.frag") &&
           emitterProgram.Build("./Shaders/EmitterParticle.vert", "./Shaders/EmitterParticle.frag",
                                kSpriteGeometryShader) &&
           cloudProgram.Build("./Shaders/PlanetEffect.vert", "./Shaders/ParticleEffect.frag",
                              kSpriteGeometryShader);
}

void PlanetEffect::LookUpResources() {
    modelMatrixLocation = planetProgram.UniformLocation("ModelMatrix");
    emitterTexSamplerLocation = emitterProgram.UniformLocation("TexSampler");
    planetTexSamplerLocation = planetProgram.UniformLocation("TexSampler");
    emitterTexture = gRenderer->GetTexture("./Textures/Floater2.png", false);
    cloudTexture = gRenderer->GetTexture("./Textures/Floater.png", false);
    environmentTexture = gRenderer->GetTexture("./Textures/CubeMapTest3.jpg", true);
    lightPosLocation = planetProgram.UniformLocation("LightPos");
    waveLocation = emitterProgram.UniformLocation("Wave");
    normalMatrixLocation = planetProgram.UniformLocation("NormalMatrix");
    cloudTexSamplerLocation = cloudProgram.UniformLocation("TexSampler");
    cloudWaveLocation = cloudProgram.UniformLocation("Wave");
}

void PlanetEffect::Render(float time) {
    DrawPlanet(time);
    DrawEmitter(time);
    DrawCloud(time);
}

void PlanetEffect::DrawPlanet(float time) const {
    planetProgram.Bind(time);
    const float s = std::sin(time * 0.5f);
    glUniform3f(lightPosLocation, -400.0f * s, 400.0f * s, 200.0f);
    glUniform1i(planetTexSamplerLocation, 0);
    glBindSampler(0, cubeSampler);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, TextureName(environmentTexture));
    BindMeshBuffers(planetVertexBuffer, planetIndexBuffer);
    SetMeshPointers();

    Matrix4 model = Rotate(Matrix4(), 360.0f * time / PlanetSpinPeriod(SoundtrackBeat()), Vector3(0.0f, 1.0f, 0.0f));
    const float size = PlanetSize(SoundtrackBeat(), time);
    model = Scale(model, Vector3(size, size, size));
    const Matrix4 normal = Transpose(Inverse(model));
    glUniformMatrix4fv(modelMatrixLocation, 1, GL_FALSE, model.data());
    glUniformMatrix4fv(normalMatrixLocation, 1, GL_FALSE, normal.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(planetModel.indexCount), GL_UNSIGNED_INT, nullptr);

    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindSampler(0, 0);
}

void PlanetEffect::DrawEmitter(float time) {
    BindSprites(emitterProgram, time, emitterTexSamplerLocation, emitterTexture, emitterBuffer);
    const EmitterStage stage = WriteEmitterStage(SoundtrackBeat(), time, emitterRecords);
    glBufferSubData(GL_ARRAY_BUFFER, 0, kParticleBytes, emitterRecords.data());
    glUniform1f(waveLocation, stage.wave);
    DrawParticleSprites(stage.count);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void PlanetEffect::DrawCloud(float time) const {
    BindSprites(cloudProgram, time, cloudTexSamplerLocation, cloudTexture, cloudBuffer);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);
    glUniform1f(cloudWaveLocation, 0.0f);
    DrawParticleSprites(particleCount);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void PlanetEffect::BindSprites(const ShaderProgram& program, float time, GLint samplerLocation,
                               const ITexture* texture, GLuint buffer) const {
    program.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(samplerLocation, 0);
    glBindSampler(0, spriteSampler);
    glBindTexture(GL_TEXTURE_2D, TextureName(texture));
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    SetParticlePointers();
}

void PlanetEffect::Shutdown() {
    planetProgram.Destroy();
    emitterProgram.Destroy();
    cloudProgram.Destroy();
    emitterRecords = {};
    cloudRecords = {};
    ResetAll(spriteSampler, cubeSampler);
    ResetAll(planetVertexBuffer, planetIndexBuffer, emitterBuffer, cloudBuffer);
    vertexArray.Reset();
}

#include "effects/SphereMorph.h"

#include <algorithm>
#include <span>

#include "effects/MeshBuffers.h"
#include "effects/Sampler.h"
#include "render/IRenderer.h"

namespace {

constexpr size_t kParticleCount = 5000;
constexpr int kBackdropFloatsPerVertex = 8;
constexpr GLsizei kBackdropStride = kBackdropFloatsPerVertex * sizeof(float);

const void* ByteOffset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

std::span<float> VertexFloats(Model& model) { return {model.vertices.get(), model.floatCount}; }

// Position and texture coordinate out of position, normal, texture coordinate.
void SetBackdropPointers() {
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, kBackdropStride, ByteOffset(0));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_TRUE, kBackdropStride, ByteOffset(6 * sizeof(float)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
}

// Rewrites a whole dynamic vertex buffer from its processor-side copy.
void Upload(GLuint buffer, const std::vector<float>& floats) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(floats.size() * sizeof(float)), floats.data());
}

void BindTexture2D(const ITexture* texture) { glBindTexture(GL_TEXTURE_2D, TextureName(texture)); }

void SetAlphaBlending() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace

SphereMorph::SphereMorph() : IEffect("SphereMorph") {}

bool SphereMorph::Init() {
    vertexArray = GLVertexArray::Generate();
    glBindVertexArray(vertexArray);

    CreateParticles();
    CreateBackdrop();
    CreateSpikyBall();
    CreateSphere();
    glBindVertexArray(0);

    backdropSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, gRenderer->maxAnisotropy);
    particleSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, gRenderer->maxAnisotropy);

    if (!BuildPrograms())
        return false;
    LookUpLocations();

    backdropTexture = gRenderer->GetTexture("./Textures/testtex.png", false);
    spriteTexture = gRenderer->GetTexture("./Textures/Floater.png", false);
    return true;
}

void SphereMorph::CreateParticles() {
    particles.assign(kParticleCount, ParticleRecord{});
    FillParticleDisc(particles);
    particleBuffer = CreateBuffer(GL_ARRAY_BUFFER, particles.size() * sizeof(ParticleRecord), particles.data(),
                                  GL_STATIC_DRAW);
    SetParticlePointers();
}

void SphereMorph::CreateBackdrop() {
    LoadModel(backdropModel, "./Models/BackgroundTex.exm", VertexLayout::kPositionNormalTexture);
    std::span<float> floats = VertexFloats(backdropModel);
    for (size_t i = 0; i + kBackdropFloatsPerVertex <= floats.size(); i += kBackdropFloatsPerVertex) {
        floats[i] *= 50.0f;
        floats[i + 1] *= 35.0f;
        floats[i + 2] *= 50.0f;
    }
    backdropVertexBuffer = CreateBuffer(GL_ARRAY_BUFFER, floats.size_bytes(), floats.data(), GL_STATIC_DRAW);
    backdropIndexBuffer = CreateIndexBuffer(backdropModel);
}

void SphereMorph::CreateSpikyBall() {
    LoadModel(spikyBallModel, "./Models/Spineball.exm", VertexLayout::kPositionNormal);
    std::span<float> floats = VertexFloats(spikyBallModel);
    // Normals too: they reach the shader three times their length, and it normalises them.
    for (float& value : floats)
        value *= 3.0f;
    spikyBallUpload.assign(floats.begin(), floats.end());
    spikyBallVertexBuffer = CreateBuffer(GL_ARRAY_BUFFER, floats.size_bytes(), floats.data(), GL_DYNAMIC_DRAW);
    spikyBallIndexBuffer = CreateIndexBuffer(spikyBallModel);
}

void SphereMorph::CreateSphere() {
    LoadModel(sphereModel, "./Models/Sphere2.exm", VertexLayout::kPositionNormal);
    const std::span<float> floats = VertexFloats(sphereModel);
    sphereVertexBuffer = CreateBuffer(GL_ARRAY_BUFFER, floats.size_bytes(), floats.data(), GL_DYNAMIC_DRAW);
    sphereUpload.assign(floats.begin(), floats.end());
    sphereStates.assign(floats.size() / kMorphFloatsPerVertex, SphereVertexState{});
    BuildSphereStates(floats, sphereStates);

    sphereIndexBuffer = CreateIndexBuffer(sphereModel);
    // The states and the upload array carry everything the morph needs from here on.
    sphereModel.vertices.reset();
    sphereModel.indices.reset();
}

bool SphereMorph::BuildPrograms() {
    return sphereProgram.Build("./Shaders/SphereMorph.vert", "./Shaders/SphereMorph.frag") &&
           backdropProgram.Build("./Shaders/SphereMorphBG.vert", "./Shaders/SphereMorphBG.frag") &&
           particleProgram.Build("./Shaders/ParticleEffect.vert", "./Shaders/ParticleEffect.frag",
                                 kSpriteGeometryShader);
}

void SphereMorph::LookUpLocations() {
    sphereModelMatrixLocation = sphereProgram.UniformLocation("ModelMatrix");
    lightPosLocation = sphereProgram.UniformLocation("LightPos");
    sphereColorLocation = sphereProgram.UniformLocation("SphereColor");
    backdropModelMatrixLocation = backdropProgram.UniformLocation("ModelMatrix");
    backdropTexSamplerLocation = backdropProgram.UniformLocation("TexSampler");
    particleTexSamplerLocation = particleProgram.UniformLocation("TexSampler");
}

void SphereMorph::Render(float time) {
    sphereProgram.Bind(time);
    glUniformMatrix4fv(sphereModelMatrixLocation, 1, GL_FALSE, modelMatrix.data());
    glUniform3f(lightPosLocation, 100.0f, 100.0f, 100.0f);
    glUniform4f(sphereColorLocation, 0.0f, 0.4f, 0.9f, 1.0f);
    DrawSphere(time, 1.0f, 1.0f);

    SetAlphaBlending();
    glUniform4f(sphereColorLocation, 0.1f, 0.5f, 0.7f, 1.0f);
    DrawSpikyBall(time);
    glDisable(GL_BLEND);

    DrawBackdrop(time);

    // The shell goes last among the solids, so the sphere and the backdrop show through it.
    sphereProgram.Bind(time);
    SetAlphaBlending();
    glUniform4f(sphereColorLocation, 1.0f, 1.0f, 1.0f, 0.2f);
    DrawSphere(time, ShellGain(time), 2.5f);

    DrawParticles(time);
    SetAlphaBlending();
}

void SphereMorph::DrawSphere(float time, float gain, float scale) {
    MorphSphere(sphereStates, time, gain, scale, sphereUpload);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, sphereIndexBuffer);
    Upload(sphereVertexBuffer, sphereUpload);
    SetMeshPointers();
    DrawIndexed(sphereModel);
}

void SphereMorph::DrawSpikyBall(float time) {
    TwistSpikyBall(VertexFloats(spikyBallModel), time, spikyBallUpload);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, spikyBallIndexBuffer);
    Upload(spikyBallVertexBuffer, spikyBallUpload);
    SetMeshPointers();
    DrawIndexed(spikyBallModel);
}

void SphereMorph::DrawBackdrop(float time) const {
    backdropProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(backdropTexSamplerLocation, 0);
    glBindSampler(0, backdropSampler);
    BindTexture2D(backdropTexture);
    glUniformMatrix4fv(backdropModelMatrixLocation, 1, GL_FALSE, modelMatrix.data());

    BindMeshBuffers(backdropVertexBuffer, backdropIndexBuffer);
    SetBackdropPointers();
    DrawIndexed(backdropModel);

    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void SphereMorph::DrawParticles(float time) const {
    particleProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(particleTexSamplerLocation, 0);
    glBindSampler(0, particleSampler);
    BindTexture2D(spriteTexture);

    glBindBuffer(GL_ARRAY_BUFFER, particleBuffer);
    SetParticlePointers();
    glBlendFunc(GL_SRC_COLOR, GL_ONE);
    glEnable(GL_BLEND);
    DrawParticleSprites(static_cast<GLsizei>(particles.size()));

    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void SphereMorph::Shutdown() {
    sphereProgram.Destroy();
    backdropProgram.Destroy();
    particleProgram.Destroy();
    ResetAll(sphereVertexBuffer, sphereIndexBuffer, backdropVertexBuffer, backdropIndexBuffer, spikyBallVertexBuffer,
             spikyBallIndexBuffer, particleBuffer);
    ResetAll(particleSampler, backdropSampler);
    vertexArray.Reset();
    backdropModel.vertices.reset();
    backdropModel.indices.reset();
}

#include "effects/CubeTunnel.h"

#include <cmath>
#include <cstdint>

#include "effects/CubeTunnelMath.h"
#include "effects/ParticleCloud.h"
#include "effects/MeshBuffers.h"
#include "effects/Sampler.h"
#include "render/IRenderer.h"
#include "sync/Sync.h"

namespace {

void BindMesh(GLuint vertexBuffer, GLuint indexBuffer) {
    BindMeshBuffers(vertexBuffer, indexBuffer);
    SetMeshPointers();
}

void UnbindUnitZero(GLenum target) {
    glBindTexture(target, 0);
    glBindSampler(0, 0);
}

}  // namespace

CubeTunnel::CubeTunnel() : IEffect("Cube Tunnel") {}

bool CubeTunnel::Init() {
    vertexArray = GLVertexArray::Generate();
    glBindVertexArray(vertexArray);

    CreateParticles();
    UploadMesh(gemModel, "./Models/Gem.exm", VertexLayout::kPositionNormal, gemVertexBuffer, gemIndexBuffer);
    UploadMesh(backgroundModel, "./Models/WingBg.exm", VertexLayout::kPositionNormal, backgroundVertexBuffer, backgroundIndexBuffer);
    SetMeshPointers();
    glBindVertexArray(0);

    cubeSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, gRenderer->maxAnisotropy, true);
    spriteSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, gRenderer->maxAnisotropy);

    if (!BuildPrograms())
        return false;
    LookUpLocations();

    gemEnvironment = gRenderer->GetTexture("./Textures/CubeMapTest.jpg", true);
    spriteTexture = gRenderer->GetTexture("./Textures/Floater.png", false);
    backgroundEnvironment = gRenderer->GetTexture("./Textures/CubeMapTest3.jpg", true);
    return true;
}

void CubeTunnel::CreateParticles() {
    particles.assign(kTunnelParticleCount, ParticleRecord{});
    // The planet's box again, continuing the generator from where the planet's cloud left it.
    FillCloudBox(particles);
    particleBuffer = CreateBuffer(GL_ARRAY_BUFFER, particles.size() * sizeof(ParticleRecord), particles.data(),
                                  GL_DYNAMIC_DRAW);
    SetParticlePointers();
}

bool CubeTunnel::BuildPrograms() {
    return meshProgram.Build("./Shaders/SphereEffect.vert", "./Shaders/CubeTunnel.frag") &&
           particleProgram.Build("./Shaders/CubeTunnelParticle.vert", "./Shaders/ParticleEffect.frag",
                                 kSpriteGeometryShader);
}

void CubeTunnel::LookUpLocations() {
    modelMatrixLocation = meshProgram.UniformLocation("ModelMatrix");
    lightPosLocation = meshProgram.UniformLocation("LightPos");
    normalMatrixLocation = meshProgram.UniformLocation("NormalMatrix");
    meshTexSamplerLocation = meshProgram.UniformLocation("TexSampler");
    particleTexSamplerLocation = particleProgram.UniformLocation("TexSampler");
    diffuseColorLocation = meshProgram.UniformLocation("DiffuseColor");
    reflectivityLocation = meshProgram.UniformLocation("Reflectivity");
}

void CubeTunnel::Render(float time) { RenderAtBeat(time, SoundtrackBeat()); }

void CubeTunnel::RenderAtBeat(float time, float beat) {
    BindMeshPass(time, gemEnvironment);
    DrawGems(time, beat);
    UnbindUnitZero(GL_TEXTURE_CUBE_MAP);

    BindMeshPass(time, backgroundEnvironment);
    DrawBackground(time);
    UnbindUnitZero(GL_TEXTURE_CUBE_MAP);

    DrawParticles(time);
}

void CubeTunnel::BindMeshPass(float time, const ITexture* environment) const {
    meshProgram.Bind(time);
    const float swing = std::sin(time * 0.5f);
    glUniform3f(lightPosLocation, -400.0f * swing, 400.0f * swing, 200.0f);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(meshTexSamplerLocation, 0);
    glBindSampler(0, cubeSampler);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment ? environment->name : 0);
}

void CubeTunnel::DrawGems(float time, float beat) const {
    BindMesh(gemVertexBuffer, gemIndexBuffer);
    ForEachGem(time, beat, [this](const Matrix4& model, const Matrix4& normalMatrix, const GemLook& look) {
        glUniform3f(diffuseColorLocation, look.diffuseColor.x, look.diffuseColor.y, look.diffuseColor.z);
        glUniform1f(reflectivityLocation, look.reflectivity);
        glUniformMatrix4fv(modelMatrixLocation, 1, GL_FALSE, model.data());
        glUniformMatrix4fv(normalMatrixLocation, 1, GL_FALSE, normalMatrix.data());
        DrawIndexed(gemModel);
    });
}

void CubeTunnel::DrawBackground(float time) const {
    const Matrix4 model = BackgroundMatrix(time);
    const Matrix4 normalMatrix = Transpose(Inverse(model));
    BindMesh(backgroundVertexBuffer, backgroundIndexBuffer);
    glUniform3f(diffuseColorLocation, 0.285f, 0.235f, 0.37f);
    glUniform1f(reflectivityLocation, 0.5f);
    glUniformMatrix4fv(modelMatrixLocation, 1, GL_FALSE, model.data());
    glUniformMatrix4fv(normalMatrixLocation, 1, GL_FALSE, normalMatrix.data());
    DrawIndexed(backgroundModel);
}

void CubeTunnel::DrawParticles(float time) const {
    particleProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(particleTexSamplerLocation, 0);
    glBindSampler(0, spriteSampler);
    glBindTexture(GL_TEXTURE_2D, spriteTexture ? spriteTexture->name : 0);

    glBindBuffer(GL_ARRAY_BUFFER, particleBuffer);
    SetParticlePointers();
    // An effect shown before may have left blending off; additive sprites need it on.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);
    DrawParticleSprites(static_cast<GLsizei>(particles.size()));
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    UnbindUnitZero(GL_TEXTURE_2D);
}

void CubeTunnel::Shutdown() {
    meshProgram.Destroy();
    particleProgram.Destroy();
    ResetAll(cubeSampler, spriteSampler);
    ResetAll(backgroundVertexBuffer, backgroundIndexBuffer, gemVertexBuffer, gemIndexBuffer, particleBuffer);
    vertexArray.Reset();
}

#include "effects/Greetings.h"

#include <cmath>

#include "effects/GreetingsMath.h"
#include "effects/GreetingsSchedule.h"
#include "effects/MeshBuffers.h"
#include "effects/Sampler.h"
#include "math/Matrix4.h"
#include "render/IRenderer.h"
#include "sync/Sync.h"

static_assert(kGreetingMomentCount == 2 * kGreetingImageCount, "every greeting image has two moments");

namespace {

constexpr size_t kParticleCount = 5000;

void UploadMatrices(GLint modelLocation, GLint normalLocation, const Matrix4& model, const Matrix4& normal) {
    glUniformMatrix4fv(modelLocation, 1, GL_FALSE, model.data());
    glUniformMatrix4fv(normalLocation, 1, GL_FALSE, normal.data());
}

// Additive sprites sum the same in any order, so they leave the depth buffer alone: a faint
// sprite near the eye would otherwise cut a dark hole into the bright ones behind it.
void DrawAdditivePoints(GLsizei count) {
    glBlendFunc(GL_SRC_COLOR, GL_ONE);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    DrawParticleSprites(count);
    glDepthMask(GL_TRUE);
}

}  // namespace

Greetings::Greetings() : IEffect("Greetings Effect") {}

bool Greetings::Init() {
    vertexArray = GLVertexArray::Generate();
    glBindVertexArray(vertexArray);
    CreateOverlay();
    CreateParticles();
    CreateCylinder();
    CreateLogo();
    glBindVertexArray(0);

    CreateSamplers();
    if (!BuildPrograms())
        return false;
    LookUpLocations();
    RequestTextures();
    return true;
}

void Greetings::CreateOverlay() {
    const ParticleRecord centre{0.0f, 0.0f, 0.0f, 1.0f};
    overlayBuffer = CreateBuffer(GL_ARRAY_BUFFER, sizeof centre, &centre, GL_DYNAMIC_DRAW);
    SetParticlePointers();
}

void Greetings::CreateParticles() {
    particles.assign(kParticleCount, ParticleRecord{});
    FillGreetingsCloud(particles);
    particleBuffer = CreateBuffer(GL_ARRAY_BUFFER, particles.size() * sizeof(ParticleRecord), particles.data(),
                                  GL_STATIC_DRAW);
    SetParticlePointers();
}

void Greetings::CreateCylinder() {
    LoadModel(cylinderModel, "./Models/7sidecylinder.exm", VertexLayout::kPositionNormalTexture);
    cylinderVertexBuffer = CreateVertexBuffer(cylinderModel);
    SetTexturedMeshPointers();
    cylinderIndexBuffer = CreateIndexBuffer(cylinderModel);
}

void Greetings::CreateLogo() {
    UploadMesh(logoModel, "./Models/kav.exm", VertexLayout::kPositionNormal, logoVertexBuffer, logoIndexBuffer);
    SetMeshPointers();
}

void Greetings::CreateSamplers() {
    const float anisotropy = gRenderer->maxAnisotropy;
    cylinderSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, anisotropy);
    cylinderCubeSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, anisotropy, true);
    overlaySampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, anisotropy);
    logoSampler = CreateSampler(GL_LINEAR_MIPMAP_LINEAR, anisotropy, true);
}

bool Greetings::BuildPrograms() {
    return cylinderProgram.Build("./Shaders/greetings.vert", "./Shaders/greetings.frag") &&
           particleProgram.Build("./Shaders/KavQuadParticle.vert", "./Shaders/ParticleEffect.frag",
                                 kSpriteGeometryShader) &&
           overlayProgram.Build("./Shaders/Greetings2d.vert", "./Shaders/ParticleEffect.frag",
                                kSpriteGeometryShader) &&
           logoProgram.Build("./Shaders/SphereEffect.vert", "./Shaders/KavLogoShader.frag");
}

void Greetings::LookUpLocations() {
    cylinderModelMatrixLocation = cylinderProgram.UniformLocation("ModelMatrix");
    cylinderLightPosLocation = cylinderProgram.UniformLocation("LightPos");
    logoLightPosLocation = logoProgram.UniformLocation("LightPos");
    hexColorLocation = cylinderProgram.UniformLocation("HexColor");
    logoModelMatrixLocation = logoProgram.UniformLocation("ModelMatrix");
    logoNormalMatrixLocation = logoProgram.UniformLocation("NormalMatrix");
    cylinderNormalMatrixLocation = cylinderProgram.UniformLocation("NormalMatrix");
    cylinderTexSamplerLocation = cylinderProgram.UniformLocation("TexSampler");
    cylinderTexSampler2Location = cylinderProgram.UniformLocation("TexSampler2");
    particleTexSamplerLocation = particleProgram.UniformLocation("TexSampler");
    overlayTexSamplerLocation = overlayProgram.UniformLocation("TexSampler");
    logoTexSamplerLocation = logoProgram.UniformLocation("TexSampler");
    projectLocation = overlayProgram.UniformLocation("Project");
}

void Greetings::RequestTextures() {
    cylinderTexture = gRenderer->GetTexture("./Textures/pyramidtex.png", false);
    quadSpriteTexture = gRenderer->GetTexture("./Textures/QuadFloater.png", false);
    logoEnvironmentTexture = gRenderer->GetTexture("./Textures/CubeMapTest.jpg", true);
    cylinderEnvironmentTexture = gRenderer->GetTexture("./Textures/CubeMapTest3.jpg", true);
    for (int i = 0; i < kGreetingImageCount; ++i)
        greetingImages[i] = gRenderer->GetTexture(kGreetingImagePaths[i], false);
    spriteTexture = gRenderer->GetTexture("./Textures/Floater.png", false);
    creditsTexture = gRenderer->GetTexture("./Textures/Credits.png", false);
}

void Greetings::Render(float time) {
    const float beatAtStart = SoundtrackBeat();
    DrawTube(time, beatAtStart);
    const float beatAtLogo = SoundtrackBeat();
    DrawLogo(time, beatAtLogo);
    DrawParticles(time);
    DrawOverlay(time, PhasesAt(time).spin, beatAtStart, beatAtLogo);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void Greetings::DrawTube(float time, float beatAtStart) const {
    cylinderProgram.Bind(time);
    glUniform3f(cylinderLightPosLocation, 100.0f, 100.0f, 100.0f);
    BindMeshBuffers(cylinderVertexBuffer, cylinderIndexBuffer);
    SetTexturedMeshPointers();
    glUniform1i(cylinderTexSamplerLocation, 0);
    glUniform1i(cylinderTexSampler2Location, 1);
    glBindSampler(0, cylinderSampler);
    glBindSampler(1, cylinderCubeSampler);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, TextureName(cylinderTexture));
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_CUBE_MAP, TextureName(cylinderEnvironmentTexture));

    glDisable(GL_BLEND);
    ForEachCylinder(time, BeatPulse(beatAtStart, time),
                    [this](const Matrix4& model, const Matrix4& normal, const Vector4& color) {
                        UploadMatrices(cylinderModelMatrixLocation, cylinderNormalMatrixLocation, model, normal);
                        glUniform4f(hexColorLocation, color.x, color.y, color.z, color.w);
                        DrawIndexed(cylinderModel);
                    });

    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindSampler(0, 0);
    glBindSampler(1, 0);
    glDisableVertexAttribArray(2);  // the texture coordinate belongs to the cylinders alone
}

void Greetings::DrawLogo(float time, float beatAtLogo) const {
    logoProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(logoTexSamplerLocation, 0);
    glBindSampler(0, logoSampler);
    glBindTexture(GL_TEXTURE_CUBE_MAP, TextureName(logoEnvironmentTexture));

    Matrix4 model = Translate(Matrix4(), Vector3(-2.5f, -8.0f, -15.0f));
    model = Translate(model, Vector3(0.0f, LogoRise(beatAtLogo), 0.0f));
    model = Rotate(model, 180.0f, Vector3(0.0f, 1.0f, 0.0f));
    UploadMatrices(logoModelMatrixLocation, logoNormalMatrixLocation, model, Transpose(Inverse(model)));
    const float s = std::sin(time * 0.5f);
    glUniform3f(logoLightPosLocation, -400.0f * s, 400.0f * s, 200.0f);

    BindMeshBuffers(logoVertexBuffer, logoIndexBuffer);
    SetMeshPointers();
    if (ShowsLogo(beatAtLogo))
        DrawIndexed(logoModel);

    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindSampler(0, 0);
}

void Greetings::DrawParticles(float time) const {
    particleProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(particleTexSamplerLocation, 0);
    // The textures carry no filtering of their own; the overlay's sampler suits the sprites too.
    glBindSampler(0, overlaySampler);
    glBindTexture(GL_TEXTURE_2D, TextureName(spriteTexture));

    glBindBuffer(GL_ARRAY_BUFFER, particleBuffer);
    SetParticlePointers();
    DrawAdditivePoints(static_cast<GLsizei>(particles.size()));

    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

void Greetings::DrawOverlay(float time, double spin, float beatAtStart, float beatAtLogo) const {
    overlayProgram.Bind(time);
    glActiveTexture(GL_TEXTURE0);
    glUniform1i(overlayTexSamplerLocation, 0);
    glBindSampler(0, overlaySampler);
    glBindBuffer(GL_ARRAY_BUFFER, overlayBuffer);
    SetParticlePointers();
    glBindTexture(GL_TEXTURE_2D, TextureName(OverlayImage(beatAtStart, beatAtLogo)));

    // Before the credits this takes the two draws that follow the tube's, the same every frame.
    const ParticleRecord record = OverlayRecord(beatAtLogo, spin);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof record, &record);
    glUniform1f(projectLocation, 0.0f);
    DrawAdditivePoints(1);

    glBindTexture(GL_TEXTURE_2D, 0);
    glBindSampler(0, 0);
}

const ITexture* Greetings::OverlayImage(float beatAtStart, float beatAtLogo) const {
    if (ShowsCredits(beatAtLogo))
        return creditsTexture;
    const int image = GreetingImageAt(beatAtStart);
    return image >= 0 ? greetingImages[image] : nullptr;
}

void Greetings::Shutdown() {
    cylinderProgram.Destroy();
    particleProgram.Destroy();
    logoProgram.Destroy();
    overlayProgram.Destroy();
    ResetAll(cylinderSampler, cylinderCubeSampler, logoSampler, overlaySampler);
    ResetAll(cylinderVertexBuffer, cylinderIndexBuffer, particleBuffer, overlayBuffer, logoVertexBuffer,
             logoIndexBuffer);
    vertexArray.Reset();
    cylinderModel.vertices.reset();
    cylinderModel.indices.reset();
}

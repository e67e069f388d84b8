#include "render/GLRenderer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "formats/CubeMapCross.h"
#include "formats/DecodedImage.h"
#include "log/ILogger.h"
#include "log/StartupObserver.h"
#include "render/GLTexture.h"
#include "resources/Resources.h"

namespace {

constexpr const char* kMissingTextureKey = "MissingTexture.png";
constexpr const char* kMissingCubeMapKey = "MissingCubeMap.png";
constexpr const char* kCameraTrackNames[] = {
    "Camera Distance", "Camera Pitch", "Camera Yaw", "Camera Roll", "Camera X Offset", "Camera Y Offset",
};
constexpr float kFieldOfView = 60.0f;
constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 1000.0f;

void WriteNumber(const char* label, long value) {
    char text[24] = {};
    std::to_chars(text, text + sizeof text - 1, value);
    gLogger->WritePair(label, text);
}

DecodedImage DecodeMissingTextureResource() {
    const ResourceBlock block = FindProgramResource(kPngResourceType, kMissingTextureResourceId);
    return DecodeImageMemory(block.bytes, block.size);
}

// Generates a cube map and uploads the six faces that `fillFace(face, rgba)` writes. Faces that
// are not square cannot be uploaded; the texture then stays without images.
template <typename FillFace>
GLuint UploadCubeMap(CubeFaceSize size, FillFace fillFace) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    if (size.width > 0 && size.width == size.height) {
        std::vector<uint8_t> face(static_cast<size_t>(size.width) * size.height * 4);
        for (int i = 0; i < kCubeFaceCount; ++i) {
            fillFace(i, face.data());
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_RGBA, size.width, size.height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, face.data());
        }
        glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    return name;
}

}  // namespace

bool GLRenderer::Init(platform::WindowHandle window, int sampleCount) {
    if (!CreateGLContext(sampleCount, context, window)) {
        gLogger->Error("Failed to initialize OpenGL Context!");
        return false;
    }
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    width = static_cast<float>(viewport[0] + viewport[2]);
    height = static_cast<float>(viewport[1] + viewport[3]);
    picture = PictureRect{0, 0, static_cast<int>(width), static_cast<int>(height)};
    if (letterbox) PlacePicture(static_cast<int>(width), static_cast<int>(height));
    multisampled = sampleCount >= 1;
    if (multisampled)
        glEnable(GL_MULTISAMPLE);
    else
        glDisable(GL_MULTISAMPLE);

    for (int i = 0; i < kCameraTrackCount; ++i)
        cameraTracks[i] = RequestTrack(kCameraTrackNames[i]);
    SetFixedState();
    LogMultisampling();
    QueryAnisotropy();
    QueryMaxImageSide();
    UpdateProjection();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    // Effects use whatever GetTexture returns without a test, so the fallback must exist.
    LoadMissingTexture();
    if (!missingTexture) {
        gLogger->Error("Failed to load the built-in missing texture!");
        return false;
    }
    return !previewAvailable || preview.Init(static_cast<int>(width), static_cast<int>(height));
}

bool GLRenderer::SetPreview(bool on) {
    if (!preview.Ready())
        return false;
    if (on == previewOn)
        return true;
    previewOn = on;
    if (on) {
        fullAnisotropy = maxAnisotropy;
        width = static_cast<float>(preview.Width());
        height = static_cast<float>(preview.Height());
        maxAnisotropy = 1.0f;
        glDisable(GL_MULTISAMPLE);
        glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    } else {
        width = static_cast<float>(picture.width);
        height = static_cast<float>(picture.height);
        maxAnisotropy = fullAnisotropy;
        if (multisampled)
            glEnable(GL_MULTISAMPLE);
        glViewport(picture.x, picture.y, picture.width, picture.height);
    }
    UpdateProjection();
    return true;
}

void GLRenderer::SetFixedState() const {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glHint(GL_TEXTURE_COMPRESSION_HINT, GL_NICEST);
    glHint(GL_FRAGMENT_SHADER_DERIVATIVE_HINT, GL_NICEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
}

void GLRenderer::LogMultisampling() const {
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    if (sampleBuffers < 1) {
        gLogger->Write("Multisampling Disabled");
        return;
    }
    gLogger->Write("Multisampling Enabled");
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    WriteNumber("Multisampling Buffers: ", samples);
}

// A driver without anisotropic filtering reports no level at all: 0, which the samplers take
// as "do not set it", since the parameter itself would be an invalid enum there.
void GLRenderer::QueryAnisotropy() {
    maxAnisotropy = 0.0f;
    if (GLEW_EXT_texture_filter_anisotropic || GLEW_ARB_texture_filter_anisotropic)
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    if (anisotropyCap > 0.0f && maxAnisotropy > anisotropyCap) maxAnisotropy = anisotropyCap;
    WriteNumber("Anisotropic Filtering Level: ", static_cast<long>(maxAnisotropy));
}

void GLRenderer::QueryMaxImageSide() {
    GLint driverMaximum = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &driverMaximum);
    maxImageSide = std::min<int>(driverMaximum, kMaxImageSide);
}

// A minimised window reports a height of 0; the last projection is kept rather than divided by 0.
void GLRenderer::UpdateProjection() {
    if (height > 0.0f)
        projection = Perspective(kFieldOfView, width / height, kNearPlane, kFarPlane);
}

void GLRenderer::Shutdown() {
    for (auto& [path, texture] : textureCache) {
        gLogger->WritePair("Deleting Texture: ", path.c_str());
        DeleteTexture(texture.get());
        texture.reset();
    }
    textureCache.clear();
    failedImages.clear();
    missingTexture = nullptr;
    missingCubeMap = nullptr;
    for (TrackHandle& track : cameraTracks)
        track.reset();
    if (context.glContext)
        preview.Shutdown();
    ReleaseGLContext(context);
}

void GLRenderer::RenderFrame(IEffect& effect) {
    AdvanceFrame(effect);
    DrawFrame(effect);
    platform::SwapBuffers(context.deviceContext);
}

void GLRenderer::DrawFrame(IEffect& effect) {
    if (previewOn)
        preview.Begin();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glBindVertexArray(effect.vertexArray);
    if (postProcessor)
        postProcessor->Begin();
    effect.Render(effect.time);
    if (postProcessor)
        postProcessor->Apply(effect.time);
    glBindVertexArray(0);
    if (previewOn)
        preview.Present(picture);
}

// Clearing, binding and Begin read no clock, so advancing ahead of them changes nothing drawn.
void GLRenderer::AdvanceFrame(IEffect& effect) {
    const float beat = SoundtrackBeat();
    const float delta = beat - lastBeat;
    lastBeat = beat;
    UpdateCamera();
    effect.time += delta;
}

float GLRenderer::CameraTrackValue(CameraTrack track, int32_t row) const {
    return GetValue(cameraTracks[track] ? *cameraTracks[track] : nullptr, row);
}

void GLRenderer::UpdateCamera() {
    const int32_t row = gSync ? CurrentRow(*gSync) : 0;
    camera.distance = CameraTrackValue(kDistance, row);
    camera.xOffset = CameraTrackValue(kXOffset, row);
    camera.yOffset = CameraTrackValue(kYOffset, row);
    camera.pitch = CameraTrackValue(kPitch, row);
    camera.yaw = CameraTrackValue(kYaw, row);
    camera.roll = CameraTrackValue(kRoll, row);
}

// In preview the frame keeps its size until the next switch; only the picture's scale follows.
void GLRenderer::Resize(int newHeight, int newWidth) {
    if (letterbox) {
        PlacePicture(newWidth, newHeight);
        return;
    }
    if (previewOn) {
        picture = PictureRect{0, 0, newWidth, newHeight};
        return;
    }
    if (static_cast<float>(newHeight) == height && static_cast<float>(newWidth) == width)
        return;
    glViewport(0, 0, newWidth, newHeight);
    width = static_cast<float>(newWidth);
    height = static_cast<float>(newHeight);
    picture = PictureRect{0, 0, newWidth, newHeight};
    UpdateProjection();
}

// A minimised window keeps the last picture: there is nothing to draw into. The clear of each
// frame covers the whole window, so the bars stay black; the post processors see the new size at
// their next frame.
void GLRenderer::PlacePicture(int windowWidth, int windowHeight) {
    const PictureRect placed = FitPicture(windowWidth, windowHeight);
    if (placed.width == 0) return;
    picture = placed;
    if (previewOn) return;
    glViewport(picture.x, picture.y, picture.width, picture.height);
    width = static_cast<float>(picture.width);
    height = static_cast<float>(picture.height);
    UpdateProjection();
}

ITexture* GLRenderer::GetTexture(const char* path, bool cubeMap) {
    if (!path)
        return missingTexture;
    if (const auto found = textureCache.find(std::string_view(path)); found != textureCache.end())
        return found->second.get();

    if (const auto failed = failedImages.find(std::string_view(path)); failed != failedImages.end())
        return RefuseImage(path, failed->second, cubeMap);

    const StartupScope load(StartupEvent::kTexture, path);
    const DecodedImage image = DecodeImageFile(path, maxImageSide);
    if (!image)
        return RefuseImage(path, "Returned A Missing Texture! Unable To Load File: ", cubeMap);
    if (cubeMap && !HasSquareFaces(image.width, image.height))
        return RefuseImage(path, "ERROR: Cube Map Image Is Not A Cross Of Square Faces: ", cubeMap);
    gLogger->WritePair(cubeMap ? "Creating Cube Map Texture: " : "Creating Texture: ", path);
    ITexture* texture = cubeMap ? CreateCubeMapTexture(image.pixels.get(), image.height, image.width)
                                : CreateTexture(image.pixels.get(), image.height, image.width);
    CacheTexture(path, texture);
    return texture;
}

// A failed file is remembered for the run and never decoded again (a damaged image can cost
// seconds), but every request still logs why it gets the fallback.
ITexture* GLRenderer::RefuseImage(const char* path, const char* reason, bool cubeMap) {
    gLogger->WritePair(reason, path);
    failedImages.try_emplace(path, reason);
    return cubeMap ? MissingCubeMap() : missingTexture;
}

void GLRenderer::CacheTexture(const char* key, ITexture* texture) {
    textureCache.emplace(key, std::unique_ptr<ITexture>(texture));
}

void GLRenderer::LoadMissingTexture() {
    if (missingTexture)
        return;
    const DecodedImage image = DecodeMissingTextureResource();
    if (!image)
        return;
    gLogger->WritePair("Creating Texture: ", kMissingTextureKey);
    missingTexture = CreateTexture(image.pixels.get(), image.height, image.width);
    CacheTexture(kMissingTextureKey, missingTexture);
}

// Made on the first failed cube-map request: the fallback picture on all six faces.
ITexture* GLRenderer::MissingCubeMap() {
    if (missingCubeMap)
        return missingCubeMap;
    const DecodedImage image = DecodeMissingTextureResource();
    if (!image)
        return missingTexture;
    gLogger->WritePair("Creating Cube Map Texture: ", kMissingCubeMapKey);
    const size_t bytes = static_cast<size_t>(image.width) * image.height * 4;
    const GLuint name = UploadCubeMap({image.width, image.height},
                                      [&](int, uint8_t* face) { std::memcpy(face, image.pixels.get(), bytes); });
    missingCubeMap = new GLTexture(image.height, image.width, name, GL_RGBA);
    CacheTexture(kMissingCubeMapKey, missingCubeMap);
    return missingCubeMap;
}

ITexture* GLRenderer::CreateTexture(const uint8_t* pixels, int textureHeight, int textureWidth) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureWidth, textureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    return new GLTexture(textureHeight, textureWidth, name, GL_RGBA);
}

ITexture* GLRenderer::CreateCubeMapTexture(const uint8_t* pixels, int crossHeight, int crossWidth) {
    const GLuint name = UploadCubeMap(CubeFaceSizeOf(crossWidth, crossHeight), [&](int face, uint8_t* out) {
        ExtractCubeFace(pixels, crossWidth, crossHeight, face, out);
    });
    return new GLTexture(crossHeight, crossWidth, name, GL_RGBA);
}

void GLRenderer::DeleteTexture(ITexture* texture) {
    if (texture)
        glDeleteTextures(1, &texture->name);
}

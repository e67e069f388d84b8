#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>

#include "formats/DecodedImage.h"
#include "math/Matrix4.h"
#include "render/Camera.h"
#include "render/GLContext.h"
#include "render/IRenderer.h"
#include "render/ITexture.h"
#include "render/PictureRect.h"
#include "render/PreviewTarget.h"
#include "sync/Sync.h"

class GLRenderer : public IRenderer {
public:
    bool Init(platform::WindowHandle window, int sampleCount) override;
    void Shutdown() override;
    void RenderFrame(IEffect& effect) override;
    ITexture* GetTexture(const char* path, bool cubeMap) override;
    Camera* GetCamera() override { return &camera; }
    const Matrix4* GetProjectionMatrix() override { return &projection; }
    void Resize(int height, int width) override;
    void LoadMissingTexture() override;
    ITexture* CreateTexture(const uint8_t* pixels, int height, int width) override;
    ITexture* CreateCubeMapTexture(const uint8_t* pixels, int height, int width) override;
    void DeleteTexture(ITexture* texture) override;
    // RenderFrame runs it too, so a skipped frame leaves the state a drawn one would.
    void AdvanceFrame(IEffect& effect) override;
    // The rest of RenderFrame but the swap: `effect` drawn at its time into the back buffer,
    // wrapped in the current post processor.
    void DrawFrame(IEffect& effect);
    void Rewind() override { lastBeat = 0.0f; }

    // Set before Init to lower maxAnisotropy below the driver's own maximum; 0 leaves it alone.
    float anisotropyCap = 0.0f;
    // Set before Init to make the preview quality available (author mode).
    bool previewAvailable = false;
    // Set before Init to draw the 16:9 picture inside any window, at the size it gets there,
    // black bars around it; otherwise the picture fills the window, whatever its shape.
    bool letterbox = false;

    // Preview quality: width and height become half the window's, maxAnisotropy 1, and the frame
    // is drawn without multisampling, then scaled up to the window. The demo must be restarted
    // after a switch, since its targets and samplers take their size and anisotropy at Init.
    // False when the preview is not available.
    bool SetPreview(bool on);
    bool InPreview() const { return previewOn; }

private:
    enum CameraTrack { kDistance, kPitch, kYaw, kRoll, kXOffset, kYOffset, kCameraTrackCount };

    void SetFixedState() const;
    void LogMultisampling() const;
    void QueryAnisotropy();
    void QueryMaxImageSide();
    void UpdateProjection();
    void PlacePicture(int windowWidth, int windowHeight);
    void UpdateCamera();
    float CameraTrackValue(CameraTrack track, int32_t row) const;
    ITexture* MissingCubeMap();
    void CacheTexture(const char* key, ITexture* texture);
    ITexture* RefuseImage(const char* path, const char* reason, bool cubeMap);

    // Keyed by text; std::less<> finds a const char* without building a string.
    std::map<std::string, std::unique_ptr<ITexture>, std::less<>> textureCache;
    // Paths that failed to load, with the log label each request for them repeats.
    std::map<std::string, const char*, std::less<>> failedImages;
    // The driver's GL_MAX_TEXTURE_SIZE, capped at kMaxImageSide.
    int maxImageSide = kMaxImageSide;
    ITexture* missingTexture = nullptr;
    // A cube-map request that fails gets this, never the 2D fallback: binding a 2D texture
    // to GL_TEXTURE_CUBE_MAP is an error.
    ITexture* missingCubeMap = nullptr;
    Camera camera;
    std::array<TrackHandle, kCameraTrackCount> cameraTracks;
    float lastBeat = 0.0f;
    ContextHandles context;
    Matrix4 projection;
    PreviewTarget preview;
    bool previewOn = false;
    bool multisampled = false;
    float fullAnisotropy = 0.0f;
    // Where the frame goes in the window; in preview the half-size frame is scaled up to it.
    PictureRect picture;
};

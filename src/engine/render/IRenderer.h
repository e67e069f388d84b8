#pragma once
// The renderer: the OpenGL context, the global drawing state, the camera, the projection and
// the texture cache. Reached everywhere through gRenderer.

#include <cstdint>

#include "platform/Platform.h"

class IEffect;
class IPostProcessor;
class ITexture;
class Matrix4;
struct Camera;

class IRenderer {
public:
    virtual ~IRenderer() = default;

    virtual bool Init(platform::WindowHandle window, int sampleCount) = 0;
    virtual void Shutdown() = 0;
    // Draws and presents one frame of `effect`, advancing its time by the beats played since
    // the previous frame, wrapped in the current post processor if there is one.
    virtual void RenderFrame(IEffect& effect) = 0;
    // The texture for the path, loaded on first request; the fallback when it cannot be loaded.
    virtual ITexture* GetTexture(const char* path, bool cubeMap) = 0;
    virtual Camera* GetCamera() = 0;
    virtual const Matrix4* GetProjectionMatrix() = 0;
    virtual void Resize(int height, int width) = 0;
    virtual void LoadMissingTexture() = 0;
    virtual ITexture* CreateTexture(const uint8_t* pixels, int height, int width) = 0;
    // `pixels` is a vertical cross, 3 faces wide and 4 tall.
    virtual ITexture* CreateCubeMapTexture(const uint8_t* pixels, int height, int width) = 0;
    // Deletes the GL texture only; the object stays.
    virtual void DeleteTexture(ITexture* texture) = 0;
    // Everything RenderFrame does to the clocks and the camera, without drawing or presenting,
    // for whoever steps frames it does not show.
    virtual void AdvanceFrame(IEffect& effect) = 0;
    // Forgets the previous frame's beat, as at start-up, for whoever replays frames from the start.
    virtual void Rewind() = 0;

    // Set by the demo before each RenderFrame; null draws straight into the window.
    IPostProcessor* postProcessor = nullptr;
    float width = 0.0f;  // window size in pixels as seen by GL
    float height = 0.0f;
    // What effects put into GL_TEXTURE_MAX_ANISOTROPY_EXT on their samplers.
    float maxAnisotropy = 0.0f;
};

// Set by the engine once the renderer's Init has succeeded.
extern IRenderer* gRenderer;

#pragma once
// Stand-ins for the demo's collaborators: effects and post processors that record their calls,
// and a renderer that records each frame instead of drawing it.

#include <string>
#include <vector>

#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "render/IRenderer.h"

// One shared, ordered record of the calls the fakes received, e.g. "Init A", "Shutdown Bloom".
using CallJournal = std::vector<std::string>;

class FakeEffect : public IEffect {
public:
    FakeEffect(const char* displayName, CallJournal& journal, bool initSucceeds = true);

    bool Init() override;
    void Render(float time) override;
    void Shutdown() override;

private:
    std::string label;
    CallJournal& journal;
    bool initSucceeds;
};

class FakePostProcessor : public IPostProcessor {
public:
    FakePostProcessor(const char* displayName, CallJournal& journal, bool initSucceeds = true);

    bool Init() override;
    void Begin() override {}
    void Apply(float) override {}
    void Shutdown() override;

private:
    std::string label;
    CallJournal& journal;
    bool initSucceeds;
};

// Advances the effect's clock like the real renderer would, by a fixed number of beats a frame.
class FakeRenderer : public IRenderer {
public:
    struct Frame {
        const IEffect* effect;
        const IPostProcessor* postProcessor;
        float time;  // the effect time its Render would get
    };

    bool Init(platform::WindowHandle, int) override { return true; }
    void Shutdown() override {}
    void RenderFrame(IEffect& effect) override;
    ITexture* GetTexture(const char*, bool) override { return nullptr; }
    Camera* GetCamera() override { return nullptr; }
    const Matrix4* GetProjectionMatrix() override { return nullptr; }
    void Resize(int, int) override {}
    void LoadMissingTexture() override {}
    ITexture* CreateTexture(const uint8_t*, int, int) override { return nullptr; }
    ITexture* CreateCubeMapTexture(const uint8_t*, int, int) override { return nullptr; }
    void DeleteTexture(ITexture*) override {}
    void AdvanceFrame(IEffect& effect) override { effect.time += beatsPerFrame; }
    void Rewind() override {}

    float beatsPerFrame = 0.0f;
    std::vector<Frame> frames;
};

#pragma once
// An image pass around the scene: Begin redirects drawing into the pass's own target before
// the effect renders; Apply produces the final image in the window's framebuffer afterwards.

class IPostProcessor {
public:
    virtual ~IPostProcessor() = default;  // the demo owns its post processors through this interface

    virtual bool Init() = 0;
    virtual void Begin() = 0;
    virtual void Apply(float time) = 0;
    // Also called after a failed Init, so it must cope with a partial one.
    virtual void Shutdown() = 0;

    const char* name = nullptr;

protected:
    explicit IPostProcessor(const char* displayName) : name(displayName) {}
};

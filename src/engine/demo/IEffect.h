#pragma once
// One scene. The renderer binds `vertexArray`, advances `time` (in beats) while the effect is
// selected, and calls Render with the advanced time; the demo calls Init and Shutdown.

#include "render/GLObject.h"

class IEffect {
public:
    virtual ~IEffect() = default;  // the demo owns its effects through this interface

    // False when something could not be created; the failing part has logged why.
    virtual bool Init() = 0;
    virtual void Render(float time) = 0;
    // Also called after a failed Init, so it must cope with a partial one.
    virtual void Shutdown() = 0;

    GLVertexArray vertexArray;  // made by Init, released by Shutdown
    const char* name = nullptr;
    float time = 0.0f;

protected:
    explicit IEffect(const char* displayName) : name(displayName) {}
};

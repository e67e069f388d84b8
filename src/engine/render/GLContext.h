#pragma once
// The demo window's pixel format and its OpenGL 3.3 context.

#include "platform/Platform.h"

struct ContextHandles {
    platform::WindowHandle window;
    platform::DeviceContext deviceContext;
    platform::GLContextHandle glContext;
    int32_t glMajorVersion = -1;
    int32_t glMinorVersion = -1;
};

// Sets the window's pixel format (multisampled when the window system offers it and
// sampleCount > 0) and leaves an OpenGL 3.3 context current on it, or the legacy context when
// 3.3 contexts cannot be asked for. Needs GLEW initialised (LoadExtensions). On failure the
// handles obtained so far are released again.
bool CreateGLContext(int sampleCount, ContextHandles& handles, platform::WindowHandle window);

// Makes no context current, deletes the GL context and releases the device context.
void ReleaseGLContext(ContextHandles& handles);

// RGBA, 32 colour bits, depth 24, stencil 8, double-buffered.
platform::PixelFormatDescriptor ClassicPixelFormat();
// Chooses and sets ClassicPixelFormat on the device context, logging why when it cannot.
bool SetClassicPixelFormat(platform::DeviceContext dc);

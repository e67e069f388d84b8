#include "render/GLContext.h"

#include "log/ILogger.h"

#include <GL/glew.h>

namespace {

const char* GLString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

bool SetMultisamplePixelFormat(platform::DeviceContext dc, int sampleCount) {
    const int attributes[] = {
        platform::WGL_DRAW_TO_WINDOW_ARB, 1,
        platform::WGL_ACCELERATION_ARB, platform::WGL_FULL_ACCELERATION_ARB,
        platform::WGL_SUPPORT_OPENGL_ARB, 1,
        platform::WGL_DOUBLE_BUFFER_ARB, 1,
        platform::WGL_PIXEL_TYPE_ARB, platform::WGL_TYPE_RGBA_ARB,
        platform::WGL_COLOR_BITS_ARB, 32,
        platform::WGL_DEPTH_BITS_ARB, 24,
        platform::WGL_STENCIL_BITS_ARB, 8,
        platform::WGL_SAMPLE_BUFFERS_ARB, sampleCount > 0 ? 1 : 0,
        platform::WGL_SAMPLES_ARB, sampleCount,
        0, 0};
    int format = 0;
    uint32_t formatCount = 0;
    if (!platform::ChoosePixelFormatARB(dc, attributes, nullptr, 1, &format, &formatCount) || formatCount == 0) {
        gLogger->Error("Failed to get a proper FSAA pixel format!");
        return false;
    }
    platform::PixelFormatDescriptor descriptor = ClassicPixelFormat();
    platform::DescribePixelFormat(dc, format, sizeof descriptor, &descriptor);
    if (!platform::SetPixelFormat(dc, format, descriptor)) {
        gLogger->Error("Failed to set FSAA pixel format!");
        return false;
    }
    return true;
}

bool SetPixelFormatFor(platform::DeviceContext dc, int sampleCount) {
    const bool multisample = platform::IsExtensionSupported("WGL_ARB_pixel_format WGL_ARB_multisample") && sampleCount > 0;
    return multisample ? SetMultisamplePixelFormat(dc, sampleCount) : SetClassicPixelFormat(dc);
}

// Without a current context every later GL call would go nowhere, so a context that cannot be
// made current fails the way a refused 3.3 context does.
bool MakeContextCurrent(const ContextHandles& handles) {
    if (handles.glContext && platform::MakeCurrent(handles.deviceContext, handles.glContext)) return true;
    gLogger->Error("Failed to create desired OpenGL Context!");
    return false;
}

// Replaces the current legacy context by a 3.3 one; without the extension the legacy one stays.
bool UpgradeContext(ContextHandles& handles) {
    if (!platform::IsExtensionSupported("WGL_ARB_create_context")) return true;
    const int attributes[] = {platform::WGL_CONTEXT_MAJOR_VERSION_ARB, 3, platform::WGL_CONTEXT_MINOR_VERSION_ARB, 3, 0};
    const platform::GLContextHandle context = platform::CreateContextAttribsARB(handles.deviceContext, {}, attributes);
    if (!context) {
        gLogger->Error("Failed to create desired OpenGL Context!");
        return false;
    }
    platform::MakeCurrent({}, {});
    platform::DeleteContext(handles.glContext);
    handles.glContext = context;
    return MakeContextCurrent(handles);
}

}  // namespace

platform::PixelFormatDescriptor ClassicPixelFormat() {
    platform::PixelFormatDescriptor descriptor;
    descriptor.flags = platform::PFD_DRAW_TO_WINDOW | platform::PFD_SUPPORT_OPENGL | platform::PFD_DOUBLEBUFFER;
    descriptor.pixelType = platform::PFD_TYPE_RGBA;
    descriptor.colorBits = 32;
    descriptor.depthBits = 24;
    descriptor.stencilBits = 8;
    descriptor.layerType = platform::PFD_MAIN_PLANE;
    return descriptor;
}

bool SetClassicPixelFormat(platform::DeviceContext dc) {
    const platform::PixelFormatDescriptor descriptor = ClassicPixelFormat();
    const int format = platform::ChoosePixelFormat(dc, descriptor);
    if (format == 0) {
        gLogger->Error("Failed to get a proper pixel format!");
        return false;
    }
    if (!platform::SetPixelFormat(dc, format, descriptor)) {
        gLogger->Error("Failed to set pixel format!");
        return false;
    }
    return true;
}

bool CreateGLContext(int sampleCount, ContextHandles& handles, platform::WindowHandle window) {
    handles.window = window;
    handles.deviceContext = platform::GetDC(window);
    if (!SetPixelFormatFor(handles.deviceContext, sampleCount)) {
        ReleaseGLContext(handles);
        return false;
    }

    handles.glContext = platform::CreateContext(handles.deviceContext);
    if (!MakeContextCurrent(handles)) {
        ReleaseGLContext(handles);
        return false;
    }
    gLogger->WritePair("Max OpenGL Version: ", GLString(GL_VERSION));
    if (!UpgradeContext(handles)) {
        ReleaseGLContext(handles);
        return false;
    }

    glGetIntegerv(GL_MAJOR_VERSION, &handles.glMajorVersion);
    glGetIntegerv(GL_MINOR_VERSION, &handles.glMinorVersion);
    gLogger->WritePair("Hardware Vendor: ", GLString(GL_VENDOR));
    gLogger->WritePair("Hardware Renderer: ", GLString(GL_RENDERER));
    gLogger->WritePair("OpenGL Context Version: ", GLString(GL_VERSION));
    return true;
}

void ReleaseGLContext(ContextHandles& handles) {
    if (handles.glContext) {
        platform::MakeCurrent({}, {});
        platform::DeleteContext(handles.glContext);
    }
    if (handles.deviceContext) platform::ReleaseDC(handles.window, handles.deviceContext);
    handles.glContext = {};
    handles.deviceContext = {};
}

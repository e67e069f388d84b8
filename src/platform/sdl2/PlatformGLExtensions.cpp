// wglewIsSupported on GLX: each WGL extension the engine asks for is answered by its GLX
// counterpart, as GLEW found it at glewInit.
#include "platform/Platform.h"

#include <GL/glew.h>
#include <GL/glxew.h>

#include <cstring>

namespace platform {

namespace {

const char* GlxCounterpart(const char* wglName, size_t length) {
    static constexpr struct {
        const char* wgl;
        const char* glx;
    } kNames[] = {
        {"WGL_ARB_pixel_format", "GLX_VERSION_1_3"},  // framebuffer configurations
        {"WGL_ARB_multisample", "GLX_ARB_multisample"},
        {"WGL_ARB_create_context", "GLX_ARB_create_context"},
    };
    for (const auto& name : kNames)
        if (std::strlen(name.wgl) == length && std::strncmp(name.wgl, wglName, length) == 0) return name.glx;
    return nullptr;
}

}  // namespace

bool IsExtensionSupported(const char* names) {
    if (!names) return false;
    bool any = false;
    for (const char* name = names; *name != 0;) {
        const size_t length = std::strcspn(name, " ");
        if (length > 0) {
            const char* glx = GlxCounterpart(name, length);
            if (!glx || !glxewIsSupported(glx)) return false;
            any = true;
        }
        name += length;
        while (*name == ' ') ++name;
    }
    return any;
}

}  // namespace platform

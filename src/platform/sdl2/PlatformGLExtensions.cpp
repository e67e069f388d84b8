// wglewIsSupported on GLX: each WGL extension the engine asks for is answered by its GLX
// counterpart, as GLEW found it at glewInit. Off screen, EGL 1.5 has all three.
#include "platform/Platform.h"
#include "sdl2/Offscreen.h"

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
            if (!glx || (!sdl2::Offscreen() && !glxewIsSupported(glx))) return false;
            any = true;
        }
        name += length;
        while (*name == ' ') ++name;
    }
    return any;
}

// Debian's GLEW is built for GLX: on an EGL context it loads the GL entry points, then finds no
// GLX display to load GLX's from, which off screen is no failure.
bool GlewLoaded(unsigned int result) {
    return result == GLEW_OK || (sdl2::Offscreen() && result == GLEW_ERROR_NO_GLX_DISPLAY);
}

}  // namespace platform

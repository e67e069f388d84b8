#include "sdl2/Offscreen.h"

#include "HandleTable.h"
#include "platform/EglDevices.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::sdl2 {

namespace {

using egl::kMostDevices;

// What QUARN_HEADLESS asks for: -1 for Mesa's surfaceless platform, else an EGL device's index.
// Unset (or empty): the window system draws as ever.
struct Request {
    bool wanted = false;
    int device = -1;
};

Request ReadRequest() {
    const char* value = std::getenv("QUARN_HEADLESS");
    if (!value || *value == '\0') return {};
    if (std::strcmp(value, "surfaceless") == 0) return {true, -1};
    char* end = nullptr;
    const long device = std::strtol(value, &end, 10);
    if (*end != '\0' || device < 0 || device >= kMostDevices) {
        std::fprintf(stderr, "QuarnEngine: QUARN_HEADLESS is \"surfaceless\" or a device from 0 to %d, not \"%s\"\n",
                     kMostDevices - 1, value);
        return {true, kMostDevices};  // no such device: nothing draws, and start-up says so
    }
    return {true, static_cast<int>(device)};
}

const Request& TheRequest() {
    static const Request request = ReadRequest();
    return request;
}

// False, saying what failed and EGL's error, when `succeeded` is not.
bool Check(bool succeeded, const char* what) {
    if (!succeeded) std::fprintf(stderr, "QuarnEngine: %s failed (%s)\n", what, egl::ErrorName(eglGetError()));
    return succeeded;
}

EGLDisplay OpenDisplay(const Request& request) {
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        std::fprintf(stderr, "QuarnEngine: this EGL has no platform displays (no EGL_EXT_platform_base)\n");
        return EGL_NO_DISPLAY;
    }
    if (request.device >= 0) {
        std::string why;
        const EGLDisplay display = egl::OpenDevice(request.device, why);
        if (display == EGL_NO_DISPLAY) std::fprintf(stderr, "QuarnEngine: %s\n", why.c_str());
        return display;
    }
    const EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    Check(display != EGL_NO_DISPLAY, "eglGetPlatformDisplayEXT on Mesa's surfaceless platform");
    return display;
}

// Opened once, on first use; EGL_NO_DISPLAY when the platform or the device is missing, which
// has then been said.
EGLDisplay Display() {
    static const EGLDisplay display = [] {
        const EGLDisplay opened = OpenDisplay(TheRequest());
        if (opened == EGL_NO_DISPLAY || !Check(eglInitialize(opened, nullptr, nullptr), "eglInitialize") ||
            !Check(eglBindAPI(EGL_OPENGL_API), "eglBindAPI(EGL_OPENGL_API)"))
            return EGL_NO_DISPLAY;
        std::atexit([] { eglTerminate(Display()); });
        return opened;
    }();
    return display;
}

EGLConfig ConfigById(int id) {
    const EGLint attributes[] = {EGL_CONFIG_ID, id, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (id <= 0 || Display() == EGL_NO_DISPLAY || !eglChooseConfig(Display(), attributes, &config, 1, &count) ||
        count < 1)
        return nullptr;
    return config;
}

EGLint ConfigAttribute(EGLConfig config, EGLint attribute) {
    EGLint value = 0;
    eglGetConfigAttrib(Display(), config, attribute, &value);
    return value;
}

HandleTable<GLContextHandle, EGLContext>& Contexts() {
    static HandleTable<GLContextHandle, EGLContext> contexts;
    return contexts;
}

// Made when a context is first made current on the window, at the window's size then.
EGLSurface Surface(WindowRecord& record) {
    if (record.offscreenSurface) return record.offscreenSurface;
    const EGLint attributes[] = {EGL_WIDTH, record.width > 0 ? record.width : 1, EGL_HEIGHT,
                                 record.height > 0 ? record.height : 1, EGL_NONE};
    record.offscreenSurface = eglCreatePbufferSurface(Display(), record.pixelFormatConfig, attributes);
    return record.offscreenSurface;
}

}  // namespace

bool Offscreen() {
    return TheRequest().wanted;
}

namespace offscreen {

// Like Windows, the closest match: exactly 8 bits a channel before deeper ones.
int ChooseFormat(bool rgba, int colorBits, int alphaBits, int depthBits, int stencilBits, int samples) {
    if (!rgba || Display() == EGL_NO_DISPLAY) return 0;
    const int channel = colorBits >= 24 ? 8 : colorBits / 3;
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                 EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE, channel,
                                 EGL_GREEN_SIZE, channel,
                                 EGL_BLUE_SIZE, channel,
                                 EGL_ALPHA_SIZE, colorBits >= 32 ? 8 : alphaBits,
                                 EGL_DEPTH_SIZE, depthBits,
                                 EGL_STENCIL_SIZE, stencilBits,
                                 EGL_SAMPLE_BUFFERS, samples > 0 ? 1 : 0,
                                 EGL_SAMPLES, samples,
                                 EGL_NONE};
    constexpr EGLint kMostConfigs = 64;
    EGLConfig configs[kMostConfigs];
    EGLint count = 0;
    if (!eglChooseConfig(Display(), attributes, configs, kMostConfigs, &count) || count < 1) return 0;
    EGLConfig chosen = configs[0];
    for (EGLint i = 0; i < count; ++i) {
        if (ConfigAttribute(configs[i], EGL_RED_SIZE) == channel) {
            chosen = configs[i];
            break;
        }
    }
    return ConfigAttribute(chosen, EGL_CONFIG_ID);
}

bool Describe(int format, PixelFormatDescriptor& descriptor) {
    const EGLConfig config = ConfigById(format);
    if (!config) return false;
    PixelFormatDescriptor described;
    // A pbuffer stands in for the window and its back buffer.
    described.flags = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
    described.pixelType = PFD_TYPE_RGBA;
    described.colorBits = static_cast<uint8_t>(ConfigAttribute(config, EGL_RED_SIZE) +
                                               ConfigAttribute(config, EGL_GREEN_SIZE) +
                                               ConfigAttribute(config, EGL_BLUE_SIZE));
    described.alphaBits = static_cast<uint8_t>(ConfigAttribute(config, EGL_ALPHA_SIZE));
    described.depthBits = static_cast<uint8_t>(ConfigAttribute(config, EGL_DEPTH_SIZE));
    described.stencilBits = static_cast<uint8_t>(ConfigAttribute(config, EGL_STENCIL_SIZE));
    described.layerType = PFD_MAIN_PLANE;
    descriptor = described;
    return true;
}

bool SetFormat(WindowRecord& record, int format) {
    const EGLConfig config = ConfigById(format);
    if (!config) return false;
    record.pixelFormat = format;
    record.pixelFormatConfig = config;
    return true;
}

GLContextHandle CreateContext(WindowRecord& record, GLContextHandle share, int major, int minor) {
    EGLContext* shared = share ? Contexts().Find(share) : nullptr;
    if (!record.pixelFormatConfig || (share && !shared)) return {};
    EGLint attributes[5] = {EGL_NONE};
    if (major > 0) {
        const EGLint versioned[] = {EGL_CONTEXT_MAJOR_VERSION, major, EGL_CONTEXT_MINOR_VERSION, minor, EGL_NONE};
        std::memcpy(attributes, versioned, sizeof versioned);
    }
    const EGLContext context = eglCreateContext(Display(), record.pixelFormatConfig,
                                                shared ? *shared : EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) return {};
    return Contexts().Add(context);
}

bool MakeCurrent(WindowRecord* record, GLContextHandle context) {
    if (!context) {
        return Display() != EGL_NO_DISPLAY &&
               eglMakeCurrent(Display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
    }
    EGLContext* found = Contexts().Find(context);
    if (!found || !record || !record->pixelFormatConfig) return false;
    const EGLSurface surface = Surface(*record);
    return surface != EGL_NO_SURFACE && eglMakeCurrent(Display(), surface, surface, *found) == EGL_TRUE;
}

bool DeleteContext(GLContextHandle context) {
    EGLContext* found = Contexts().Find(context);
    if (!found) return false;
    if (eglGetCurrentContext() == *found) eglMakeCurrent(Display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(Display(), *found);
    Contexts().Remove(context);
    return true;
}

bool Swap(WindowRecord& record) {
    return record.offscreenSurface && eglSwapBuffers(Display(), record.offscreenSurface) == EGL_TRUE;
}

void ReleaseSurface(WindowRecord& record) {
    if (!record.offscreenSurface) return;
    if (eglGetCurrentSurface(EGL_DRAW) == record.offscreenSurface)
        eglMakeCurrent(Display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(Display(), record.offscreenSurface);
    record.offscreenSurface = nullptr;
}

}  // namespace offscreen

}  // namespace platform::sdl2

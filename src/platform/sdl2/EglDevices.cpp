#include "platform/EglDevices.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace platform::egl {

namespace {

std::string Listed(EGLint count) {
    if (count == 0) return "EGL lists no device here";
    return "EGL lists " + std::to_string(count) + " here, numbered from 0 to " + std::to_string(count - 1);
}

std::string Failed(const char* what) {
    return std::string(what) + " failed (" + ErrorName(eglGetError()) + ")";
}

// As OpenDevice, and how many devices EGL lists (0 when it cannot list them).
EGLDisplay OpenListed(int index, EGLint& count, std::string& why) {
    count = 0;
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    const auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (!getPlatformDisplay || !queryDevices) {
        why = "this EGL cannot list its devices (no EGL_EXT_platform_base or EGL_EXT_device_enumeration)";
        return EGL_NO_DISPLAY;
    }
    EGLDeviceEXT devices[kMostDevices];
    if (!queryDevices(kMostDevices, devices, &count)) {
        why = Failed("eglQueryDevicesEXT");
        return EGL_NO_DISPLAY;
    }
    if (index < 0 || index >= count) {
        why = "there is no EGL device " + std::to_string(index) + "; " + Listed(count);
        return EGL_NO_DISPLAY;
    }
    const EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[index], nullptr);
    if (display == EGL_NO_DISPLAY) why = Failed("eglGetPlatformDisplayEXT on the device") + "; " + Listed(count);
    return display;
}

}  // namespace

const char* ErrorName(int error) {
    switch (error) {
    case EGL_SUCCESS: return "EGL_SUCCESS";
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_CURRENT_SURFACE: return "EGL_BAD_CURRENT_SURFACE";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_NATIVE_PIXMAP: return "EGL_BAD_NATIVE_PIXMAP";
    case EGL_BAD_NATIVE_WINDOW: return "EGL_BAD_NATIVE_WINDOW";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
    case EGL_CONTEXT_LOST: return "EGL_CONTEXT_LOST";
    default: return "an error EGL does not name";
    }
}

void* OpenDevice(int index, std::string& why) {
    EGLint count = 0;
    return OpenListed(index, count, why);
}

bool CheckDevice(int index, std::string& why) {
    EGLint count = 0;
    const EGLDisplay display = OpenListed(index, count, why);
    if (display == EGL_NO_DISPLAY) return false;
    const std::string device = "EGL device " + std::to_string(index);
    if (!eglInitialize(display, nullptr, nullptr)) {
        why = device + " does not start: " + Failed("eglInitialize") + "; " + Listed(count);
        return false;
    }
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglBindAPI(EGL_OPENGL_API))
        why = device + " offers no OpenGL: " + Failed("eglBindAPI(EGL_OPENGL_API)") + "; " + Listed(count);
    else if (!eglChooseConfig(display, attributes, &config, 1, &configs) || configs < 1)
        why = device + " has no OpenGL pbuffer to draw into (" + ErrorName(eglGetError()) + "); " + Listed(count);
    else
        why.clear();
    eglTerminate(display);
    return why.empty();
}

}  // namespace platform::egl

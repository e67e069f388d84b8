// gdi32 / opengl32 pixel formats and contexts on GLX, under SDL2's X11 windows, or on EGL off
// screen. A pixel format number is a GLX framebuffer configuration id (or an EGL config id).
#include "HandleTable.h"
#include "sdl2/Offscreen.h"
#include "sdl2/SdlWindows.h"

#include <GL/glx.h>
#include <SDL_syswm.h>

#include <vector>

namespace platform {

namespace sdl2 {

namespace {

struct NativeTarget {
    Display* display = nullptr;
    ::Window window = 0;
};


// SDL loads Xlib at run time and the build links only SDL and GLX, so the few Xlib calls made
// here are looked up the same way.
struct Xlib {
    int (*Free)(void*) = nullptr;
    int (*Sync)(Display*, Bool) = nullptr;
    XErrorHandler (*SetErrorHandler)(XErrorHandler) = nullptr;
    Status (*GetWindowAttributes)(Display*, ::Window, XWindowAttributes*) = nullptr;
    VisualID (*VisualIDFromVisual)(Visual*) = nullptr;
};

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
    function = library ? reinterpret_cast<Function>(SDL_LoadFunction(library, name)) : nullptr;
    return function != nullptr;
}

const Xlib* LoadXlib() {
    static const Xlib* const xlib = [] {
        static Xlib functions;
        void* library = SDL_LoadObject("libX11.so.6");
        const bool complete = Resolve(library, "XFree", functions.Free) & Resolve(library, "XSync", functions.Sync) &
                              Resolve(library, "XSetErrorHandler", functions.SetErrorHandler) &
                              Resolve(library, "XGetWindowAttributes", functions.GetWindowAttributes) &
                              Resolve(library, "XVisualIDFromVisual", functions.VisualIDFromVisual);
        return complete ? &functions : nullptr;
    }();
    return xlib;
}

// Empty unless the window is an X11 window and Xlib is at hand.
NativeTarget Native(const WindowRecord& record) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!record.native || !SDL_GetWindowWMInfo(record.native, &info) || info.subsystem != SDL_SYSWM_X11 || !LoadXlib())
        return {};
    return {info.info.x11.display, info.info.x11.window};
}

struct ContextRecord {
    Display* display = nullptr;
    GLXContext context = nullptr;
};

HandleTable<GLContextHandle, ContextRecord>& Contexts() {
    static HandleTable<GLContextHandle, ContextRecord> contexts;
    return contexts;
}

ContextRecord* FindContext(GLContextHandle handle) {
    return Contexts().Find(handle);
}

// A refused GLX request raises an X error, which by default ends the process; while a trap
// is set, errors are only counted.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display) : display_(display) {
        LoadXlib()->Sync(display_, False);
        errors_ = 0;
        previous_ = LoadXlib()->SetErrorHandler(&XErrorTrap::Count);
    }
    ~XErrorTrap() { LoadXlib()->SetErrorHandler(previous_); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    bool Failed() {
        LoadXlib()->Sync(display_, False);
        return errors_ > 0;
    }

private:
    static int Count(Display*, XErrorEvent*) {
        ++errors_;
        return 0;
    }
    static inline int errors_ = 0;
    Display* display_;
    XErrorHandler previous_ = nullptr;
};

// What a descriptor or a WGL attribute list asks for, in GLX terms.
struct FormatRequest {
    bool drawToWindow = false;
    bool doubleBuffer = false;
    bool rgba = true;
    bool fullAcceleration = false;
    int colorBits = 0;
    int alphaBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int sampleBuffers = 0;
    int samples = 0;
};

FormatRequest FromDescriptor(const PixelFormatDescriptor& descriptor) {
    FormatRequest request;
    request.drawToWindow = (descriptor.flags & PFD_DRAW_TO_WINDOW) != 0;
    request.doubleBuffer = (descriptor.flags & PFD_DOUBLEBUFFER) != 0;
    request.rgba = descriptor.pixelType == PFD_TYPE_RGBA;
    request.colorBits = descriptor.colorBits;
    request.alphaBits = descriptor.alphaBits;
    request.depthBits = descriptor.depthBits;
    request.stencilBits = descriptor.stencilBits;
    return request;
}

// False for an attribute this layer cannot honour, so that nothing is silently ignored.
bool FromWglAttributes(const int* attributes, FormatRequest& request) {
    for (const int* pair = attributes; pair && pair[0] != 0; pair += 2) {
        const int value = pair[1];
        switch (pair[0]) {
        case WGL_DRAW_TO_WINDOW_ARB: request.drawToWindow = value != 0; break;
        case WGL_ACCELERATION_ARB: request.fullAcceleration = value == WGL_FULL_ACCELERATION_ARB; break;
        case WGL_SUPPORT_OPENGL_ARB:
            if (value == 0) return false;
            break;
        case WGL_DOUBLE_BUFFER_ARB: request.doubleBuffer = value != 0; break;
        case WGL_PIXEL_TYPE_ARB: request.rgba = value == WGL_TYPE_RGBA_ARB; break;
        case WGL_COLOR_BITS_ARB: request.colorBits = value; break;
        case WGL_DEPTH_BITS_ARB: request.depthBits = value; break;
        case WGL_STENCIL_BITS_ARB: request.stencilBits = value; break;
        case WGL_SAMPLE_BUFFERS_ARB: request.sampleBuffers = value; break;
        case WGL_SAMPLES_ARB: request.samples = value; break;
        default: return false;
        }
    }
    return true;
}

int ConfigAttribute(Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

// GLX sorts deeper colour first; Windows picks the closest match, so an exact channel depth
// is preferred over a 10-bit configuration.
int ChooseFormat(Display* display, const FormatRequest& request) {
    const int channel = request.colorBits >= 24 ? 8 : request.colorBits / 3;
    const int alpha = request.colorBits >= 32 ? 8 : request.alphaBits;
    const int attributes[] = {
        GLX_X_RENDERABLE, True,
        GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
        GLX_DRAWABLE_TYPE, request.drawToWindow ? GLX_WINDOW_BIT : 0,
        GLX_RENDER_TYPE, request.rgba ? GLX_RGBA_BIT : GLX_COLOR_INDEX_BIT,
        GLX_DOUBLEBUFFER, request.doubleBuffer ? True : static_cast<int>(GLX_DONT_CARE),
        GLX_CONFIG_CAVEAT, request.fullAcceleration ? GLX_NONE : static_cast<int>(GLX_DONT_CARE),
        GLX_RED_SIZE, channel,
        GLX_GREEN_SIZE, channel,
        GLX_BLUE_SIZE, channel,
        GLX_ALPHA_SIZE, alpha,
        GLX_DEPTH_SIZE, request.depthBits,
        GLX_STENCIL_SIZE, request.stencilBits,
        GLX_SAMPLE_BUFFERS, request.sampleBuffers,
        GLX_SAMPLES, request.samples,
        None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    if (!configs) return 0;
    GLXFBConfig chosen = count > 0 ? configs[0] : nullptr;
    for (int i = 0; i < count; ++i) {
        if (ConfigAttribute(display, configs[i], GLX_RED_SIZE) == channel) {
            chosen = configs[i];
            break;
        }
    }
    const int id = chosen ? ConfigAttribute(display, chosen, GLX_FBCONFIG_ID) : 0;
    LoadXlib()->Free(configs);
    return id;
}

GLXFBConfig ConfigById(Display* display, int id) {
    if (id <= 0) return nullptr;
    const int attributes[] = {GLX_FBCONFIG_ID, id, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    if (!configs) return nullptr;
    GLXFBConfig config = count > 0 ? configs[0] : nullptr;
    LoadXlib()->Free(configs);
    return config;
}

// The window's display and its pixel format's configuration; empty while either is missing.
struct FormattedWindow {
    NativeTarget target;
    GLXFBConfig config = nullptr;
};

FormattedWindow Formatted(DeviceContext dc) {
    WindowRecord* record = FindWindow(dc);
    if (!record || !record->pixelFormatConfig) return {};
    NativeTarget target = Native(*record);
    if (!target.display) return {};
    return {target, static_cast<GLXFBConfig>(record->pixelFormatConfig)};
}

GLContextHandle AddContext(Display* display, GLXContext context) {
    return Contexts().Add({display, context});
}

void ReleaseCurrent(Display* display) {
    glXMakeCurrent(display, None, nullptr);
}

int ChooseOffscreenFormat(const FormatRequest& request) {
    return offscreen::ChooseFormat(request.rgba, request.colorBits, request.alphaBits, request.depthBits,
                                   request.stencilBits, request.sampleBuffers > 0 ? request.samples : 0);
}

// The same version attributes as on GLX; anything else is refused.
GLContextHandle CreateOffscreenContext(DeviceContext dc, GLContextHandle share, const int* attributes) {
    WindowRecord* record = FindWindow(dc);
    int major = 0, minor = 0;
    for (const int* pair = attributes; pair && pair[0] != 0; pair += 2) {
        switch (pair[0]) {
        case WGL_CONTEXT_MAJOR_VERSION_ARB: major = pair[1]; break;
        case WGL_CONTEXT_MINOR_VERSION_ARB: minor = pair[1]; break;
        default: return {};
        }
    }
    return record ? offscreen::CreateContext(*record, share, major, minor) : GLContextHandle{};
}

}  // namespace

void ReleaseContextOn(WindowRecord& record) {
    NativeTarget target = Native(record);
    if (target.display && glXGetCurrentContext() && glXGetCurrentDrawable() == target.window)
        ReleaseCurrent(target.display);
}

}  // namespace sdl2

using sdl2::FindWindow;

DeviceContext GetDC(WindowHandle window) {
    return FindWindow(window) ? DeviceContext{window.id} : DeviceContext{};
}

bool ReleaseDC(WindowHandle window, DeviceContext dc) {
    // A class device context (CS_OWNDC) stays with its window; releasing it only checks it.
    return dc.window == window.id && FindWindow(window) != nullptr;
}

int ChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
    sdl2::WindowRecord* record = FindWindow(dc);
    if (record && sdl2::Offscreen()) return sdl2::ChooseOffscreenFormat(sdl2::FromDescriptor(descriptor));
    sdl2::NativeTarget target = record ? sdl2::Native(*record) : sdl2::NativeTarget{};
    return target.display ? sdl2::ChooseFormat(target.display, sdl2::FromDescriptor(descriptor)) : 0;
}

bool ChoosePixelFormatARB(DeviceContext dc, const int* intAttributes, const float* floatAttributes,
                          uint32_t maxFormats, int* formats, uint32_t* formatCount) {
    if (formatCount) *formatCount = 0;
    sdl2::WindowRecord* record = FindWindow(dc);
    sdl2::NativeTarget target = record ? sdl2::Native(*record) : sdl2::NativeTarget{};
    sdl2::FormatRequest request;
    const bool offscreen = record && sdl2::Offscreen();
    if ((!target.display && !offscreen) || (floatAttributes && floatAttributes[0] != 0) || !formats || !formatCount ||
        !sdl2::FromWglAttributes(intAttributes, request))
        return false;
    const int format =
        offscreen ? sdl2::ChooseOffscreenFormat(request) : sdl2::ChooseFormat(target.display, request);
    if (format != 0 && maxFormats > 0) {
        formats[0] = format;
        *formatCount = 1;
    }
    return true;
}

int DescribePixelFormat(DeviceContext dc, int format, uint32_t descriptorSize, PixelFormatDescriptor* descriptor) {
    sdl2::WindowRecord* record = FindWindow(dc);
    if (record && sdl2::Offscreen() && descriptor && descriptorSize >= sizeof(PixelFormatDescriptor))
        return sdl2::offscreen::Describe(format, *descriptor) ? 1 : 0;
    sdl2::NativeTarget target = record ? sdl2::Native(*record) : sdl2::NativeTarget{};
    if (!target.display || !descriptor || descriptorSize < sizeof(PixelFormatDescriptor)) return 0;
    Display* display = target.display;
    GLXFBConfig config = sdl2::ConfigById(display, format);
    if (!config) return 0;

    auto attribute = [&](int name) { return sdl2::ConfigAttribute(display, config, name); };
    PixelFormatDescriptor described;
    described.flags = PFD_SUPPORT_OPENGL | ((attribute(GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) ? PFD_DRAW_TO_WINDOW : 0) |
                      (attribute(GLX_DOUBLEBUFFER) ? PFD_DOUBLEBUFFER : 0);
    described.pixelType = PFD_TYPE_RGBA;
    described.colorBits = static_cast<uint8_t>(attribute(GLX_RED_SIZE) + attribute(GLX_GREEN_SIZE) + attribute(GLX_BLUE_SIZE));
    described.alphaBits = static_cast<uint8_t>(attribute(GLX_ALPHA_SIZE));
    described.depthBits = static_cast<uint8_t>(attribute(GLX_DEPTH_SIZE));
    described.stencilBits = static_cast<uint8_t>(attribute(GLX_STENCIL_SIZE));
    described.layerType = PFD_MAIN_PLANE;
    *descriptor = described;

    // Like Windows, the result is the number of formats the device offers.
    int count = 0;
    GLXFBConfig* all = glXGetFBConfigs(display, DefaultScreen(display), &count);
    if (all) sdl2::LoadXlib()->Free(all);
    return count > 0 ? count : 1;
}

bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& /*descriptor*/) {
    sdl2::WindowRecord* record = FindWindow(dc);
    if (!record || record->pixelFormat != 0) return false;
    if (sdl2::Offscreen()) return sdl2::offscreen::SetFormat(*record, format);
    sdl2::NativeTarget target = sdl2::Native(*record);
    GLXFBConfig config = target.display ? sdl2::ConfigById(target.display, format) : nullptr;
    XVisualInfo* visual = config ? glXGetVisualFromFBConfig(target.display, config) : nullptr;
    if (!visual) return false;
    const VisualID visualId = visual->visualid;
    sdl2::LoadXlib()->Free(visual);

    if (!sdl2::RecreateNativeWindow(*record, visualId)) return false;
    // The native window must really carry the format's visual, or every MakeCurrent would fail.
    target = sdl2::Native(*record);
    XWindowAttributes attributes;
    if (!target.display || !sdl2::LoadXlib()->GetWindowAttributes(target.display, target.window, &attributes) ||
        sdl2::LoadXlib()->VisualIDFromVisual(attributes.visual) != visualId)
        return false;
    record->pixelFormat = format;
    record->pixelFormatConfig = config;
    return true;
}

GLContextHandle CreateContext(DeviceContext dc) {
    if (sdl2::Offscreen()) {
        sdl2::WindowRecord* record = FindWindow(dc);
        return record ? sdl2::offscreen::CreateContext(*record, {}, 0, 0) : GLContextHandle{};
    }
    sdl2::FormattedWindow window = sdl2::Formatted(dc);
    if (!window.config) return {};
    sdl2::XErrorTrap trap(window.target.display);
    GLXContext context = glXCreateNewContext(window.target.display, window.config, GLX_RGBA_TYPE, nullptr, True);
    if (trap.Failed() || !context) return {};
    return sdl2::AddContext(window.target.display, context);
}

GLContextHandle CreateContextAttribsARB(DeviceContext dc, GLContextHandle share, const int* attributes) {
    if (sdl2::Offscreen()) return sdl2::CreateOffscreenContext(dc, share, attributes);
    sdl2::FormattedWindow window = sdl2::Formatted(dc);
    sdl2::ContextRecord* shared = share ? sdl2::FindContext(share) : nullptr;
    const auto createContextAttribs = reinterpret_cast<PFNGLXCREATECONTEXTATTRIBSARBPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCreateContextAttribsARB")));
    if (!window.config || !createContextAttribs || (share && !shared)) return {};

    constexpr int kMaxPairs = 8;
    int glxAttributes[kMaxPairs * 2 + 1];
    int used = 0;
    for (const int* pair = attributes; pair && pair[0] != 0; pair += 2) {
        if (used == kMaxPairs * 2) return {};
        switch (pair[0]) {
        case WGL_CONTEXT_MAJOR_VERSION_ARB: glxAttributes[used] = GLX_CONTEXT_MAJOR_VERSION_ARB; break;
        case WGL_CONTEXT_MINOR_VERSION_ARB: glxAttributes[used] = GLX_CONTEXT_MINOR_VERSION_ARB; break;
        default: return {};
        }
        glxAttributes[used + 1] = pair[1];
        used += 2;
    }
    glxAttributes[used] = None;

    sdl2::XErrorTrap trap(window.target.display);
    GLXContext context = createContextAttribs(window.target.display, window.config,
                                                    shared ? shared->context : nullptr, True, glxAttributes);
    if (trap.Failed() || !context) return {};
    return sdl2::AddContext(window.target.display, context);
}

bool MakeCurrent(DeviceContext dc, GLContextHandle context) {
    if (sdl2::Offscreen()) return sdl2::offscreen::MakeCurrent(FindWindow(dc), context);
    if (!context) {
        if (Display* display = glXGetCurrentDisplay()) sdl2::ReleaseCurrent(display);
        return true;
    }
    sdl2::ContextRecord* record = sdl2::FindContext(context);
    sdl2::FormattedWindow window = sdl2::Formatted(dc);
    if (!record || !window.config) return false;
    return glXMakeCurrent(window.target.display, window.target.window, record->context) == True;
}

bool DeleteContext(GLContextHandle context) {
    if (sdl2::Offscreen()) return sdl2::offscreen::DeleteContext(context);
    sdl2::ContextRecord* record = sdl2::FindContext(context);
    if (!record) return false;
    if (glXGetCurrentContext() == record->context) sdl2::ReleaseCurrent(record->display);
    glXDestroyContext(record->display, record->context);
    sdl2::Contexts().Remove(context);
    return true;
}

bool SwapBuffers(DeviceContext dc) {
    if (sdl2::Offscreen()) {
        sdl2::WindowRecord* record = FindWindow(dc);
        return record && sdl2::offscreen::Swap(*record);
    }
    sdl2::FormattedWindow window = sdl2::Formatted(dc);
    if (!window.config) return false;
    glXSwapBuffers(window.target.display, window.target.window);
    return true;
}

}  // namespace platform

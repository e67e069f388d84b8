// gdi32 and opengl32 in a browser: the canvas's WebGL2 context. A canvas has one context for
// its life, with the attributes of its first creation, so every context is made alike:
// antialiased, with depth and stencil. The browser presents the picture when the frame returns.
#include "web/WebWindows.h"

#include <emscripten/html5.h>

#include <cstring>
#include <string_view>

namespace platform {

namespace {

// Format 1: the picture as a window has it; format 2: the same, multisampled. WebGL makes no
// difference between them: its context is always antialiased.
constexpr int kPlainFormat = 1;
constexpr int kMultisampleFormat = 2;

bool ValidFormat(int format) { return format == kPlainFormat || format == kMultisampleFormat; }

}  // namespace

DeviceContext GetDC(WindowHandle window) {
    return web::FindWindow(window) ? DeviceContext{window.id} : DeviceContext{};
}

bool ReleaseDC(WindowHandle window, DeviceContext dc) { return web::FindWindow(window) && dc.window == window.id; }

int ChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& /*descriptor*/) {
    return web::FindWindow(dc) ? kPlainFormat : 0;
}

bool ChoosePixelFormatARB(DeviceContext dc, const int* intAttributes, const float* /*floatAttributes*/,
                          uint32_t maxFormats, int* formats, uint32_t* formatCount) {
    if (!web::FindWindow(dc) || !formats || !formatCount) return false;
    bool multisample = false;
    for (const int* a = intAttributes; a && a[0] != 0; a += 2)
        if (a[0] == WGL_SAMPLE_BUFFERS_ARB && a[1] != 0) multisample = true;
    *formatCount = maxFormats > 0 ? 1 : 0;
    if (maxFormats > 0) formats[0] = multisample ? kMultisampleFormat : kPlainFormat;
    return true;
}

int DescribePixelFormat(DeviceContext dc, int format, uint32_t /*descriptorSize*/, PixelFormatDescriptor* descriptor) {
    if (!web::FindWindow(dc) || !ValidFormat(format)) return 0;
    if (descriptor) {
        *descriptor = PixelFormatDescriptor{};
        descriptor->flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        descriptor->pixelType = PFD_TYPE_RGBA;
        descriptor->colorBits = 32;
        descriptor->alphaBits = 8;
        descriptor->depthBits = 24;
        descriptor->stencilBits = 8;
        descriptor->layerType = PFD_MAIN_PLANE;
    }
    return kMultisampleFormat;
}

bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& /*descriptor*/) {
    web::WindowRecord* record = web::FindWindow(dc);
    if (!record || record->pixelFormat != 0 || !ValidFormat(format)) return false;
    record->pixelFormat = format;
    return true;
}

GLContextHandle CreateContext(DeviceContext dc) {
    web::WindowRecord* record = web::FindWindow(dc);
    if (!record || record->pixelFormat == 0) return {};
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_TRUE;
    attributes.antialias = EM_TRUE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(web::kCanvas, &attributes);
    return context > 0 ? GLContextHandle{static_cast<uint32_t>(context)} : GLContextHandle{};
}

// WebGL2 is the only version there is, so the engine keeps the context CreateContext made.
GLContextHandle CreateContextAttribsARB(DeviceContext /*dc*/, GLContextHandle /*share*/, const int* /*attributes*/) {
    return {};
}

bool MakeCurrent(DeviceContext dc, GLContextHandle context) {
    if (!dc && !context) return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS;
    if (!web::FindWindow(dc) || !context) return false;
    return emscripten_webgl_make_context_current(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(context.id)) ==
           EMSCRIPTEN_RESULT_SUCCESS;
}

// The canvas keeps its context: destroying it would leave the next creation a lost one.
bool DeleteContext(GLContextHandle context) { return static_cast<bool>(context); }

bool SwapBuffers(DeviceContext dc) { return web::FindWindow(dc) != nullptr; }

// Multisampling is the context's antialiasing; there is no context to create by version.
bool IsExtensionSupported(const char* names) {
    if (!names) return false;
    std::string_view rest(names);
    while (!rest.empty()) {
        const size_t end = rest.find(' ');
        const std::string_view name = rest.substr(0, end);
        if (!name.empty() && name != "WGL_ARB_pixel_format" && name != "WGL_ARB_multisample") return false;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return true;
}

// GLEW_OK.
bool GlewLoaded(unsigned int result) { return result == 0; }

}  // namespace platform

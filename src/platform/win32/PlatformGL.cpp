// gdi32 / opengl32 pixel formats and contexts, and the WGL extensions GLEW found.
#include "win32/Win32Windows.h"

#include "HandleTable.h"

namespace platform {

namespace {

HandleTable<GLContextHandle, HGLRC>& Contexts() {
    static HandleTable<GLContextHandle, HGLRC> contexts;
    return contexts;
}

HDC NativeDC(DeviceContext dc) {
    const win32::WindowRecord* record = win32::FindWindow(dc);
    return record ? record->dc : nullptr;
}

PIXELFORMATDESCRIPTOR ToNative(const PixelFormatDescriptor& descriptor) {
    PIXELFORMATDESCRIPTOR native{};
    native.nSize = sizeof native;
    native.nVersion = descriptor.version;
    native.dwFlags = descriptor.flags;
    native.iPixelType = descriptor.pixelType;
    native.cColorBits = descriptor.colorBits;
    native.cAlphaBits = descriptor.alphaBits;
    native.cDepthBits = descriptor.depthBits;
    native.cStencilBits = descriptor.stencilBits;
    native.iLayerType = descriptor.layerType;
    return native;
}

GLContextHandle AddContext(HGLRC native) {
    return native ? Contexts().Add(native) : GLContextHandle{};
}

}  // namespace

DeviceContext GetDC(WindowHandle window) {
    return win32::FindWindow(window) ? DeviceContext{window.id} : DeviceContext{};
}

bool ReleaseDC(WindowHandle window, DeviceContext dc) {
    // A class device context (CS_OWNDC) stays with its window; releasing it only checks it.
    return dc.window == window.id && win32::FindWindow(window) != nullptr;
}

int ChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor) {
    HDC native = NativeDC(dc);
    const PIXELFORMATDESCRIPTOR wanted = ToNative(descriptor);
    return native ? ::ChoosePixelFormat(native, &wanted) : 0;
}

bool ChoosePixelFormatARB(DeviceContext dc, const int* intAttributes, const float* floatAttributes,
                          uint32_t maxFormats, int* formats, uint32_t* formatCount) {
    if (formatCount) *formatCount = 0;
    HDC native = NativeDC(dc);
    if (!native || !wglChoosePixelFormatARB || !formats || !formatCount) return false;
    UINT count = 0;
    const BOOL ok = wglChoosePixelFormatARB(native, intAttributes, floatAttributes, maxFormats, formats, &count);
    *formatCount = ok ? count : 0;
    return ok;
}

int DescribePixelFormat(DeviceContext dc, int format, uint32_t descriptorSize, PixelFormatDescriptor* descriptor) {
    HDC native = NativeDC(dc);
    if (!native || !descriptor || descriptorSize < sizeof(PixelFormatDescriptor)) return 0;
    PIXELFORMATDESCRIPTOR described{};
    const int count = ::DescribePixelFormat(native, format, sizeof described, &described);
    if (count == 0) return 0;
    descriptor->flags = described.dwFlags;
    descriptor->pixelType = described.iPixelType;
    descriptor->colorBits = described.cColorBits;
    descriptor->alphaBits = described.cAlphaBits;
    descriptor->depthBits = described.cDepthBits;
    descriptor->stencilBits = described.cStencilBits;
    descriptor->layerType = described.iLayerType;
    return count;
}

bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& descriptor) {
    HDC native = NativeDC(dc);
    const PIXELFORMATDESCRIPTOR wanted = ToNative(descriptor);
    return native && ::SetPixelFormat(native, format, &wanted);
}

GLContextHandle CreateContext(DeviceContext dc) {
    HDC native = NativeDC(dc);
    return native ? AddContext(::wglCreateContext(native)) : GLContextHandle{};
}

GLContextHandle CreateContextAttribsARB(DeviceContext dc, GLContextHandle share, const int* attributes) {
    HDC native = NativeDC(dc);
    const HGLRC* shared = share ? Contexts().Find(share) : nullptr;
    if (!native || !wglCreateContextAttribsARB || (share && !shared)) return {};
    return AddContext(wglCreateContextAttribsARB(native, shared ? *shared : nullptr, attributes));
}

bool MakeCurrent(DeviceContext dc, GLContextHandle context) {
    if (!context) return ::wglMakeCurrent(nullptr, nullptr);
    const HGLRC* record = Contexts().Find(context);
    HDC native = NativeDC(dc);
    return record && native && ::wglMakeCurrent(native, *record);
}

bool DeleteContext(GLContextHandle context) {
    const HGLRC* record = Contexts().Find(context);
    if (!record || !::wglDeleteContext(*record)) return false;
    Contexts().Remove(context);
    return true;
}

bool SwapBuffers(DeviceContext dc) {
    HDC native = NativeDC(dc);
    return native && ::SwapBuffers(native);
}

bool IsExtensionSupported(const char* names) {
    return names && wglewIsSupported(names);
}

bool GlewLoaded(unsigned int result) {
    return result == GLEW_OK;
}

}  // namespace platform

#pragma once
// Shared between the Win32 backend's files: windows.h, made to live beside the platform header,
// and the window records behind WindowHandle.
//
// The platform header names its functions and constants after the Win32 ones, and windows.h
// defines most of those as macros (PeekMessage as PeekMessageW, WM_SIZE as 0x0005, ...), so the
// macros are undefined here before the header is read. Inside the backend the platform's names
// mean the platform's constants, which carry the same values, and the Win32 functions are called
// by their W names.

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX  // libstdc++ may have asked for it already
#endif
#include <windows.h>

#include <GL/glew.h>
#include <GL/wglew.h>

#undef GetModuleHandle
#undef RegisterClassEx
#undef CreateWindowEx
#undef SetWindowText
#undef GetWindowTextLength
#undef GetWindowText
#undef ChangeDisplaySettings
#undef PeekMessage
#undef DispatchMessage
#undef DefWindowProc
#undef FindResource
#undef FindWindow
#undef DeleteFile
#undef GetComputerName

// The SDK constants the platform header redefines, recorded before their macros go so that
// their values can be held against the platform's below.
#define QUARN_SDK_CONSTANTS(X) \
    X(CS_VREDRAW) X(CS_HREDRAW) X(CS_OWNDC) X(WS_POPUP) X(WS_CLIPSIBLINGS) X(WS_CLIPCHILDREN) X(WS_OVERLAPPEDWINDOW) \
    X(WS_EX_APPWINDOW) X(WS_EX_WINDOWEDGE) X(SW_HIDE) X(SW_SHOW) X(SM_CXSCREEN) X(SM_CYSCREEN) X(DM_BITSPERPEL) \
    X(DM_PELSWIDTH) X(DM_PELSHEIGHT) X(CDS_FULLSCREEN) X(DISP_CHANGE_SUCCESSFUL) X(DISP_CHANGE_BADMODE) \
    X(WM_DESTROY) X(WM_MOVE) X(WM_SIZE) X(WM_CLOSE) X(WM_QUIT) X(WM_KEYDOWN) X(WM_CHAR) X(SIZE_RESTORED) \
    X(PM_NOREMOVE) X(PM_REMOVE) X(VK_BACK) X(VK_TAB) X(VK_RETURN) X(VK_SHIFT) X(VK_ESCAPE) X(VK_SPACE) X(VK_HOME) \
    X(VK_LEFT) X(VK_UP) X(VK_RIGHT) X(VK_DOWN) X(PFD_DOUBLEBUFFER) X(PFD_DRAW_TO_WINDOW) X(PFD_SUPPORT_OPENGL) \
    X(PFD_TYPE_RGBA) X(PFD_MAIN_PLANE) X(WGL_DRAW_TO_WINDOW_ARB) X(WGL_ACCELERATION_ARB) X(WGL_SUPPORT_OPENGL_ARB) \
    X(WGL_DOUBLE_BUFFER_ARB) X(WGL_PIXEL_TYPE_ARB) X(WGL_COLOR_BITS_ARB) X(WGL_DEPTH_BITS_ARB) \
    X(WGL_STENCIL_BITS_ARB) X(WGL_FULL_ACCELERATION_ARB) X(WGL_TYPE_RGBA_ARB) X(WGL_SAMPLE_BUFFERS_ARB) \
    X(WGL_SAMPLES_ARB) X(WGL_CONTEXT_MAJOR_VERSION_ARB) X(WGL_CONTEXT_MINOR_VERSION_ARB)

namespace platform::win32::sdk {
#define QUARN_RECORD_SDK_CONSTANT(name) inline constexpr auto name##_ = name;
QUARN_SDK_CONSTANTS(QUARN_RECORD_SDK_CONSTANT)
#undef QUARN_RECORD_SDK_CONSTANT
}  // namespace platform::win32::sdk

#undef CS_VREDRAW
#undef CS_HREDRAW
#undef CS_OWNDC
#undef WS_POPUP
#undef WS_CLIPSIBLINGS
#undef WS_CLIPCHILDREN
#undef WS_OVERLAPPEDWINDOW
#undef WS_EX_APPWINDOW
#undef WS_EX_WINDOWEDGE
#undef SW_HIDE
#undef SW_SHOW
#undef SM_CXSCREEN
#undef SM_CYSCREEN
#undef DM_BITSPERPEL
#undef DM_PELSWIDTH
#undef DM_PELSHEIGHT
#undef CDS_FULLSCREEN
#undef DISP_CHANGE_SUCCESSFUL
#undef DISP_CHANGE_BADMODE
#undef WM_DESTROY
#undef WM_MOVE
#undef WM_SIZE
#undef WM_CLOSE
#undef WM_QUIT
#undef WM_KEYDOWN
#undef WM_CHAR
#undef SIZE_RESTORED
#undef PM_NOREMOVE
#undef PM_REMOVE
#undef VK_BACK
#undef VK_TAB
#undef VK_RETURN
#undef VK_SHIFT
#undef VK_ESCAPE
#undef VK_SPACE
#undef VK_HOME
#undef VK_LEFT
#undef VK_UP
#undef VK_RIGHT
#undef VK_DOWN
#undef PFD_DOUBLEBUFFER
#undef PFD_DRAW_TO_WINDOW
#undef PFD_SUPPORT_OPENGL
#undef PFD_TYPE_RGBA
#undef PFD_MAIN_PLANE
#undef WGL_DRAW_TO_WINDOW_ARB
#undef WGL_ACCELERATION_ARB
#undef WGL_SUPPORT_OPENGL_ARB
#undef WGL_DOUBLE_BUFFER_ARB
#undef WGL_PIXEL_TYPE_ARB
#undef WGL_COLOR_BITS_ARB
#undef WGL_DEPTH_BITS_ARB
#undef WGL_STENCIL_BITS_ARB
#undef WGL_FULL_ACCELERATION_ARB
#undef WGL_TYPE_RGBA_ARB
#undef WGL_SAMPLE_BUFFERS_ARB
#undef WGL_SAMPLES_ARB
#undef WGL_CONTEXT_MAJOR_VERSION_ARB
#undef WGL_CONTEXT_MINOR_VERSION_ARB

#include "platform/Platform.h"

#include <string>
#include <utility>

// A platform constant that drifted from the SDK would reach the real calls with the wrong value.
#define QUARN_CHECK_SDK_CONSTANT(name) \
    static_assert(std::cmp_equal(platform::win32::sdk::name##_, platform::name), #name " differs from the SDK's");
QUARN_SDK_CONSTANTS(QUARN_CHECK_SDK_CONSTANT)
#undef QUARN_CHECK_SDK_CONSTANT
#undef QUARN_SDK_CONSTANTS

namespace platform::win32 {

struct WindowRecord {
    WindowHandle handle;
    HWND native = nullptr;
    HDC dc = nullptr;  // the class device context (CS_OWNDC), which lives as long as the window
    WindowProc windowProc = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
};

WindowRecord* FindWindow(WindowHandle window);
WindowRecord* FindWindow(HWND native);
inline WindowRecord* FindWindow(DeviceContext dc) { return FindWindow(WindowHandle{dc.window}); }

inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// UTF-8 to UTF-16 for the calls that take a path; empty on a malformed or empty path.
std::wstring WidePath(const char* path);

}  // namespace platform::win32

#pragma once
// Shared between the SDL2 backend's files: the window records behind WindowHandle.

#include "platform/Platform.h"

#include <SDL.h>

#include <string>

namespace platform::sdl2 {

struct WindowRecord {
    WindowHandle handle;
    SDL_Window* native = nullptr;
    uint32_t nativeId = 0;  // SDL's window id, to route events
    WindowProc windowProc = nullptr;
    std::u16string title;
    std::string titleUtf8;  // kept so that renaming reuses its storage
    uint32_t style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool fullScreen = false;
    bool desktopFullScreen = false;  // a popup over the whole desktop, no mode set
    bool shown = false;
    bool destroying = false;
    int pixelFormat = 0;                 // 0 until SetPixelFormat
    void* pixelFormatConfig = nullptr;  // the GLX (or EGL) configuration behind it
    void* offscreenSurface = nullptr;   // the EGL pbuffer that stands in for the window
};

// SDL_Init for video, once; false when there is no display.
bool EnsureVideo();

WindowRecord* FindWindow(WindowHandle window);
WindowRecord* FindWindowByNativeId(uint32_t nativeId);
inline WindowRecord* FindWindow(DeviceContext dc) { return FindWindow(WindowHandle{dc.window}); }

// A window's visual is fixed when X creates it, so setting the pixel format replaces the
// native window by one made with the format's visual. No messages are sent: to the engine it
// is the same window.
bool RecreateNativeWindow(WindowRecord& record, unsigned long visualId);

// Calls the window procedure directly, as Windows does for sent messages.
intptr_t SendToWindow(WindowRecord& record, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The mode ChangeDisplaySettings set with CDS_FULLSCREEN, or null.
const SDL_DisplayMode* FullScreenMode();

// Called before a native window goes away: a context current on it is released first, so
// that no GL call ever reaches a dead drawable.
void ReleaseContextOn(WindowRecord& record);

// UTF-16 to UTF-8 into `out`, reusing its storage; unpaired surrogates become U+FFFD.
void WideToUtf8(const char16_t* text, std::string& out);

}  // namespace platform::sdl2

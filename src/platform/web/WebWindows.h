#pragma once
// Shared between the web backend's files: the window records behind WindowHandle. Every window
// is the page's one canvas; the engine makes a second only for a moment (to load GL's entry
// points), never two at once.

#include "platform/Platform.h"

#include <string>

namespace platform::web {

// The page's canvas, as the html5 API names its targets.
inline constexpr const char* kCanvas = "#canvas";

struct WindowRecord {
    WindowHandle handle;
    WindowProc windowProc = nullptr;
    std::u16string title;
    bool shown = false;
    int pixelFormat = 0;  // 0 until SetPixelFormat
};

WindowRecord* FindWindow(WindowHandle window);
inline WindowRecord* FindWindow(DeviceContext dc) { return FindWindow(WindowHandle{dc.window}); }
// The window the page shows, or null.
WindowRecord* ShownWindow();

// Calls the window procedure directly, as Windows does for sent messages.
intptr_t SendToWindow(WindowRecord& record, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The canvas's drawing buffer, in device pixels.
void CanvasSize(int& width, int& height);

// Posts a message to the queue PeekMessage reads.
void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace platform::web

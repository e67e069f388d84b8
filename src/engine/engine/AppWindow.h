#pragma once
// The window the demo draws into, its window procedure, and GLEW's start on a temporary window.

#include "platform/Platform.h"

class Engine;

struct AppWindow {
    platform::InstanceHandle instance = nullptr;
    platform::WindowHandle window;
};

// Set by the first CreateAppWindow; from then on the window procedure forwards to it.
extern Engine* gEngine;

// Full screen needs the display to offer width x height at 32 bits; otherwise no window is
// made and the result is false.
bool CreateAppWindow(int width, int height, AppWindow& appWindow, Engine* engine, bool show, bool fullScreen);

// A resizable window whose client area, not its frame, is width x height, centred on the desktop.
bool CreateClientSizedWindow(int width, int height, AppWindow& appWindow, Engine* engine);
// A borderless window over the whole desktop at its own resolution, the cursor hidden: full
// screen without a display-mode change.
bool CreateDesktopWindow(AppWindow& appWindow, Engine* engine);

// Gives the (temporary) window a plain pixel format and a legacy context, initialises GLEW on
// it, and leaves no context current.
bool LoadExtensions(const AppWindow& appWindow);

intptr_t WindowProcedure(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

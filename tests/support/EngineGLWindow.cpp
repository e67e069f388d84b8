#include "support/EngineGLWindow.h"

#include "engine/AppWindow.h"

namespace {

// Once per process, like start-up: the temporary window stays until the end.
bool ExtensionsLoaded() {
    static const bool loaded = [] {
        AppWindow temporary;
        return CreateAppWindow(0, 0, temporary, nullptr, false, false) && LoadExtensions(temporary);
    }();
    return loaded;
}

}  // namespace

GLTestWindow::GLTestWindow(int width, int height) {
    AppWindow window;
    if (ExtensionsLoaded() && CreateAppWindow(width, height, window, nullptr, false, false)) window_ = window.window;
}

GLTestWindow::~GLTestWindow() {
    if (window_) platform::DestroyWindow(window_);
}

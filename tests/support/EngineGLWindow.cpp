#include "support/EngineGLWindow.h"

#include "engine/AppWindow.h"
#include "support/GLExtensions.h"

GLTestWindow::GLTestWindow(int width, int height) {
    AppWindow window;
    if (TestExtensionsLoaded() && CreateAppWindow(width, height, window, nullptr, false, false)) window_ = window.window;
}

GLTestWindow::~GLTestWindow() {
    if (window_) platform::DestroyWindow(window_);
}

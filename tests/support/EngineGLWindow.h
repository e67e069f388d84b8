#pragma once
// A hidden window whose pixel format is still unset, with GLEW initialised on a temporary
// window first, as start-up does: what CreateGLContext expects to be given. Needs gLogger.

#include "platform/Platform.h"

class GLTestWindow {
public:
    GLTestWindow(int width, int height);
    ~GLTestWindow();
    GLTestWindow(const GLTestWindow&) = delete;
    GLTestWindow& operator=(const GLTestWindow&) = delete;

    // False when there is no display or GLEW could not start.
    bool Valid() const { return static_cast<bool>(window_); }
    platform::WindowHandle Handle() const { return window_; }

private:
    platform::WindowHandle window_;
};

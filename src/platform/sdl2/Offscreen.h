#pragma once
// Drawing with no window system: EGL on a GPU (EGL_EXT_platform_device) or on Mesa's software
// rasteriser (EGL_MESA_platform_surfaceless), into a pbuffer per window of the window's size.
// Chosen at run time by whoever starts the program, through the environment: QUARN_HEADLESS is
// "surfaceless" or the index of an EGL device. Windows are then records with no native window,
// and the GL calls of the layer go to EGL instead of GLX.

#include "platform/Platform.h"
#include "sdl2/SdlWindows.h"

namespace platform::sdl2 {

bool Offscreen();

namespace offscreen {

int ChooseFormat(bool rgba, int colorBits, int alphaBits, int depthBits, int stencilBits, int samples);
bool Describe(int format, PixelFormatDescriptor& descriptor);
bool SetFormat(WindowRecord& record, int format);
GLContextHandle CreateContext(WindowRecord& record, GLContextHandle share, int major, int minor);
bool MakeCurrent(WindowRecord* record, GLContextHandle context);
bool DeleteContext(GLContextHandle context);
bool Swap(WindowRecord& record);
// Before the window record goes away.
void ReleaseSurface(WindowRecord& record);

}  // namespace offscreen

}  // namespace platform::sdl2

#pragma once
// EGL's devices, for the Linux tools that choose one to draw on off screen: the list and the words
// the platform layer's own start-up uses, so that a tool can refuse a device before any drawing.

#include <string>

namespace platform::egl {

// Devices listed at most; QUARN_HEADLESS names one of them.
constexpr int kMostDevices = 16;

// EGL's name of an error code, as its manual and the drivers' messages give it ("EGL_BAD_ACCESS").
const char* ErrorName(int error);
// The display of device `index` (an EGLDisplay), not yet initialised; null, saying why with the
// number of devices there are, when there is none.
void* OpenDevice(int index, std::string& why);
// Whether device `index` initialises and offers OpenGL on a pbuffer, as a capture on it needs;
// when not, why, with EGL's error by name and the number of devices there are. Leaves it closed.
bool CheckDevice(int index, std::string& why);

}  // namespace platform::egl

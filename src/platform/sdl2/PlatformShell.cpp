#include "platform/Platform.h"

#include <SDL.h>

#include <cstdlib>

namespace platform {

bool OpenUrl(const char* url) {
    // A virtual display (tests, CI) or a console has no one looking at a browser.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
    return SDL_OpenURL(url) == 0;
}

}  // namespace platform

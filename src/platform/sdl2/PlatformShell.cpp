#include "platform/Platform.h"

#include <SDL.h>

#include <cstdlib>

namespace platform {

bool OpenUrl(const char* url) {
    // A desktop session names itself; a virtual display (tests, CI, xvfb-run), a console or a
    // remote shell with a forwarded display has no one looking at a browser there.
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    const bool desktop =
        std::getenv("XDG_CURRENT_DESKTOP") || std::getenv("XDG_SESSION_TYPE") || std::getenv("DESKTOP_SESSION");
    if (!display || !desktop) return false;
    return SDL_OpenURL(url) == 0;
}

}  // namespace platform

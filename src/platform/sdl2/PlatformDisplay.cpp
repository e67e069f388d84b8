// user32 display services on SDL2: screen size, the full-screen display mode, the cursor.
#include "sdl2/SdlWindows.h"

namespace platform {

namespace sdl2 {

namespace {

// SDL changes the mode when a full-screen window is shown and puts the desktop mode back when
// it goes, so the change is recorded here and carried out by the full-screen window.
struct DisplayState {
    SDL_DisplayMode fullScreenMode{};
    bool hasFullScreenMode = false;
};

DisplayState& State() {
    static DisplayState state;
    return state;
}

// "32 bits per pixel" on Windows is four bytes per pixel; SDL counts the unused padding byte
// of XRGB formats out of its bits, so bytes are compared.
bool FindExactMode(int width, int height, uint32_t bitsPerPixel, SDL_DisplayMode& found) {
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        if (mode.w == width && mode.h == height && SDL_BYTESPERPIXEL(mode.format) * 8 == bitsPerPixel) {
            found = mode;
            return true;
        }
    }
    return false;
}

}  // namespace

const SDL_DisplayMode* FullScreenMode() {
    return State().hasFullScreenMode ? &State().fullScreenMode : nullptr;
}

}  // namespace sdl2

int GetSystemMetrics(int index) {
    SDL_DisplayMode desktop;
    if (!sdl2::EnsureVideo() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) return 0;
    switch (index) {
    case SM_CXSCREEN: return desktop.w;
    case SM_CYSCREEN: return desktop.h;
    default: return 0;
    }
}

// SDL sizes a window by its client area already.
bool AdjustWindowRectEx(Rect& /*rect*/, uint32_t /*style*/, uint32_t /*exStyle*/) {
    return true;
}

int32_t ChangeDisplaySettings(const DevMode* mode, uint32_t flags) {
    sdl2::DisplayState& state = sdl2::State();
    if (!mode) {
        state.hasFullScreenMode = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    constexpr uint32_t kNeeded = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    SDL_DisplayMode found;
    if (!(flags & CDS_FULLSCREEN) || (mode->fields & kNeeded) != kNeeded || !sdl2::EnsureVideo() ||
        !sdl2::FindExactMode(static_cast<int>(mode->pelsWidth), static_cast<int>(mode->pelsHeight), mode->bitsPerPel, found))
        return DISP_CHANGE_BADMODE;
    state.fullScreenMode = found;
    state.hasFullScreenMode = true;
    return DISP_CHANGE_SUCCESSFUL;
}

int ShowCursor(bool show) {
    if (!sdl2::EnsureVideo()) return 0;
    return SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE) == SDL_ENABLE ? 0 : -1;
}

}  // namespace platform

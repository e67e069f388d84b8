// user32 display services in a browser. There is no display mode to change: the page shows the
// canvas full screen or in the window, and the picture is scaled to it, so every full-screen
// mode the engine asks for is granted and changes nothing.
#include "web/WebWindows.h"

#include <emscripten/html5.h>

namespace platform {

int GetSystemMetrics(int index) {
    int width = 0;
    int height = 0;
    web::CanvasSize(width, height);
    switch (index) {
    case SM_CXSCREEN: return width;
    case SM_CYSCREEN: return height;
    default: return 0;
    }
}

// The canvas has no frame: its client area is the whole of it.
bool AdjustWindowRectEx(Rect& /*rect*/, uint32_t /*style*/, uint32_t /*exStyle*/) {
    return true;
}

int32_t ChangeDisplaySettings(const DevMode* mode, uint32_t flags) {
    if (!mode) return DISP_CHANGE_SUCCESSFUL;
    constexpr uint32_t kNeeded = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (!(flags & CDS_FULLSCREEN) || (mode->fields & kNeeded) != kNeeded) return DISP_CHANGE_BADMODE;
    return DISP_CHANGE_SUCCESSFUL;
}

// The display counter of Windows: the cursor shows while it is 0 or more.
int ShowCursor(bool show) {
    static int counter = 0;
    counter += show ? 1 : -1;
    if (counter >= 0)
        emscripten_run_script("document.getElementById('canvas').style.cursor='';");
    else
        emscripten_run_script("document.getElementById('canvas').style.cursor='none';");
    return counter;
}

}  // namespace platform

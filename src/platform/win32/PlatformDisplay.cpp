// user32 display services: screen size, the full-screen display mode, the cursor.
#include "win32/Win32Windows.h"

namespace platform {

int GetSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

bool AdjustWindowRectEx(Rect& rect, uint32_t style, uint32_t exStyle) {
    RECT native{rect.left, rect.top, rect.right, rect.bottom};
    if (!::AdjustWindowRectEx(&native, style, FALSE, exStyle)) return false;
    rect = Rect{native.left, native.top, native.right, native.bottom};
    return true;
}

int32_t ChangeDisplaySettings(const DevMode* mode, uint32_t flags) {
    if (!mode) return ::ChangeDisplaySettingsW(nullptr, 0);
    DEVMODEW native{};
    native.dmSize = sizeof native;
    native.dmFields = mode->fields;
    native.dmBitsPerPel = mode->bitsPerPel;
    native.dmPelsWidth = mode->pelsWidth;
    native.dmPelsHeight = mode->pelsHeight;
    return ::ChangeDisplaySettingsW(&native, flags);
}

int ShowCursor(bool show) {
    return ::ShowCursor(show ? TRUE : FALSE);
}

}  // namespace platform

// user32 windows: classes, creation, titles, icons, sizes. Every window of a class registered
// here runs one window procedure of the backend's, which hands its messages to the platform's
// window procedure under the window's platform handle.
#include "WindowTable.h"
#include "win32/Win32Windows.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace win32 {

namespace {

struct ClassRecord {
    std::u16string name;
    WindowProc windowProc = nullptr;
    const IconImage* icons = nullptr;  // kept by the caller while the class lives
    int iconCount = 0;
};

using WindowState = WindowTable<ClassRecord, WindowRecord>;

WindowState& State() {
    static WindowState state;
    return state;
}

void Forget(const WindowRecord* record) {
    auto& windows = State().windows;
    std::erase_if(windows, [record](const auto& r) { return r.get() == record; });
}

void ReleaseIcons(WindowRecord& record) {
    if (record.bigIcon) ::DestroyIcon(record.bigIcon);
    if (record.smallIcon) ::DestroyIcon(record.smallIcon);
    record.bigIcon = record.smallIcon = nullptr;
}

// The record rides in on the creation parameter and is bound to the native window on the first
// message, so that the messages sent during CreateWindowExW already reach the platform procedure.
LRESULT CALLBACK RoutingWindowProc(HWND native, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = FindWindow(native);
    if (!record && message == WM_NCCREATE) {
        record = static_cast<WindowRecord*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (record) record->native = native;
    }
    if (!record || !record->windowProc) return ::DefWindowProcW(native, message, wParam, lParam);
    const LRESULT result = record->windowProc(record->handle, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ReleaseIcons(*record);
        Forget(record);
    }
    return result;
}

// An icon from 8-bit RGBA rows: a 32-bit colour bitmap whose alpha is the shape, and the
// monochrome mask Windows asks for beside it.
HICON CreateIconFromRgba(const IconImage& image) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = image.width;
    header.bV5Height = -image.height;  // rows from the top
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP colour = ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                        nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    // The alpha is the shape; the mask, all clear, only has to be defined. Its rows are whole words.
    const std::vector<uint8_t> clear(static_cast<size_t>((image.width + 15) / 16 * 2) * image.height);
    HBITMAP mask = ::CreateBitmap(image.width, image.height, 1, 1, clear.data());
    HICON icon = nullptr;
    if (colour && mask && bits) {
        auto* bgra = static_cast<uint8_t*>(bits);
        const size_t count = static_cast<size_t>(image.width) * image.height;
        for (size_t i = 0; i < count; ++i) {
            bgra[i * 4 + 0] = image.rgba[i * 4 + 2];
            bgra[i * 4 + 1] = image.rgba[i * 4 + 1];
            bgra[i * 4 + 2] = image.rgba[i * 4 + 0];
            bgra[i * 4 + 3] = image.rgba[i * 4 + 3];
        }
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmMask = mask;
        info.hbmColor = colour;
        icon = ::CreateIconIndirect(&info);
    }
    if (colour) ::DeleteObject(colour);
    if (mask) ::DeleteObject(mask);
    return icon;
}

// The image nearest in size to `side`, among the usable ones.
const IconImage* Nearest(const IconImage* images, int count, int side) {
    const IconImage* nearest = nullptr;
    for (int i = 0; i < count; ++i) {
        const IconImage& image = images[i];
        if (!image.rgba || image.width <= 0 || image.height <= 0) continue;
        if (!nearest || std::abs(image.width - side) < std::abs(nearest->width - side)) nearest = &image;
    }
    return nearest;
}

}  // namespace

WindowRecord* FindWindow(WindowHandle window) {
    if (!window) return nullptr;
    for (const auto& record : State().windows)
        if (record->handle == window && record->native) return record.get();
    return nullptr;
}

WindowRecord* FindWindow(HWND native) {
    if (!native) return nullptr;
    for (const auto& record : State().windows)
        if (record->native == native) return record.get();
    return nullptr;
}

}  // namespace win32

using win32::FindWindow;
using win32::WindowRecord;

InstanceHandle GetModuleHandle() {
    return ::GetModuleHandleW(nullptr);
}

bool RegisterClassEx(const WindowClass& windowClass) {
    if (!windowClass.className || win32::State().FindClass(windowClass.className)) return false;
    WNDCLASSEXW native{};
    native.cbSize = sizeof native;
    native.style = windowClass.style;
    native.lpfnWndProc = win32::RoutingWindowProc;
    native.hInstance = static_cast<HINSTANCE>(const_cast<void*>(windowClass.instance));
    native.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    native.lpszClassName = win32::Wide(windowClass.className);
    if (!::RegisterClassExW(&native)) return false;
    win32::State().classes.push_back(
        {windowClass.className, windowClass.windowProc, windowClass.icons, windowClass.iconCount});
    return true;
}

WindowHandle CreateWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title, uint32_t style,
                            int x, int y, int width, int height, InstanceHandle instance) {
    const win32::ClassRecord* windowClass = win32::State().FindClass(className);
    if (!windowClass) return {};
    auto owned = std::make_unique<WindowRecord>();
    WindowRecord* record = owned.get();
    record->handle = WindowHandle{win32::State().nextWindowId++};
    record->windowProc = windowClass->windowProc;
    win32::State().windows.push_back(std::move(owned));

    HWND native = ::CreateWindowExW(exStyle, win32::Wide(className), win32::Wide(title ? title : u""), style, x, y,
                                    width, height, nullptr, nullptr,
                                    static_cast<HINSTANCE>(const_cast<void*>(instance)), record);
    if (!native) {
        win32::Forget(record);
        return {};
    }
    record->dc = ::GetDC(native);
    // Each window carries its own copies of the class's icons, released with it.
    if (windowClass->iconCount > 0) SetWindowIcon(record->handle, windowClass->icons, windowClass->iconCount);
    return record->handle;
}

bool DestroyWindow(WindowHandle window) {
    WindowRecord* record = FindWindow(window);
    return record && ::DestroyWindow(record->native);
}

bool ShowWindow(WindowHandle window, int command) {
    WindowRecord* record = FindWindow(window);
    return record && ::ShowWindow(record->native, command);
}

bool GetClientRect(WindowHandle window, Rect& rect) {
    WindowRecord* record = FindWindow(window);
    RECT native;
    if (!record || !::GetClientRect(record->native, &native)) return false;
    rect = Rect{native.left, native.top, native.right, native.bottom};
    return true;
}

bool SetWindowText(WindowHandle window, const char16_t* text) {
    WindowRecord* record = FindWindow(window);
    return record && ::SetWindowTextW(record->native, win32::Wide(text ? text : u""));
}

int GetWindowTextLength(WindowHandle window) {
    WindowRecord* record = FindWindow(window);
    return record ? ::GetWindowTextLengthW(record->native) : 0;
}

int GetWindowText(WindowHandle window, char16_t* text, int capacity) {
    WindowRecord* record = FindWindow(window);
    if (!record || !text || capacity <= 0) return 0;
    return ::GetWindowTextW(record->native, win32::Wide(text), capacity);
}

// The title bar and the task switcher take different sizes: each gets the nearest image.
bool SetWindowIcon(WindowHandle window, const IconImage* images, int count) {
    WindowRecord* record = FindWindow(window);
    if (!record || !images || count <= 0) return false;
    const IconImage* big = win32::Nearest(images, count, ::GetSystemMetrics(SM_CXICON));
    const IconImage* small = win32::Nearest(images, count, ::GetSystemMetrics(SM_CXSMICON));
    if (!big || !small) return false;
    HICON bigIcon = win32::CreateIconFromRgba(*big);
    HICON smallIcon = win32::CreateIconFromRgba(*small);
    if (!bigIcon || !smallIcon) {
        if (bigIcon) ::DestroyIcon(bigIcon);
        if (smallIcon) ::DestroyIcon(smallIcon);
        return false;
    }
    ::SendMessageW(record->native, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    ::SendMessageW(record->native, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    win32::ReleaseIcons(*record);
    record->bigIcon = bigIcon;
    record->smallIcon = smallIcon;
    return true;
}

}  // namespace platform

// user32 windows on SDL2: classes, creation, titles, icons, sizes.
#include "WindowTable.h"
#include "sdl2/SdlWindows.h"

#include "sdl2/Offscreen.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {

namespace sdl2 {

namespace {

struct ClassRecord {
    std::u16string name;
    WindowClass windowClass;
};

struct IconRecord {
    std::vector<uint8_t> rgba;
    int width = 0;
    int height = 0;
};

struct WindowState : WindowTable<ClassRecord, WindowRecord> {
    std::vector<std::pair<uint32_t, IconRecord>> icons;  // by window id
};

WindowState& State() {
    static WindowState state;
    return state;
}

IconRecord* FindIcon(uint32_t windowId) {
    for (auto& [id, icon] : State().icons)
        if (id == windowId) return &icon;
    return nullptr;
}

void ApplyIcon(const WindowRecord& record) {
    const IconRecord* icon = FindIcon(record.handle.id);
    if (!icon || !record.native) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(icon->rgba.data()), icon->width,
                                                              icon->height, 32, icon->width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return;
    SDL_SetWindowIcon(record.native, surface);
    SDL_FreeSurface(surface);
}

SDL_Window* CreateNative(WindowRecord& record) {
    uint32_t flags = SDL_WINDOW_HIDDEN | ((record.style & WS_POPUP) ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_RESIZABLE);
    // SDL cannot make an empty window; Windows can. The smallest SDL offers stands in for it.
    SDL_Window* native = SDL_CreateWindow(record.titleUtf8.c_str(), record.x, record.y, record.width > 0 ? record.width : 1,
                                          record.height > 0 ? record.height : 1, flags);
    if (!native) return nullptr;
    if (record.fullScreen) {
        SDL_SetWindowDisplayMode(native, FullScreenMode());
        SDL_SetWindowFullscreen(native, SDL_WINDOW_FULLSCREEN);
    } else if (record.desktopFullScreen) {
        SDL_SetWindowFullscreen(native, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    record.native = native;
    record.nativeId = SDL_GetWindowID(native);
    ApplyIcon(record);
    if (record.shown) SDL_ShowWindow(native);
    return native;
}

void DestroyNative(WindowRecord& record) {
    offscreen::ReleaseSurface(record);
    if (!record.native) return;
    ReleaseContextOn(record);
    SDL_DestroyWindow(record.native);
    record.native = nullptr;
    record.nativeId = 0;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

bool EnsureVideo() {
    static const bool ready = [] {
        // Off screen there is no display to open, and nothing to say about it.
        if (Offscreen()) return false;
        // Closing one window must not end the program behind the engine's back; a SIGINT still
        // arrives as SDL_QUIT.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "QuarnEngine: no display: %s\n", SDL_GetError());
            return false;
        }
        // Puts the desktop display mode back whichever way the program ends.
        std::atexit(SDL_Quit);
        SDL_StartTextInput();
        return true;
    }();
    return ready;
}

WindowRecord* FindWindow(WindowHandle window) {
    if (!window) return nullptr;
    for (const auto& record : State().windows)
        if (record->handle == window && !record->destroying) return record.get();
    return nullptr;
}

WindowRecord* FindWindowByNativeId(uint32_t nativeId) {
    for (const auto& record : State().windows)
        if (record->nativeId == nativeId && !record->destroying) return record.get();
    return nullptr;
}

bool RecreateNativeWindow(WindowRecord& record, unsigned long visualId) {
    char visual[32];
    std::snprintf(visual, sizeof visual, "0x%lx", visualId);
    if (record.native) SDL_GetWindowPosition(record.native, &record.x, &record.y);
    DestroyNative(record);
    SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, visual);
    SDL_Window* native = CreateNative(record);
    SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, "");
    return native != nullptr;
}

intptr_t SendToWindow(WindowRecord& record, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return record.windowProc ? record.windowProc(record.handle, message, wParam, lParam)
                             : DefWindowProc(record.handle, message, wParam, lParam);
}

void WideToUtf8(const char16_t* text, std::string& out) {
    out.clear();
    if (!text) return;
    for (size_t i = 0; text[i] != 0; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(cp, out);
    }
}

}  // namespace sdl2

using sdl2::FindWindow;
using sdl2::WindowRecord;

InstanceHandle GetModuleHandle() {
    static const char instance = 0;
    return &instance;
}

bool RegisterClassEx(const WindowClass& windowClass) {
    if (!windowClass.className || sdl2::State().FindClass(windowClass.className)) return false;
    sdl2::State().classes.push_back({windowClass.className, windowClass});
    sdl2::State().classes.back().windowClass.className = nullptr;  // the record owns the name
    return true;
}

WindowHandle CreateWindowEx(uint32_t /*exStyle*/, const char16_t* className, const char16_t* title, uint32_t style,
                            int x, int y, int width, int height, InstanceHandle /*instance*/) {
    const sdl2::ClassRecord* windowClass = sdl2::State().FindClass(className);
    if (!windowClass || (!sdl2::Offscreen() && !sdl2::EnsureVideo())) return {};

    auto record = std::make_unique<WindowRecord>();
    record->handle = WindowHandle{sdl2::State().nextWindowId++};
    record->windowProc = windowClass->windowClass.windowProc;
    record->title = title ? title : u"";
    sdl2::WideToUtf8(record->title.c_str(), record->titleUtf8);
    record->style = style;
    record->x = x;
    record->y = y;
    record->width = width;
    record->height = height;
    const SDL_DisplayMode* mode = sdl2::FullScreenMode();
    record->fullScreen = (style & WS_POPUP) && mode && mode->w == width && mode->h == height;
    SDL_DisplayMode desktop;
    record->desktopFullScreen = (style & WS_POPUP) && !mode && !sdl2::Offscreen() &&
                                SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w == width &&
                                desktop.h == height;
    if (!sdl2::Offscreen() && !sdl2::CreateNative(*record)) return {};

    WindowRecord& created = *record;
    sdl2::State().windows.push_back(std::move(record));
    const WindowClass& wc = windowClass->windowClass;
    if (wc.iconCount > 0) SetWindowIcon(created.handle, wc.icons, wc.iconCount);

    // Windows sends these while CreateWindowEx runs, before the caller has the handle.
    const WindowHandle handle = created.handle;
    Rect client;
    GetClientRect(handle, client);
    sdl2::SendToWindow(created, WM_SIZE, SIZE_RESTORED, MakeLParam(client.right, client.bottom));
    if (WindowRecord* live = FindWindow(handle)) {
        if (live->native) SDL_GetWindowPosition(live->native, &live->x, &live->y);
        sdl2::SendToWindow(*live, WM_MOVE, 0, MakeLParam(live->x, live->y));
    }
    return handle;
}

bool DestroyWindow(WindowHandle window) {
    WindowRecord* record = FindWindow(window);
    if (!record) return false;
    sdl2::SendToWindow(*record, WM_DESTROY, 0, 0);
    record->destroying = true;
    sdl2::DestroyNative(*record);
    auto& windows = sdl2::State().windows;
    std::erase_if(windows, [window](const auto& r) { return r->handle == window; });
    std::erase_if(sdl2::State().icons, [window](const auto& icon) { return icon.first == window.id; });
    return true;
}

bool ShowWindow(WindowHandle window, int command) {
    WindowRecord* record = FindWindow(window);
    if (!record) return false;
    const bool wasShown = record->shown;
    record->shown = command != SW_HIDE;
    if (!record->native) return wasShown;
    if (record->shown)
        SDL_ShowWindow(record->native);
    else
        SDL_HideWindow(record->native);
    return wasShown;
}

bool GetClientRect(WindowHandle window, Rect& rect) {
    WindowRecord* record = FindWindow(window);
    if (!record) return false;
    // Off screen, a window keeps the size it was made with.
    int width = record->width;
    int height = record->height;
    if (record->native) SDL_GetWindowSize(record->native, &width, &height);
    rect = Rect{0, 0, width, height};
    return true;
}

bool SetWindowText(WindowHandle window, const char16_t* text) {
    WindowRecord* record = FindWindow(window);
    if (!record) return false;
    record->title = text ? text : u"";
    sdl2::WideToUtf8(record->title.c_str(), record->titleUtf8);
    if (record->native) SDL_SetWindowTitle(record->native, record->titleUtf8.c_str());
    return true;
}

int GetWindowTextLength(WindowHandle window) {
    WindowRecord* record = FindWindow(window);
    return record ? static_cast<int>(record->title.size()) : 0;
}

int GetWindowText(WindowHandle window, char16_t* text, int capacity) {
    WindowRecord* record = FindWindow(window);
    if (!record || !text || capacity <= 0) return 0;
    const int count = std::min(capacity - 1, static_cast<int>(record->title.size()));
    record->title.copy(text, static_cast<size_t>(count));
    text[count] = 0;
    return count;
}

bool SetWindowIcon(WindowHandle window, const IconImage* images, int count) {
    WindowRecord* record = FindWindow(window);
    if (!record || !images || count <= 0) return false;
    const IconImage* largest = nullptr;
    for (int i = 0; i < count; ++i) {
        const IconImage& image = images[i];
        if (image.rgba && image.width > 0 && image.height > 0 &&
            (!largest || image.width * image.height > largest->width * largest->height))
            largest = &image;
    }
    if (!largest) return false;

    // Copied, so that the window can put it back when its native window is replaced.
    sdl2::IconRecord icon;
    icon.width = largest->width;
    icon.height = largest->height;
    icon.rgba.assign(largest->rgba, largest->rgba + static_cast<size_t>(largest->width) * largest->height * 4);
    if (sdl2::IconRecord* existing = sdl2::FindIcon(window.id))
        *existing = std::move(icon);
    else
        sdl2::State().icons.emplace_back(window.id, std::move(icon));
    sdl2::ApplyIcon(*record);
    return true;
}

}  // namespace platform

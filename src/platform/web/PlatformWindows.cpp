// user32 windows in a browser: classes, the canvas as the window, the page's title as its text.
#include "WindowTable.h"
#include "web/WebWindows.h"

#include <emscripten/html5.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace platform {

namespace web {

namespace {

struct ClassRecord {
    std::u16string name;
    WindowClass windowClass;
};

using WindowState = WindowTable<ClassRecord, WindowRecord>;

WindowState& State() {
    static WindowState state;
    return state;
}

}  // namespace

WindowRecord* FindWindow(WindowHandle window) {
    for (const auto& record : State().windows)
        if (record->handle == window) return record.get();
    return nullptr;
}

WindowRecord* ShownWindow() {
    for (const auto& record : State().windows)
        if (record->shown) return record.get();
    return nullptr;
}

intptr_t SendToWindow(WindowRecord& record, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return record.windowProc ? record.windowProc(record.handle, message, wParam, lParam) : 0;
}

void CanvasSize(int& width, int& height) {
    if (emscripten_get_canvas_element_size(kCanvas, &width, &height) != EMSCRIPTEN_RESULT_SUCCESS) width = height = 0;
}

}  // namespace web

using web::WindowRecord;

InstanceHandle GetModuleHandle() {
    static const char instance = 0;
    return &instance;
}

bool RegisterClassEx(const WindowClass& windowClass) {
    if (!windowClass.className || web::State().FindClass(windowClass.className)) return false;
    web::State().classes.push_back({windowClass.className, windowClass});
    web::State().classes.back().windowClass.className = nullptr;  // the record owns the name
    return true;
}

// The page decides the canvas's size; the window asked for is only what the engine would have
// liked, so the size messages carry the canvas's.
WindowHandle CreateWindowEx(uint32_t /*exStyle*/, const char16_t* className, const char16_t* title, uint32_t /*style*/,
                            int /*x*/, int /*y*/, int /*width*/, int /*height*/, InstanceHandle /*instance*/) {
    const web::ClassRecord* windowClass = web::State().FindClass(className);
    if (!windowClass) return {};
    auto record = std::make_unique<WindowRecord>();
    record->handle = WindowHandle{web::State().nextWindowId++};
    record->windowProc = windowClass->windowClass.windowProc;
    WindowRecord& created = *record;
    web::State().windows.push_back(std::move(record));
    SetWindowText(created.handle, title);

    const WindowHandle handle = created.handle;
    Rect client;
    GetClientRect(handle, client);
    web::SendToWindow(created, WM_SIZE, SIZE_RESTORED, MakeLParam(client.right, client.bottom));
    if (WindowRecord* live = web::FindWindow(handle)) web::SendToWindow(*live, WM_MOVE, 0, MakeLParam(0, 0));
    return handle;
}

bool DestroyWindow(WindowHandle window) {
    WindowRecord* record = web::FindWindow(window);
    if (!record) return false;
    web::SendToWindow(*record, WM_DESTROY, 0, 0);
    std::erase_if(web::State().windows, [window](const auto& r) { return r->handle == window; });
    return true;
}

bool ShowWindow(WindowHandle window, int command) {
    WindowRecord* record = web::FindWindow(window);
    if (!record) return false;
    const bool wasShown = record->shown;
    record->shown = command != SW_HIDE;
    return wasShown;
}

bool GetClientRect(WindowHandle window, Rect& rect) {
    if (!web::FindWindow(window)) return false;
    int width = 0;
    int height = 0;
    web::CanvasSize(width, height);
    rect = Rect{0, 0, width, height};
    return true;
}

bool SetWindowText(WindowHandle window, const char16_t* text) {
    WindowRecord* record = web::FindWindow(window);
    if (!record) return false;
    record->title = text ? text : u"";
    return true;
}

int GetWindowTextLength(WindowHandle window) {
    WindowRecord* record = web::FindWindow(window);
    return record ? static_cast<int>(record->title.size()) : 0;
}

int GetWindowText(WindowHandle window, char16_t* text, int capacity) {
    WindowRecord* record = web::FindWindow(window);
    if (!record || !text || capacity <= 0) return 0;
    const int count = std::min(capacity - 1, static_cast<int>(record->title.size()));
    record->title.copy(text, static_cast<size_t>(count));
    text[count] = 0;
    return count;
}

// The page carries its own icon.
bool SetWindowIcon(WindowHandle window, const IconImage* images, int count) {
    return web::FindWindow(window) && images && count > 0;
}

}  // namespace platform

// user32 messages in a browser: the page's key events and the canvas's size become window
// messages, and the browser's animation frames drive the loop.
#include "web/WebWindows.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <deque>

namespace platform {

namespace web {

namespace {

struct MessageState {
    std::deque<Message> posted;
    bool quitPending = false;
    int exitCode = 0;
    int deliveredExitCode = 0;  // the one WM_QUIT carried, whatever was posted after it
    bool listening = false;
    bool shiftDown = false;
    int lastWidth = -1;
    int lastHeight = -1;
};

MessageState& State() {
    static MessageState state;
    return state;
}

// The keys the engine can ask for. The DOM's key codes for these are Windows' virtual keys.
uintptr_t VirtualKey(unsigned long keyCode) {
    if ((keyCode >= 'A' && keyCode <= 'Z') || (keyCode >= '0' && keyCode <= '9')) return keyCode;
    switch (keyCode) {
    case VK_ESCAPE:
    case VK_RETURN:
    case VK_SPACE:
    case VK_HOME:
    case VK_TAB:
    case VK_BACK:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return keyCode;
    default: return 0;
    }
}

EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* event, void* /*user*/) {
    State().shiftDown = event->shiftKey;
    if (eventType != EMSCRIPTEN_EVENT_KEYDOWN) return EM_FALSE;
    WindowRecord* record = ShownWindow();
    const uintptr_t key = VirtualKey(event->keyCode);
    if (!record || key == 0 || event->ctrlKey || event->altKey || event->metaKey) return EM_FALSE;
    // lParam: repeat count 1, bit 30 set when the key was already down.
    Post(record->handle, WM_KEYDOWN, key, 1 | (event->repeat ? (1 << 30) : 0));
    // A single character is the text the key types.
    char16_t units[4];
    const int length = static_cast<int>(std::strlen(event->key));
    const int count = MultiByteToWideChar(event->key, length, units, 4);
    if (count == 1 || (count == 2 && units[0] >= 0xD800 && units[0] < 0xDC00))
        for (int i = 0; i < count; ++i) Post(record->handle, WM_CHAR, units[i], 1);
    return EM_TRUE;
}

void Listen() {
    MessageState& state = State();
    if (state.listening) return;
    state.listening = true;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
}

// The page resizes the canvas as the window or the full screen changes; the window hears of it
// as WM_SIZE before the next frame.
void CheckCanvasSize() {
    WindowRecord* record = ShownWindow();
    if (!record) return;
    int width = 0;
    int height = 0;
    CanvasSize(width, height);
    MessageState& state = State();
    if (width == state.lastWidth && height == state.lastHeight) return;
    state.lastWidth = width;
    state.lastHeight = height;
    SendToWindow(*record, WM_SIZE, SIZE_RESTORED, MakeLParam(width, height));
}

bool Matches(const Message& message, WindowHandle window, uint32_t filterMin, uint32_t filterMax) {
    if (window && message.window != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return message.message >= filterMin && message.message <= filterMax;
}

struct MainLoop {
    MainLoopStep step = nullptr;
    void* context = nullptr;
};

void RunStep(void* argument) {
    const MainLoop& loop = *static_cast<MainLoop*>(argument);
    if (loop.step(loop.context)) return;
    emscripten_cancel_main_loop();
    // The page shows the end and offers the log.
    EM_ASM({ if (Module.onPlayerEnd) Module.onPlayerEnd($0); }, State().deliveredExitCode);
}

}  // namespace

void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    State().posted.push_back(Message{window, message, wParam, lParam});
}

}  // namespace web

bool PeekMessage(Message& message, WindowHandle window, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags) {
    web::Listen();
    web::CheckCanvasSize();
    web::MessageState& state = web::State();
    for (auto it = state.posted.begin(); it != state.posted.end(); ++it) {
        if (!web::Matches(*it, window, filterMin, filterMax)) continue;
        message = *it;
        if (removeFlags & PM_REMOVE) state.posted.erase(it);
        return true;
    }
    if (state.quitPending && web::Matches(Message{{}, WM_QUIT, 0, 0}, window, filterMin, filterMax)) {
        message = Message{{}, WM_QUIT, static_cast<uintptr_t>(static_cast<intptr_t>(state.exitCode)), 0};
        if (removeFlags & PM_REMOVE) {
            state.quitPending = false;
            state.deliveredExitCode = state.exitCode;
        }
        return true;
    }
    return false;
}

bool TranslateMessage(const Message& message) { return message.message == WM_KEYDOWN; }

intptr_t DispatchMessage(const Message& message) {
    web::WindowRecord* record = web::FindWindow(message.window);
    return record ? web::SendToWindow(*record, message.message, message.wParam, message.lParam) : 0;
}

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t /*wParam*/, intptr_t /*lParam*/) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

int16_t GetKeyState(uintptr_t virtualKey) {
    constexpr int16_t kDown = static_cast<int16_t>(0x8000);
    return virtualKey == VK_SHIFT && web::State().shiftDown ? kDown : 0;
}

// The browser calls the step once per animation frame; main returns at once (its locals live on,
// as Emscripten keeps the stack of a simulated infinite loop).
void RunMainLoop(MainLoopStep step, void* context) {
    static web::MainLoop loop;
    loop = web::MainLoop{step, context};
    emscripten_set_main_loop_arg(web::RunStep, &loop, 0, EM_TRUE);
}

void PostQuitMessage(int exitCode) {
    web::State().quitPending = true;
    web::State().exitCode = exitCode;
}

}  // namespace platform

// user32 messages: the thread's real message queue, with native windows named by their
// platform handles on the way out and back.
#include "win32/Win32Windows.h"

namespace platform {

namespace {

// The last message taken from the queue, as Windows gave it: the loop translates and dispatches
// what it has just peeked, and a message of a window that is not ours (an input method's, say)
// must still reach that window.
struct Peeked {
    Message message;
    MSG native{};
};

Peeked& LastPeeked() {
    static Peeked peeked;
    return peeked;
}

bool Same(const Message& a, const Message& b) {
    return a.window == b.window && a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}

// A message as Windows knows it again, for the calls that take one back.
MSG Native(const Message& message) {
    if (Same(message, LastPeeked().message)) return LastPeeked().native;
    MSG native{};
    const win32::WindowRecord* record = win32::FindWindow(message.window);
    native.hwnd = record ? record->native : nullptr;
    native.message = message.message;
    native.wParam = message.wParam;
    native.lParam = message.lParam;
    native.time = ::GetMessageTime();
    return native;
}

}  // namespace

bool PeekMessage(Message& message, WindowHandle window, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags) {
    const win32::WindowRecord* filter = window ? win32::FindWindow(window) : nullptr;
    if (window && !filter) return false;
    MSG native;
    if (!::PeekMessageW(&native, filter ? filter->native : nullptr, filterMin, filterMax, removeFlags)) return false;
    const win32::WindowRecord* record = win32::FindWindow(native.hwnd);
    message = Message{record ? record->handle : WindowHandle{}, native.message, native.wParam, native.lParam};
    LastPeeked() = {message, native};
    return true;
}

bool TranslateMessage(const Message& message) {
    const MSG native = Native(message);
    return ::TranslateMessage(&native);
}

intptr_t DispatchMessage(const Message& message) {
    const MSG native = Native(message);
    return native.hwnd ? ::DispatchMessageW(&native) : 0;
}

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const win32::WindowRecord* record = win32::FindWindow(window);
    return record ? ::DefWindowProcW(record->native, message, wParam, lParam) : 0;
}

void RunMainLoop(MainLoopStep step, void* context) {
    while (step(context)) {
    }
}

void PostQuitMessage(int exitCode) {
    ::PostQuitMessage(exitCode);
}

int16_t GetKeyState(uintptr_t virtualKey) {
    return ::GetKeyState(static_cast<int>(virtualKey));
}

}  // namespace platform

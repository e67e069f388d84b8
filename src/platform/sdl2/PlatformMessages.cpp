// user32 messages on SDL2: SDL's events become window messages, sent or posted as on Windows.
#include "sdl2/SdlWindows.h"

#include <deque>

namespace platform {

namespace sdl2 {

namespace {

struct MessageState {
    std::deque<Message> posted;
    bool quitPending = false;
    int exitCode = 0;
};

MessageState& State() {
    static MessageState state;
    return state;
}

void Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    State().posted.push_back(Message{window, message, wParam, lParam});
}

// The keys the engine can ask for; anything else raises no WM_KEYDOWN.
uintptr_t VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<uintptr_t>(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<uintptr_t>(key - SDLK_0);
    switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_HOME: return VK_HOME;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    default: return 0;
    }
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    WindowRecord* record = FindWindowByNativeId(event.windowID);
    if (!record) return;  // an event of a native window that was replaced or destroyed
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        SendToWindow(*record, WM_SIZE, SIZE_RESTORED, MakeLParam(event.data1, event.data2));
        break;
    case SDL_WINDOWEVENT_MOVED:
        record->x = event.data1;
        record->y = event.data2;
        SendToWindow(*record, WM_MOVE, 0, MakeLParam(event.data1, event.data2));
        break;
    case SDL_WINDOWEVENT_CLOSE: SendToWindow(*record, WM_CLOSE, 0, 0); break;
    default: break;
    }
}

void TranslateKeyDown(const SDL_KeyboardEvent& event) {
    WindowRecord* record = FindWindowByNativeId(event.windowID);
    const uintptr_t key = VirtualKey(event.keysym.sym);
    if (!record || key == 0) return;
    // lParam: repeat count 1, bit 30 set when the key was already down.
    Post(record->handle, WM_KEYDOWN, key, 1 | (event.repeat ? (1 << 30) : 0));
}

void TranslateText(const SDL_TextInputEvent& event) {
    WindowRecord* record = FindWindowByNativeId(event.windowID);
    if (!record) return;
    char16_t units[SDL_TEXTINPUTEVENT_TEXT_SIZE];
    const int count = MultiByteToWideChar(event.text, static_cast<int>(SDL_strlen(event.text)), units,
                                          SDL_TEXTINPUTEVENT_TEXT_SIZE);
    for (int i = 0; i < count; ++i) Post(record->handle, WM_CHAR, units[i], 1);
}

void PumpEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_WINDOWEVENT: TranslateWindowEvent(event.window); break;
        case SDL_KEYDOWN: TranslateKeyDown(event.key); break;
        case SDL_TEXTINPUT: TranslateText(event.text); break;
        // SIGINT or SIGTERM: end the way Escape does, with a clean shut-down.
        case SDL_QUIT: PostQuitMessage(0); break;
        default: break;
        }
    }
}

bool Matches(const Message& message, WindowHandle window, uint32_t filterMin, uint32_t filterMax) {
    if (window && message.window != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return message.message >= filterMin && message.message <= filterMax;
}

}  // namespace

}  // namespace sdl2

bool PeekMessage(Message& message, WindowHandle window, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags) {
    sdl2::PumpEvents();
    sdl2::MessageState& state = sdl2::State();
    for (auto it = state.posted.begin(); it != state.posted.end(); ++it) {
        if (!sdl2::Matches(*it, window, filterMin, filterMax)) continue;
        message = *it;
        if (removeFlags & PM_REMOVE) state.posted.erase(it);
        return true;
    }
    if (state.quitPending && sdl2::Matches(Message{{}, WM_QUIT, 0, 0}, window, filterMin, filterMax)) {
        message = Message{{}, WM_QUIT, static_cast<uintptr_t>(static_cast<intptr_t>(state.exitCode)), 0};
        if (removeFlags & PM_REMOVE) state.quitPending = false;
        return true;
    }
    return false;
}

bool TranslateMessage(const Message& message) {
    return message.message == WM_KEYDOWN;
}

intptr_t DispatchMessage(const Message& message) {
    sdl2::WindowRecord* record = sdl2::FindWindow(message.window);
    return record ? sdl2::SendToWindow(*record, message.message, message.wParam, message.lParam) : 0;
}

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t /*wParam*/, intptr_t /*lParam*/) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

int16_t GetKeyState(uintptr_t virtualKey) {
    constexpr int16_t kDown = static_cast<int16_t>(0x8000);
    if (virtualKey == VK_SHIFT && SDL_WasInit(SDL_INIT_VIDEO) && (SDL_GetModState() & KMOD_SHIFT)) return kDown;
    return 0;
}

void RunMainLoop(MainLoopStep step, void* context) {
    while (step(context)) {
    }
}

void PostQuitMessage(int exitCode) {
    sdl2::State().quitPending = true;
    sdl2::State().exitCode = exitCode;
}

}  // namespace platform

// The player: one Engine, its start-up, the message loop, its shut-down.
#include "engine/Engine.h"

int main() {
    Engine engine;
    if (!engine.Init(platform::GetModuleHandle())) platform::PostQuitMessage(-1);

    platform::Message message;
    for (;;) {
        if (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) {
            platform::TranslateMessage(message);
            platform::DispatchMessage(message);
            if (message.message == platform::WM_QUIT) break;
        } else {
            engine.Frame();
        }
    }
    engine.Shutdown();
    // The quit message's code: 0 for a normal end, -1 (exit status 255) for a failed start-up.
    return static_cast<int>(static_cast<intptr_t>(message.wParam));
}

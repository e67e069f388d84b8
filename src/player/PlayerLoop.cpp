#include "PlayerLoop.h"

#include "platform/Platform.h"

bool PlayerLoop::Step() {
    // A frame only once the queue is empty, as a PeekMessage loop does.
    platform::Message message;
    while (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) {
        platform::TranslateMessage(message);
        platform::DispatchMessage(message);
        if (message.message == platform::WM_QUIT) {
            engine_.Shutdown();
            // 0 for a normal end, -1 (exit status 255) for a failed start-up.
            exitCode_ = static_cast<int>(static_cast<intptr_t>(message.wParam));
            return false;
        }
    }
    engine_.Frame();
    return true;
}

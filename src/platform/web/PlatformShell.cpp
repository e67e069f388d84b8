#include "platform/Platform.h"

#include <emscripten.h>

namespace platform {

// A new tab; false when the browser blocked it.
bool OpenUrl(const char* url) {
    return EM_ASM_INT({ return window.open(UTF8ToString($0), '_blank') ? 1 : 0; }, url) != 0;
}

}  // namespace platform

#include "platform/Platform.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace platform {

bool OpenUrl(const char* url) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, url, -1, nullptr, 0);
    if (length <= 0) return false;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, url, -1, wide.data(), length);
    // ShellExecute's result is a pseudo-handle: above 32 means the browser was started.
    const auto result =
        reinterpret_cast<intptr_t>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace platform

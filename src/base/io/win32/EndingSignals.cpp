#include "io/EndingSignals.h"

#include "io/win32/WideText.h"

#include <csignal>

namespace {

constexpr int kSignalsThatEnd[] = {SIGINT, SIGTERM, SIGBREAK};

}  // namespace

std::span<const int> SignalsThatEnd() { return kSignalsThatEnd; }

void HandleIfDefault(int signal, void (*handler)(int)) {
    const auto previous = std::signal(signal, handler);
    if (previous != SIG_DFL && previous != SIG_ERR) std::signal(signal, previous);
}

// The C runtime runs handlers on a thread of its own, not inside an interrupted call.
void EndBy(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void RemoveFileAtEnd(const char* path) {
    wchar_t wide[MAX_PATH * 4];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, static_cast<int>(sizeof wide / sizeof *wide)) > 0)
        DeleteFileW(wide);
}

unsigned long ProcessAtEnd() { return GetCurrentProcessId(); }

#include "io/EndingSignals.h"

#include <csignal>
#include <unistd.h>

namespace {

constexpr int kSignalsThatEnd[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};

}  // namespace

std::span<const int> SignalsThatEnd() { return kSignalsThatEnd; }

void HandleIfDefault(int signal, void (*handler)(int)) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL)
        return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// The signal stays blocked while its handler runs, so it is delivered once the handler returns.
void EndBy(int signal) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void RemoveFileAtEnd(const char* path) { ::unlink(path); }

unsigned long ProcessAtEnd() { return static_cast<unsigned long>(::getpid()); }

#include "io/ProcessEnd.h"

#include "io/EndingSignals.h"

#include <cstdlib>

namespace {

void (*gCleanup)() = nullptr;

void OnEndingSignal(int signal) {
    gCleanup();
    EndBy(signal);
}

void CleanupAtExit() { gCleanup(); }

}  // namespace

void CallAtProcessEnd(void (*cleanup)()) {
    gCleanup = cleanup;
    std::atexit(CleanupAtExit);
    for (const int signal : SignalsThatEnd()) HandleIfDefault(signal, OnEndingSignal);
}

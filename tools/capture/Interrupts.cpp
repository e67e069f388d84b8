#include "Interrupts.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int signal) {
    if (gInterrupted == 0) gInterrupted = signal;
}

}  // namespace

void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
    return gInterrupted != 0;
}

int InterruptSignal() {
    return gInterrupted;
}

bool EndWithParent(int parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the request was made. Its orphans go to the nearest
    // subreaper (a desktop's systemd --user), not always to init, so only its own id tells.
    return getppid() == parent;
}

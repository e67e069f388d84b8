#include "Interrupts.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
    gInterrupted = 1;
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

void EndWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died before the request was made; its orphans are adopted by init.
    if (getppid() == 1) gInterrupted = 1;
}

#include "log/StartupObserver.h"

IStartupObserver* gStartupObserver = nullptr;

StartupScope::StartupScope(StartupEvent event, const char* name) : event(event), name(name) {
    if (gStartupObserver)
        gStartupObserver->Begin(event, name);
}

StartupScope::~StartupScope() {
    if (gStartupObserver)
        gStartupObserver->End(event, name);
}

void StartupScope::Next(const char* nextName) {
    if (gStartupObserver) {
        gStartupObserver->End(event, name);
        gStartupObserver->Begin(event, nextName);
    }
    name = nextName;
}

#include "support/GLExtensions.h"

#include "engine/AppWindow.h"

bool TestExtensionsLoaded() {
    static const bool loaded = [] {
        AppWindow hidden;
        return CreateAppWindow(0, 0, hidden, nullptr, false, false) && LoadExtensions(hidden);
    }();
    return loaded;
}

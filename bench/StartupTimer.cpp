#include "StartupTimer.h"

#include "Measurement.h"

void StartupTimer::Begin(StartupEvent event, const char* name) {
    if (event != StartupEvent::kStep) {
        loadStartMs = WallMilliseconds();
        return;
    }
    if (!open.empty())
        steps[open.back().index].hasInnerSteps = true;
    steps.push_back({name, static_cast<int>(open.size())});
    open.push_back({steps.size() - 1, WallMilliseconds()});
}

void StartupTimer::End(StartupEvent event, const char* /*name*/) {
    const double now = WallMilliseconds();
    if (event == StartupEvent::kStep) {
        if (open.empty())
            return;
        steps[open.back().index].ms = now - open.back().startMs;
        open.pop_back();
        return;
    }
    const size_t kind = static_cast<size_t>(event) - static_cast<size_t>(StartupEvent::kShader);
    for (const OpenStep& step : open) {
        LoadTime& load = steps[step.index].loads[kind];
        ++load.count;
        load.ms += now - loadStartMs;
    }
}

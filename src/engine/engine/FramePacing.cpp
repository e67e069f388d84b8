#include "engine/FramePacing.h"

std::optional<uint32_t> FrameSleepMilliseconds(float frameBudget, float t0, float t1, float t2) {
    const double elapsed = (static_cast<double>(t2) - t1) + (static_cast<double>(t1) - t0);
    const auto remaining = static_cast<float>(frameBudget - elapsed);
    if (!(remaining > 0.0f)) return std::nullopt;
    return static_cast<uint32_t>(remaining);
}

#include <gtest/gtest.h>

#include "effects/Bloom.h"
#include "effects/CubeTunnel.h"
#include "effects/Greetings.h"
#include "effects/PlanetEffect.h"
#include "effects/SphereMorph.h"

namespace {

// No context exists here and GL's entry points are still null: a Shutdown that made any GL call
// for what Init never created would crash, as a demo torn down after a failed start-up would.
TEST(EffectShutdown, EffectsWhoseInitNeverRanShutDownWithoutTouchingGL) {
    PlanetEffect planet;
    Greetings greetings;
    SphereMorph sphere;
    CubeTunnel tunnel;
    Bloom bloom;
    planet.Shutdown();
    greetings.Shutdown();
    sphere.Shutdown();
    tunnel.Shutdown();
    bloom.Shutdown();
    EXPECT_EQ(tunnel.meshProgram.program, 0u);
}

}  // namespace

#include "effects/GreetingsSchedule.h"

#include <cmath>

#include "math/Random.h"

namespace {

constexpr float kGreetingsFirstBeat = 92.399994f;
constexpr float kGreetingsLastBeat = 157.5f;
constexpr float kWindowBefore = -0.25f;
constexpr float kWindowAfter = 0.2f;

float OverlayDrift(float centre, int phase, double spin) {
    return centre - 0.6f * std::sin(static_cast<float>(phase + spin));
}

}  // namespace

const std::array<float, kGreetingMomentCount> kGreetingMoments = {
    96.00359f,  96.753296f,  97.49459f,  98.2485f,    98.99819f,  103.99829f, 104.748f,   105.499794f,
    106.2495f,  106.99919f,  111.9993f,  112.74899f,  113.498695f, 114.24839f, 114.9981f,  119.99819f,
    120.74999f, 121.499695f, 122.2494f,  122.99909f,  127.99919f, 128.74889f, 129.4986f,  130.24829f,
    130.998f,   135.9981f,   136.7499f,  137.49959f,  138.2493f,  138.999f,   143.99908f, 144.7488f,
    145.4985f,  146.24818f,  147.0f,     151.99799f,  152.74979f, 153.4995f,  154.2492f,  154.99889f,
};

int GreetingImageAt(float beat) {
    if (!(beat >= kGreetingsFirstBeat && beat <= kGreetingsLastBeat))
        return -1;
    int image = -1;
    for (int i = 0; i < kGreetingMomentCount; ++i) {
        const float offset = beat - kGreetingMoments[i];
        if (offset > kWindowBefore && offset < kWindowAfter)
            image = i / 2;
    }
    return image;
}

float LogoRise(float beat) { return ShowsLogo(beat) ? (beat - kLogoStartBeat) / 2.5f : 0.0f; }

bool ShowsLogo(float beat) { return beat >= kLogoStartBeat; }

bool ShowsCredits(float beat) { return beat >= kCreditsStartBeat; }

ParticleRecord OverlayRecord(float beat, double spin) {
    if (ShowsCredits(beat))
        return {0.0f, (beat - kCreditsStartBeat) / 24.0f - 1.75f, 0.0f, 1.0f};
    const int e = quarn::rand() % 500;
    const int f = quarn::rand() % 500;
    return {OverlayDrift(0.1f, e, spin), OverlayDrift(0.05f, f, spin), 0.0f, 1.0f};
}

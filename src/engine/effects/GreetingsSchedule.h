#pragma once
// What the greetings scene shows when, by the soundtrack's beat position: the greeting images
// at their moments, the logo from beat 337 and the credits from beat 350.

#include <array>

#include "effects/ParticleCloud.h"

inline constexpr int kGreetingMomentCount = 40;
// Two moments per image, image 1 first, ascending. The exact single-precision values matter:
// each window is less than half a beat wide.
extern const std::array<float, kGreetingMomentCount> kGreetingMoments;

inline constexpr float kLogoStartBeat = 337.0f;
inline constexpr float kCreditsStartBeat = 350.0f;

// The image (0 for image 1) whose window holds `beat`: -0.25 < beat - moment < 0.2 with the
// difference rounded to float, and only between beats 92.399994 and 157.5. -1 when none does.
int GreetingImageAt(float beat);

// Height the logo has risen at `beat`: 0 up to beat 337, then one unit per 2.5 beats.
float LogoRise(float beat);
bool ShowsLogo(float beat);
bool ShowsCredits(float beat);

// The overlay sprite's centre in screen space (-1 to 1). The credits scroll up from y = -1.75
// at one unit per 24 beats; before them the sprite drifts about (0.1, 0.05) on two random
// phases, the next two draws of the process-wide generator (made only then).
ParticleRecord OverlayRecord(float beat, double spin);

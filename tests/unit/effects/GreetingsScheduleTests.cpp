#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/GreetingsSchedule.h"
#include "math/Random.h"

namespace {

// One continuous stretch of beats during which the same image is shown.
struct Showing {
    int image = -1;
    float from = 0.0f;
    float to = 0.0f;
};

// Walks the beats from 85 to 165 in steps of 1/256 beat and records every showing.
std::vector<Showing> WalkTheSchedule() {
    std::vector<Showing> showings;
    int current = -1;
    for (int step = 85 * 256; step <= 165 * 256; ++step) {
        const float beat = static_cast<float>(step) / 256.0f;
        const int image = GreetingImageAt(beat);
        if (image != current && image >= 0)
            showings.push_back({image, beat, beat});
        else if (image >= 0)
            showings.back().to = beat;
        current = image;
    }
    return showings;
}

}  // namespace

TEST(GreetingsSchedule, EachMomentShowsItsImageFromStrictlyAfterTMinusAQuarter) {
    for (int i = 0; i < kGreetingMomentCount; ++i) {
        const float moment = kGreetingMoments[i];
        EXPECT_EQ(GreetingImageAt(moment - 0.25f), -1) << "moment " << i;
        EXPECT_EQ(GreetingImageAt(std::nextafter(moment - 0.25f, 1000.0f)), i / 2) << "moment " << i;
        EXPECT_EQ(GreetingImageAt(moment), i / 2) << "moment " << i;
        EXPECT_EQ(GreetingImageAt(moment + 0.19f), i / 2) << "moment " << i;
        EXPECT_EQ(GreetingImageAt(moment + 0.21f), -1) << "moment " << i;
    }
}

TEST(GreetingsSchedule, ImagesComeInOrderTwiceEachInNonOverlappingWindows) {
    const std::vector<Showing> showings = WalkTheSchedule();
    ASSERT_EQ(showings.size(), 40u);
    for (size_t i = 0; i < showings.size(); ++i) {
        EXPECT_EQ(showings[i].image, static_cast<int>(i / 2)) << i;
        EXPECT_NEAR(showings[i].to - showings[i].from, 0.45f, 2.0f / 256.0f) << i;
        if (i > 0) {
            EXPECT_GT(showings[i].from - showings[i - 1].to, 0.25f) << i;
        }
    }
    EXPECT_GT(showings.front().from, 95.7f);
    EXPECT_LT(showings.back().to, 155.2f);
}

TEST(GreetingsSchedule, NothingOutsideTheGreetingsStretch) {
    for (float beat : {-2.1f, 0.0f, 92.39999f, 157.50002f, 200.0f, 351.0f})
        EXPECT_EQ(GreetingImageAt(beat), -1) << beat;
}

TEST(GreetingsSchedule, LogoRisesFromBeat337) {
    EXPECT_FALSE(ShowsLogo(std::nextafter(kLogoStartBeat, 0.0f)));
    EXPECT_TRUE(ShowsLogo(kLogoStartBeat));
    EXPECT_EQ(LogoRise(300.0f), 0.0f);
    EXPECT_EQ(LogoRise(kLogoStartBeat), 0.0f);
    EXPECT_FLOAT_EQ(LogoRise(342.0f), 2.0f);
}

TEST(GreetingsSchedule, CreditsRiseFromBelowTheScreenWithoutDrawing) {
    quarn::srand(7);
    ParticleRecord record = OverlayRecord(kCreditsStartBeat, 3.0);
    EXPECT_EQ(record.x, 0.0f);
    EXPECT_EQ(record.y, -1.75f);
    EXPECT_EQ(record.w, 1.0f);
    EXPECT_FLOAT_EQ(OverlayRecord(374.0f, 3.0).y, -0.75f);
    EXPECT_FALSE(ShowsCredits(std::nextafter(kCreditsStartBeat, 0.0f)));
    const int next = quarn::rand();
    quarn::srand(7);
    EXPECT_EQ(quarn::rand(), next) << "the credits take no random draws";
}

TEST(GreetingsSchedule, BeforeTheCreditsTheOverlayDriftsOnTwoDraws) {
    for (double spin : {0.0, 1.5, 20.0}) {
        quarn::srand(0);
        const int e = quarn::rand() % 500;
        const int f = quarn::rand() % 500;
        quarn::srand(0);
        const ParticleRecord record = OverlayRecord(120.0f, spin);
        EXPECT_FLOAT_EQ(record.x, 0.1f - 0.6f * std::sin(static_cast<float>(e + spin)));
        EXPECT_FLOAT_EQ(record.y, 0.05f - 0.6f * std::sin(static_cast<float>(f + spin)));
        EXPECT_LE(std::abs(record.x - 0.1f), 0.6f);
        EXPECT_LE(std::abs(record.y - 0.05f), 0.6f);
        EXPECT_EQ(record.z, 0.0f);
        EXPECT_EQ(record.w, 1.0f);
    }
}

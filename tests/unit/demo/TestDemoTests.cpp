#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "demo/TestDemo.h"
#include "support/FakeDemoParts.h"
#include "support/FilelessSync.h"
#include "support/LogRecorder.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Four effects and one post processor, as the shipped demo has them.
TEST(ChooseSchedule, EffectIndexIsFlooredAndClampedToTheList) {
    EXPECT_EQ(ChooseSchedule(2.9f, 0, 0, 0, 4, 1).effectIndex, 2);
    EXPECT_EQ(ChooseSchedule(3.0f, 0, 0, 0, 4, 1).effectIndex, 3);
    EXPECT_EQ(ChooseSchedule(7.0f, 0, 0, 0, 4, 1).effectIndex, 3);
    EXPECT_EQ(ChooseSchedule(1e30f, 0, 0, 0, 4, 1).effectIndex, 3);
    // While fewer effects exist, a later index selects the last one there is.
    EXPECT_EQ(ChooseSchedule(3.0f, 0, 0, 0, 1, 1).effectIndex, 0);
    // Below 0, or not a number: effect 0.
    EXPECT_EQ(ChooseSchedule(-0.5f, 0, 0, 0, 4, 1).effectIndex, 0);
    EXPECT_EQ(ChooseSchedule(-7.0f, 0, 0, 0, 4, 1).effectIndex, 0);
    EXPECT_EQ(ChooseSchedule(kNaN, 0, 0, 0, 4, 1).effectIndex, 0);
    EXPECT_EQ(ChooseSchedule(1.0f, 0, 0, 0, 0, 1).effectIndex, -1);
}

TEST(ChooseSchedule, PostIndexCountsFromOneAndClampsToTheLast) {
    EXPECT_EQ(ChooseSchedule(0, 0.0f, 0, 0, 4, 1).postIndex, -1);
    EXPECT_EQ(ChooseSchedule(0, 0.99f, 0, 0, 4, 1).postIndex, -1);
    EXPECT_EQ(ChooseSchedule(0, 1.0f, 0, 0, 4, 1).postIndex, 0);
    EXPECT_EQ(ChooseSchedule(0, 5.0f, 0, 0, 4, 1).postIndex, 0);
    EXPECT_EQ(ChooseSchedule(0, 2.5f, 0, 0, 4, 3).postIndex, 1);
    EXPECT_EQ(ChooseSchedule(0, -3.0f, 0, 0, 4, 1).postIndex, -1);
    EXPECT_EQ(ChooseSchedule(0, kNaN, 0, 0, 4, 1).postIndex, -1);
    EXPECT_EQ(ChooseSchedule(0, 1.0f, 0, 0, 4, 0).postIndex, -1);
}

TEST(ChooseSchedule, ClockJumpsOnlyToANewNonNegativeTime) {
    EXPECT_FALSE(ChooseSchedule(0, 0, 0.0f, 0.0f, 4, 1).jumpTime);
    EXPECT_TRUE(ChooseSchedule(0, 0, 4.0f, 0.0f, 4, 1).jumpTime);
    EXPECT_TRUE(ChooseSchedule(0, 0, 0.0f, 4.0f, 4, 1).jumpTime);
    EXPECT_FALSE(ChooseSchedule(0, 0, 4.0f, 4.0f, 4, 1).jumpTime);
    EXPECT_FALSE(ChooseSchedule(0, 0, -1.0f, 0.0f, 4, 1).jumpTime);
    EXPECT_FALSE(ChooseSchedule(0, 0, -1.0f, 4.0f, 4, 1).jumpTime);
    EXPECT_FALSE(ChooseSchedule(0, 0, kNaN, 4.0f, 4, 1).jumpTime);
}

// A TestDemo over fakes: a sync device without files (every track starts empty, no soundtrack
// so the row stands at 0), a recording log and a renderer that records frames.
class TestDemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedRenderer = gRenderer;
        savedSync = gSync;
        gRenderer = &renderer;
        gSync = &sync;
        ASSERT_TRUE(OpenSyncDeviceWithoutFiles(sync));
    }

    void TearDown() override {
        DestroySyncDevice(sync);
        gRenderer = savedRenderer;
        gSync = savedSync;
    }

    // The roster of `count` fake effects named A, B, C, ... (the one at `failingEffect` fails
    // its Init) and one post processor.
    TestDemo::Roster Roster(int count, int failingEffect = -1, bool postFails = false) {
        return [this, count, failingEffect, postFails](EffectList& effects, PostProcessorList& posts) {
            for (int i = 0; i < count; ++i)
                effects.push_back(std::make_unique<FakeEffect>(kNames[i], journal, i != failingEffect));
            posts.push_back(std::make_unique<FakePostProcessor>("Bloom", journal, !postFails));
        };
    }

    // One frame with the three tracks at these values.
    void Frame(TestDemo& demo, float effectIndex, float postIndex, float effectTime) {
        HoldTrack(sync, "Effect Index", effectIndex);
        HoldTrack(sync, "PostProcessor Index", postIndex);
        HoldTrack(sync, "Effect Time", effectTime);
        demo.Update();
    }

    static constexpr const char* kNames[] = {"A", "B", "C", "D"};
    LogRecorder log;
    SyncContext sync;
    FakeRenderer renderer;
    CallJournal journal;

private:
    IRenderer* savedRenderer = nullptr;
    SyncContext* savedSync = nullptr;
};

TEST_F(TestDemoTest, InitRequestsTheTracksThenInitialisesEffectsThenPostProcessors) {
    TestDemo demo(Roster(3));
    EXPECT_STREQ(demo.name, "Test Demo");
    ASSERT_TRUE(demo.Init());

    ASSERT_EQ(sync.device->tracks.size(), 3u);
    EXPECT_EQ(sync.device->tracks[0]->name, "Effect Index");
    EXPECT_EQ(sync.device->tracks[1]->name, "PostProcessor Index");
    EXPECT_EQ(sync.device->tracks[2]->name, "Effect Time");
    EXPECT_EQ(journal, (CallJournal{"Init A", "Init B", "Init C", "Init Bloom"}));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Initializing Effect: A", "Initializing Effect: B",
                                                   "Initializing Effect: C", "Initializing Post Processor: Bloom"}));
    EXPECT_EQ(demo.effectsInitialised, 3);
    EXPECT_EQ(demo.postProcessorsInitialised, 1);

    journal.clear();
    log.lines.clear();
    demo.Shutdown();
    EXPECT_EQ(journal, (CallJournal{"Shutdown A", "Shutdown B", "Shutdown C", "Shutdown Bloom"}));
    EXPECT_EQ(log.lines.back(), "Shutting Down Post Processor: Bloom");
    EXPECT_EQ(log.Count("Shutting Down Effect: B"), 1);
    EXPECT_FALSE(demo.effectIndexTrack);
    EXPECT_FALSE(demo.effectTimeTrack);

    // A second Shutdown releases nothing twice.
    journal.clear();
    demo.Shutdown();
    EXPECT_TRUE(journal.empty());
}

TEST_F(TestDemoTest, FailingEffectStopsTheRestButStillGetsShutdown) {
    TestDemo demo(Roster(4, 1));
    EXPECT_FALSE(demo.Init());
    EXPECT_EQ(journal, (CallJournal{"Init A", "Init B"}));
    EXPECT_EQ(demo.effectsInitialised, 2);
    EXPECT_EQ(demo.postProcessorsInitialised, 0);

    journal.clear();
    demo.Shutdown();
    EXPECT_EQ(journal, (CallJournal{"Shutdown A", "Shutdown B"}));
    EXPECT_TRUE(log.StartingWith("Shutting Down Post Processor: ").empty());
}

TEST_F(TestDemoTest, FailingPostProcessorFailsInitAndStillGetsShutdown) {
    TestDemo demo(Roster(1, -1, true));
    EXPECT_FALSE(demo.Init());
    journal.clear();
    demo.Shutdown();
    EXPECT_EQ(journal, (CallJournal{"Shutdown A", "Shutdown Bloom"}));
}

TEST_F(TestDemoTest, MissingNamesAreLoggedWithTheirFixedTexts) {
    TestDemo demo([this](EffectList& effects, PostProcessorList& posts) {
        effects.push_back(std::make_unique<FakeEffect>(nullptr, journal));
        posts.push_back(std::make_unique<FakePostProcessor>(nullptr, journal));
    });
    ASSERT_TRUE(demo.Init());
    demo.Shutdown();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Initializing Effect: Unknown Effect",
                                                   "Initializing Post Processor: Unknown Post Processing Effect",
                                                   "Shutting Down Effect: Unknown Effect",
                                                   "Shutting Down Post Processor: Unknown Post Processing Effect"}));
}

TEST_F(TestDemoTest, EmptyTracksShowEffectZeroBareAndNeverJumpTheClock) {
    TestDemo demo(Roster(4));
    ASSERT_TRUE(demo.Init());
    renderer.beatsPerFrame = 0.5f;
    demo.Update();
    demo.Update();
    ASSERT_EQ(renderer.frames.size(), 2u);
    EXPECT_EQ(renderer.frames[1].effect, demo.effects[0].get());
    EXPECT_EQ(renderer.frames[1].postProcessor, nullptr);
    EXPECT_EQ(renderer.frames[1].time, 1.0f);
}

TEST_F(TestDemoTest, UpdateSelectsTheEffectAndThePostProcessor) {
    TestDemo demo(Roster(4));
    ASSERT_TRUE(demo.Init());
    const IPostProcessor* bloom = demo.postProcessors[0].get();
    struct Case {
        float effectIndex, postIndex;
        int expectedEffect;
        const IPostProcessor* expectedPost;
    };
    for (const Case& c : {Case{2.9f, 0.0f, 2, nullptr}, Case{3.0f, 1.0f, 3, bloom}, Case{7.0f, 0.99f, 3, nullptr},
                          Case{-1.0f, 5.0f, 0, bloom}, Case{1.0f, 1.0f, 1, bloom}}) {
        Frame(demo, c.effectIndex, c.postIndex, 0.0f);
        EXPECT_EQ(renderer.frames.back().effect, demo.effects[c.expectedEffect].get()) << c.effectIndex;
        EXPECT_EQ(renderer.frames.back().postProcessor, c.expectedPost) << c.postIndex;
    }
}

TEST_F(TestDemoTest, EffectTimeJumpsTheClockWhenItChangesAndNeverForNegatives) {
    TestDemo demo(Roster(4));
    ASSERT_TRUE(demo.Init());
    renderer.beatsPerFrame = 0.5f;
    Frame(demo, 2, 0, 0.0f);  // same as the initial last time: the clock just runs
    Frame(demo, 2, 0, 4.0f);
    Frame(demo, 2, 0, 0.0f);
    Frame(demo, 2, 0, -1.0f);
    Frame(demo, 2, 0, -1.0f);
    std::vector<float> times;
    for (const FakeRenderer::Frame& frame : renderer.frames)
        times.push_back(frame.time);
    EXPECT_EQ(times, (std::vector<float>{0.5f, 4.5f, 0.5f, 1.0f, 1.5f}));
    EXPECT_EQ(demo.lastEffectTime, 0.0f);
}

TEST_F(TestDemoTest, LeftEffectResumesItsClockAndATimeChangeGoesToTheNewEffect) {
    TestDemo demo(Roster(4));
    ASSERT_TRUE(demo.Init());
    renderer.beatsPerFrame = 1.0f;
    Frame(demo, 1, 0, 0.0f);
    Frame(demo, 1, 0, 0.0f);  // effect 1 at 2 beats
    Frame(demo, 2, 0, 0.0f);
    Frame(demo, 2, 0, 0.0f);
    Frame(demo, 1, 0, 0.0f);
    EXPECT_EQ(renderer.frames.back().time, 3.0f);
    EXPECT_EQ(demo.effects[2]->time, 2.0f);

    // Index and time change in one frame: the new effect gets the new time.
    Frame(demo, 3, 0, 10.0f);
    EXPECT_EQ(renderer.frames.back().effect, demo.effects[3].get());
    EXPECT_EQ(demo.effects[3]->time, 11.0f);
    EXPECT_EQ(demo.effects[1]->time, 3.0f);
}

}  // namespace

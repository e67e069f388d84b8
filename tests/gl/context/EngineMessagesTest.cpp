// The engine's reactions to keys and window messages, on a real start-up in a temporary run
// directory with a short soundtrack.
#include "engine/Engine.h"
#include "support/EngineRunDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

namespace {

class EngineMessagesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.Valid());
        ASSERT_TRUE(run.AddSoundtrack(20.0));
        ASSERT_TRUE(run.AddDemoData());
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(run.Path());
        ASSERT_TRUE(engine.Init(platform::GetModuleHandle()));
    }

    void TearDown() override {
        engine.Shutdown();
        TakeQuit();
        std::filesystem::current_path(previousDirectory);
        gSync = nullptr;
        gEngine = nullptr;
    }

    intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam = 0) {
        return engine.HandleMessage(message, wParam, lParam, engine.window.window);
    }

    std::u16string Title() const {
        char16_t title[64] = {};
        platform::GetWindowText(engine.window.window, title, 64);
        return title;
    }

    // Makes the next Frame a title update, as if a second had passed.
    void AgeLastTitleUpdate() { engine.lastTitleUpdate = static_cast<float>(platform::GetTickCount()) - 1000.0f; }

    static std::optional<uintptr_t> TakeQuit() {
        platform::Message message;
        if (!platform::PeekMessage(message, {}, platform::WM_QUIT, platform::WM_QUIT, platform::PM_REMOVE))
            return std::nullopt;
        return message.wParam;
    }

    EngineRunDirectory run;
    std::filesystem::path previousDirectory;
    Engine engine;
};

TEST_F(EngineMessagesTest, FShowsTheFrameCountAndASecondFPutsTheTitleBack) {
    EXPECT_EQ(Title(), u"QuarnEngine");
    EXPECT_EQ(engine.savedTitle, u"QuarnEngine");
    EXPECT_FALSE(engine.showFrameRate);

    EXPECT_EQ(Send(platform::WM_CHAR, 'f'), 0);
    EXPECT_TRUE(engine.showFrameRate);
    EXPECT_EQ(Title(), u"QuarnEngine") << "the title changes only at the next title update";

    // Far enough ahead that no title update falls among these frames, however slow they draw.
    engine.lastTitleUpdate = static_cast<float>(platform::GetTickCount()) + 60000.0f;
    for (int i = 0; i < 3; ++i) engine.Frame();
    EXPECT_EQ(engine.frameCount, 3);
    EXPECT_EQ(Title(), u"QuarnEngine");
    AgeLastTitleUpdate();
    engine.Frame();
    EXPECT_EQ(Title(), u"4");
    EXPECT_EQ(engine.frameCount, 0);

    Send(platform::WM_CHAR, 'f');
    EXPECT_FALSE(engine.showFrameRate);
    EXPECT_EQ(Title(), u"QuarnEngine");
    AgeLastTitleUpdate();
    engine.Frame();
    EXPECT_EQ(Title(), u"QuarnEngine");
    EXPECT_EQ(TakeQuit(), std::nullopt) << "the music is still playing";
}

TEST_F(EngineMessagesTest, OnlyLowerCaseFToggles) {
    EXPECT_EQ(Send(platform::WM_CHAR, 'F'), 0);
    Send(platform::WM_CHAR, 'g');
    EXPECT_FALSE(engine.showFrameRate);
}

TEST_F(EngineMessagesTest, EscapeQuitsWithCodeZeroAndOtherKeysDoNothing) {
    EXPECT_EQ(Send(platform::WM_KEYDOWN, 'A'), 0);
    EXPECT_EQ(Send(platform::WM_KEYDOWN, platform::VK_RETURN), 0);
    EXPECT_EQ(TakeQuit(), std::nullopt);
    EXPECT_EQ(Send(platform::WM_KEYDOWN, platform::VK_ESCAPE), 0);
    EXPECT_EQ(TakeQuit(), 0u);
}

TEST_F(EngineMessagesTest, ClosingTheWindowDestroysItAndQuits) {
    const platform::WindowHandle window = engine.window.window;
    Send(platform::WM_CLOSE, 0);
    platform::Rect rect;
    EXPECT_FALSE(platform::GetClientRect(window, rect));
    EXPECT_EQ(TakeQuit(), 0u);
    // Shut-down's DestroyWindow then finds no window, which is harmless.
}

TEST_F(EngineMessagesTest, MetricsComeFromTheRealWindowOnly) {
    EXPECT_EQ(engine.clientWidth, 1280);
    EXPECT_EQ(engine.clientHeight, 720);
    // A message of some other window still measures the engine's own.
    engine.HandleMessage(platform::WM_SIZE, platform::SIZE_RESTORED, platform::MakeLParam(10, 10), {});
    EXPECT_EQ(engine.clientWidth, 1280);
    EXPECT_EQ(engine.clientHeight, 720);
}

TEST_F(EngineMessagesTest, AFrameAfterTheMusicStoppedQuitsWithoutCounting) {
    engine.Frame();
    const int32_t counted = engine.frameCount;
    alSourceStop(engine.soundtrack.source);
    engine.Frame();
    EXPECT_EQ(engine.frameCount, counted);
    EXPECT_EQ(TakeQuit(), 0u);
}

}  // namespace

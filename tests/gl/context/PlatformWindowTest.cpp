// The window and message services of the platform layer, on this machine's display.
#include "engine/AppWindow.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<platform::Message> gReceived;

intptr_t RecordingProcedure(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    gReceived.push_back({window, message, wParam, lParam});
    return platform::DefWindowProc(window, message, wParam, lParam);
}

constexpr const char16_t* kClassName = u"QuarnPlatformTestWindow";

class PlatformWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::WindowClass windowClass;
        windowClass.windowProc = RecordingProcedure;
        windowClass.className = kClassName;
        platform::RegisterClassEx(windowClass);
    }

    void SetUp() override {
        gReceived.clear();
        window = platform::CreateWindowEx(0, kClassName, u"Test", platform::WS_OVERLAPPEDWINDOW, 10, 20, 200, 100,
                                          platform::GetModuleHandle());
        ASSERT_TRUE(window);
    }

    void TearDown() override {
        platform::DestroyWindow(window);
        platform::Message message;
        while (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) {
        }
    }

    platform::WindowHandle window;
};

TEST_F(PlatformWindowTest, SizeAndMoveArriveWhileTheWindowIsCreated) {
    ASSERT_GE(gReceived.size(), 2u);
    EXPECT_EQ(gReceived[0].window, window);
    EXPECT_EQ(gReceived[0].message, platform::WM_SIZE);
    EXPECT_EQ(platform::LoWord(gReceived[0].lParam), 200);
    EXPECT_EQ(platform::HiWord(gReceived[0].lParam), 100);
    EXPECT_EQ(gReceived[1].message, platform::WM_MOVE);

    platform::Rect client;
    ASSERT_TRUE(platform::GetClientRect(window, client));
    EXPECT_EQ(client.right - client.left, 200);
    EXPECT_EQ(client.bottom - client.top, 100);
}

TEST_F(PlatformWindowTest, TitlesKeepEveryCodeUnit) {
    const std::u16string title = u"Gr\u00fc\u00dfe \u266a \U0001D11E";
    ASSERT_TRUE(platform::SetWindowText(window, title.c_str()));
    EXPECT_EQ(platform::GetWindowTextLength(window), static_cast<int>(title.size()));
    char16_t buffer[32] = {};
    EXPECT_EQ(platform::GetWindowText(window, buffer, 32), static_cast<int>(title.size()));
    EXPECT_EQ(std::u16string(buffer), title);

    char16_t small[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(platform::GetWindowText(window, small, 4), 3);
    EXPECT_EQ(std::u16string(small), u"Gr\u00fc");
}

TEST_F(PlatformWindowTest, DestroyingSendsDestroyAndInvalidatesTheHandle) {
    gReceived.clear();
    EXPECT_TRUE(platform::DestroyWindow(window));
    ASSERT_EQ(gReceived.size(), 1u);
    EXPECT_EQ(gReceived[0].message, platform::WM_DESTROY);
    platform::Rect client;
    EXPECT_FALSE(platform::GetClientRect(window, client));
    EXPECT_FALSE(platform::DestroyWindow(window));
    EXPECT_FALSE(platform::SetWindowText(window, u"gone"));
    EXPECT_FALSE(platform::GetDC(window));
}

TEST_F(PlatformWindowTest, CloseGoesThroughDefWindowProcToDestroy) {
    gReceived.clear();
    platform::DefWindowProc(window, platform::WM_CLOSE, 0, 0);
    ASSERT_EQ(gReceived.size(), 1u);
    EXPECT_EQ(gReceived[0].message, platform::WM_DESTROY);
    EXPECT_EQ(platform::GetWindowTextLength(window), 0);
}

TEST_F(PlatformWindowTest, AClassIsRegisteredOnce) {
    platform::WindowClass windowClass;
    windowClass.windowProc = RecordingProcedure;
    windowClass.className = kClassName;
    EXPECT_FALSE(platform::RegisterClassEx(windowClass));
    EXPECT_FALSE(platform::CreateWindowEx(0, u"NoSuchClass", u"", 0, 0, 0, 10, 10, nullptr));
}

TEST_F(PlatformWindowTest, IconsOfSeveralSizesAreAccepted) {
    std::vector<uint8_t> small(16 * 16 * 4, 0x80);
    std::vector<uint8_t> large(48 * 48 * 4, 0xFF);
    const platform::IconImage images[] = {{16, 16, small.data()}, {48, 48, large.data()}};
    EXPECT_TRUE(platform::SetWindowIcon(window, images, 2));
    const platform::IconImage empty[] = {{0, 0, nullptr}};
    EXPECT_FALSE(platform::SetWindowIcon(window, empty, 1));
}

TEST(PlatformMessages, QuitComesLastWithItsExitCode) {
    platform::PostQuitMessage(7);
    platform::Message message;
    ASSERT_TRUE(platform::PeekMessage(message, {}, 0, 0, platform::PM_NOREMOVE));
    EXPECT_EQ(message.message, platform::WM_QUIT);
    EXPECT_EQ(static_cast<int>(message.wParam), 7);
    ASSERT_TRUE(platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE));
    EXPECT_EQ(message.message, platform::WM_QUIT);
    while (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) EXPECT_NE(message.message, platform::WM_QUIT);

    platform::PostQuitMessage(-1);
    ASSERT_TRUE(platform::PeekMessage(message, {}, platform::WM_QUIT, platform::WM_QUIT, platform::PM_REMOVE));
    EXPECT_EQ(static_cast<int>(static_cast<intptr_t>(message.wParam)), -1);
}

TEST(PlatformDisplay, OnlyModesTheDisplayOffersAreSet) {
    platform::DevMode mode;
    mode.fields = platform::DM_BITSPERPEL | platform::DM_PELSWIDTH | platform::DM_PELSHEIGHT;
    mode.pelsWidth = 1234;
    mode.pelsHeight = 567;
    mode.bitsPerPel = 32;
    EXPECT_EQ(platform::ChangeDisplaySettings(&mode, platform::CDS_FULLSCREEN), platform::DISP_CHANGE_BADMODE);

    // A full-screen window in a refused mode is not made at all.
    AppWindow appWindow;
    EXPECT_FALSE(CreateAppWindow(1234, 567, appWindow, nullptr, false, true));
    EXPECT_FALSE(appWindow.window);
    EXPECT_EQ(platform::ChangeDisplaySettings(nullptr, 0), platform::DISP_CHANGE_SUCCESSFUL);
}

}  // namespace

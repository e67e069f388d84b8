#include "author/AuthorOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

std::optional<AuthorOptions> Parse(std::vector<std::string> arguments, std::string& error) {
    arguments.insert(arguments.begin(), "QuarnEngine");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return ParseAuthorOptions(static_cast<int>(argv.size()), argv.data(), error);
}

TEST(AuthorOptions, NoArgumentsIsThePlayerAsItWas) {
    std::string error;
    const auto options = Parse({}, error);
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->enabled);
    EXPECT_FALSE(options->fromBeat);
    EXPECT_FALSE(options->loop);
    EXPECT_TRUE(options->watchDirectory.empty());
    EXPECT_EQ(options->screen.mode, ScreenMode::kDisplayMode);
}

// The size is optional, so whatever follows --window decides: an option is not a size, anything
// else must be one.
TEST(AuthorOptions, AWindowTakesAnOptionalSizeAndGoesWithAuthorMode) {
    std::string error;
    const auto sized = Parse({"--window", "960x720", "--author"}, error);
    ASSERT_TRUE(sized) << error;
    EXPECT_EQ(sized->screen, (ScreenOptions{ScreenMode::kWindow, 960, 720}));
    EXPECT_TRUE(sized->enabled);
    const auto plain = Parse({"--window", "--author"}, error);
    ASSERT_TRUE(plain) << error;
    EXPECT_EQ(plain->screen, (ScreenOptions{ScreenMode::kWindow, 1280, 720}));
    EXPECT_TRUE(plain->enabled);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--window", "big"}, {"--window", "960x"}, {"--window", "15x720"},
          {"--window", "960x720x2"}, {"--window", "99999x720"}, {"--window", "--desktop"}, {"--desktop", "--desktop"}})
        EXPECT_FALSE(Parse(bad, error)) << bad[0] << " " << bad[1];
}

TEST(AuthorOptions, TheEditorEditsTheWatchedTimelineOnAPortOfItsChoice) {
    std::string error;
    const auto options =
        Parse({"--author", "--editor", "--watch", "data", "--editor-port", "8080", "--no-browser"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->editor);
    EXPECT_EQ(options->editorPort, 8080);
    EXPECT_EQ(options->editorListen, "127.0.0.1");
    EXPECT_FALSE(options->openBrowser);
    EXPECT_FALSE(Parse({"--author", "--editor"}, error));
    EXPECT_NE(error.find("--watch"), std::string::npos) << error;
    for (const char* port : {"0", "65536", "80x", "-1"})
        EXPECT_FALSE(Parse({"--author", "--editor", "--watch", "data", "--editor-port", port}, error)) << port;
    EXPECT_FALSE(Parse({"--editor", "--watch", "data"}, error));
}

TEST(AuthorOptions, AuthorModeTakesAStartALoopAndASourceTree) {
    std::string error;
    const auto options = Parse({"--loop", "256:272.5", "--author", "--from", "260.25", "--watch", "data"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->enabled);
    EXPECT_EQ(options->fromBeat, 260.25);
    ASSERT_TRUE(options->loop);
    EXPECT_EQ(options->loop->from, 256.0);
    EXPECT_EQ(options->loop->to, 272.5);
    EXPECT_EQ(options->watchDirectory, "data");
}

TEST(AuthorOptions, NonsenseIsRefusedWithAReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--from", "10"}, "go with --author"},
        {{"--author", "--from", "ten"}, "--from takes a beat"},
        {{"--author", "--from", "-1"}, "--from takes a beat"},
        {{"--author", "--from", "nan"}, "--from takes a beat"},
        {{"--author", "--from"}, "--from needs a value"},
        {{"--author", "--loop", "272:256"}, "reversed"},
        {{"--author", "--loop", "16:16"}, "reversed"},
        {{"--author", "--loop", "16-32"}, "--loop takes FROM:TO"},
        {{"--author", "--loop", "16:"}, "--loop takes FROM:TO"},
        {{"--author", "--watch", ""}, "--watch needs a directory"},
        {{"--author", "--fullscreen"}, "unknown argument"},
    };
    for (const auto& [arguments, reason] : cases) {
        std::string error;
        EXPECT_FALSE(Parse(arguments, error)) << testing::PrintToString(arguments);
        EXPECT_NE(error.find(reason), std::string::npos) << testing::PrintToString(arguments) << ": " << error;
    }
}

constexpr double kMusicBeats = 430.5;

TEST(AuthorOptions, PositionsMustLieWithinTheMusicAndTheSourceTreeMustExist) {
    const auto check = [](std::optional<double> from, std::optional<BeatLoop> loop, std::string watch,
                          double beats = kMusicBeats) {
        AuthorOptions options;
        options.enabled = true;
        options.fromBeat = from;
        options.loop = loop;
        options.watchDirectory = std::move(watch);
        std::string error;
        return CheckAuthorOptions(options, beats, error) ? std::string() : error;
    };
    EXPECT_EQ(check(430.0, {}, ""), "");
    EXPECT_NE(check(kMusicBeats, {}, "").find("beyond the end of the music (beat 430.5)"), std::string::npos);
    EXPECT_EQ(check({}, BeatLoop{416.0, kMusicBeats}, ""), "");
    EXPECT_NE(check({}, BeatLoop{416.0, 432.0}, "").find("beyond the end"), std::string::npos);
    EXPECT_NE(check(1.0, {}, "", -1.0).find("the soundtrack cannot be read"), std::string::npos);
    EXPECT_EQ(check({}, {}, "", -1.0), "") << "without positions there is nothing to check against the music";

    const std::string here = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(check({}, {}, here), "");
    EXPECT_NE(check({}, {}, here + "/no-such-directory").find("is not a directory"), std::string::npos);
}

}  // namespace

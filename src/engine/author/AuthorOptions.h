#pragma once
// The player's command line. Without arguments it plays the demo as it always has; "--author"
// turns it into a tool for making the demo: windowed, with keys to pause, seek and loop, and
// with the timeline and shaders reloaded from a source tree as they are saved.

#include <optional>
#include <string>

struct BeatLoop {
    double from = 0.0;
    double to = 0.0;  // exclusive: reaching it jumps back to `from`
    bool operator==(const BeatLoop&) const = default;
};

// Where the player shows the demo. The display mode is the player's own default; a window and
// the desktop draw at their own size, the 16:9 picture letterboxed.
enum class ScreenMode { kDisplayMode, kWindow, kDesktop };

struct ScreenOptions {
    ScreenMode mode = ScreenMode::kDisplayMode;
    int width = 1280;  // the window's client size, with kWindow
    int height = 720;
    bool operator==(const ScreenOptions&) const = default;
};

struct AuthorOptions {
    bool enabled = false;
    std::optional<double> fromBeat;
    std::optional<BeatLoop> loop;
    std::string watchDirectory;  // empty: nothing is watched
    // The timeline editor: a page in the browser, served while the player runs.
    bool editor = false;
    int editorPort = 0;  // 0: any free port
    std::string editorListen = "127.0.0.1";
    bool openBrowser = true;
    // Not an author setting: it goes with or without --author.
    ScreenOptions screen;
    bool help = false;
    bool version = false;
};

// Null with `error` set when the arguments make no sense on their own.
std::optional<AuthorOptions> ParseAuthorOptions(int argc, const char* const* argv, std::string& error);
// What only the data can tell: the positions lie within the music (`musicBeats` long, negative
// when the soundtrack cannot be read) and the watched directory exists.
bool CheckAuthorOptions(const AuthorOptions& options, double musicBeats, std::string& error);
const char* AuthorUsage();

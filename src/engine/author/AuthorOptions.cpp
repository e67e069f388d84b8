#include "author/AuthorOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace {

bool Fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

std::optional<double> ParseBeat(std::string_view text) {
    const std::string copy(text);
    char* end = nullptr;
    const double number = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || !std::isfinite(number) || number < 0.0) return std::nullopt;
    return number;
}

bool ParseFrom(const char* text, AuthorOptions& options, std::string& error) {
    options.fromBeat = ParseBeat(text);
    return options.fromBeat || Fail(error, std::string("--from takes a beat (0 or more), not \"") + text + "\"");
}

bool ParseLoop(const char* text, AuthorOptions& options, std::string& error) {
    const std::string_view loop = text;
    const size_t colon = loop.find(':');
    const std::optional<double> from = colon == loop.npos ? std::nullopt : ParseBeat(loop.substr(0, colon));
    const std::optional<double> to = colon == loop.npos ? std::nullopt : ParseBeat(loop.substr(colon + 1));
    if (!from || !to) return Fail(error, std::string("--loop takes FROM:TO in beats, not \"") + text + "\"");
    if (*from >= *to) return Fail(error, std::string("--loop ") + text + " is reversed or empty: FROM must come before TO");
    options.loop = BeatLoop{*from, *to};
    return true;
}

bool ApplyValue(std::string_view argument, const char* value, AuthorOptions& options, std::string& error) {
    if (argument == "--from") return ParseFrom(value, options, error);
    if (argument == "--loop") return ParseLoop(value, options, error);
    if (argument == "--editor-port") {
        const int port = std::atoi(value);
        if (port <= 0 || port > 65535 || std::to_string(port) != value)
            return Fail(error, std::string("--editor-port takes a port (1 to 65535), not \"") + value + "\"");
        options.editorPort = port;
        return true;
    }
    if (argument == "--editor-listen") {
        if (*value == '\0') return Fail(error, "--editor-listen needs an address");
        options.editorListen = value;
        return true;
    }
    if (argument == "--watch") {
        if (*value == '\0') return Fail(error, "--watch needs a directory");
        options.watchDirectory = value;
        return true;
    }
    return Fail(error, "unknown argument: " + std::string(argument));
}

constexpr int kSmallestWindowSide = 16;
constexpr int kLargestWindowSide = 16384;

bool ParseWindowSize(const char* text, ScreenOptions& screen, std::string& error) {
    int width = 0, height = 0, consumed = 0;
    if (std::sscanf(text, "%5dx%5d%n", &width, &height, &consumed) != 2 || text[consumed] != '\0' ||
        width < kSmallestWindowSide || height < kSmallestWindowSide || width > kLargestWindowSide ||
        height > kLargestWindowSide)
        return Fail(error, std::string("--window takes WIDTHxHEIGHT, each from 16 to 16384, not \"") + text + "\"");
    screen.width = width;
    screen.height = height;
    return true;
}

// The size is optional, so the next argument is taken as one unless it is another option.
bool ReadScreenMode(int argc, const char* const* argv, int& i, ScreenOptions& screen, std::string& error) {
    if (screen.mode != ScreenMode::kDisplayMode) return Fail(error, "--window and --desktop are given once, and not both");
    if (std::string_view(argv[i]) == "--desktop") {
        screen.mode = ScreenMode::kDesktop;
        return true;
    }
    screen.mode = ScreenMode::kWindow;
    if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("-")) return true;
    return ParseWindowSize(argv[++i], screen, error);
}

std::string BeatText(double beat) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", beat);
    return text;
}

bool ReadArguments(int argc, const char* const* argv, AuthorOptions& options, std::string& error) {
    bool authorSettingsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--author") {
            options.enabled = true;
        } else if (argument == "--window" || argument == "--desktop") {
            if (!ReadScreenMode(argc, argv, i, options.screen, error)) return false;
        } else if (argument == "--editor") {
            options.editor = true;
            authorSettingsGiven = true;
        } else if (argument == "--no-browser") {
            options.openBrowser = false;
            authorSettingsGiven = true;
        } else if (argument == "--from" || argument == "--loop" || argument == "--watch" || argument == "--editor-port" ||
                   argument == "--editor-listen") {
            if (i + 1 >= argc) return Fail(error, std::string(argument) + " needs a value");
            if (!ApplyValue(argument, argv[++i], options, error)) return false;
            authorSettingsGiven = true;
        } else {
            return Fail(error, "unknown argument: " + std::string(argument));
        }
    }
    if (authorSettingsGiven && !options.enabled && !options.help)
        return Fail(error, "--from, --loop, --watch and the editor's options go with --author");
    return !options.editor || !options.watchDirectory.empty() || options.help ||
           Fail(error, "--editor edits the watched timeline: give --watch DIR, the folder holding timeline.txt "
                       "(./run.sh gives the checkout's data/)");
}

}  // namespace

std::optional<AuthorOptions> ParseAuthorOptions(int argc, const char* const* argv, std::string& error) {
    AuthorOptions options;
    if (!ReadArguments(argc, argv, options, error)) return std::nullopt;
    return options;
}

bool CheckAuthorOptions(const AuthorOptions& options, double musicBeats, std::string& error) {
    const auto beyond = [&](double beat, const char* what) {
        if (musicBeats < 0.0)
            return Fail(error, std::string(what) + " cannot be checked: the soundtrack cannot be read");
        return Fail(error, std::string(what) + " " + BeatText(beat) + " lies beyond the end of the music (beat " +
                               BeatText(std::floor(musicBeats * 100.0) / 100.0) + ")");
    };
    if (options.fromBeat && !(*options.fromBeat < musicBeats)) return beyond(*options.fromBeat, "--from");
    if (options.loop && !(options.loop->to <= musicBeats)) return beyond(options.loop->to, "--loop's end");
    std::error_code failure;
    if (!options.watchDirectory.empty() && !std::filesystem::is_directory(options.watchDirectory, failure))
        return Fail(error, "--watch " + options.watchDirectory + " is not a directory");
    return true;
}

const char* AuthorUsage() {
    return "usage: QuarnEngine                 play the demo, full screen at 1280x720\n"
           "       QuarnEngine --window [WxH]     play it in a window you can resize (1280x720 unless given)\n"
           "       QuarnEngine --desktop          play it full screen at the desktop's own resolution\n"
           "       QuarnEngine --author [--from BEAT] [--loop FROM:TO] [--watch SOURCE_DIR]\n"
           "                   [--editor [--editor-port N] [--editor-listen ADDR] [--no-browser]]\n"
           "       QuarnEngine --version          print the version\n"
           "\n"
           "A window or the desktop is drawn at its own size, the picture letterboxed to 16:9; both go\n"
           "with --author as well (its window is 1280x720 otherwise).\n"
           "\n"
           "Author mode: a 1280x720 window with keys to move around the demo, and the timeline and\n"
           "shaders reloaded from SOURCE_DIR (the checkout's data/) whenever one is saved.\n"
           "--from BEAT       start at this beat (126 beats a minute) instead of the start\n"
           "--loop FROM:TO    play the beats from FROM up to TO over and over\n"
           "--watch DIR       read timeline.txt and Shaders/ from DIR, and reload them on change\n"
           "--editor          edit DIR's timeline in the browser; prints \"Timeline editor: URL\"\n"
           "--editor-port N   serve the editor on port N (default: any free port)\n"
           "--editor-listen ADDR  listen on ADDR instead of 127.0.0.1 (say, 0.0.0.0 for the LAN)\n"
           "--no-browser      do not open the browser\n"
           "\n"
           "Keys: Space pause/resume; Left/Right one beat back/forward, with Shift sixteen; Home to the\n"
           "loop's start (or beat 0); L loop the current sixteen beats (again: no loop); q preview\n"
           "quality (half size) or full; f frame rate in the title; Escape quit.\n";
}

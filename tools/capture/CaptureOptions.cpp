#include "CaptureOptions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

// Wide enough for the name's four integer digits; no soundtrack comes near it.
constexpr double kLargestBeat = 9999.99;

std::optional<double> ParseBeat(const char* text, std::string& error) {
    char* end = nullptr;
    const double beat = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(beat)) {
        error = std::string("not a beat: \"") + text + "\"";
        return std::nullopt;
    }
    if (beat < 0.0 || beat > kLargestBeat) {
        error = std::string("beat out of range (0 to 9999.99): ") + text;
        return std::nullopt;
    }
    return std::round(beat * 100.0) / 100.0;
}

std::filesystem::path ToolDirectory() {
    std::error_code failure;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
    return failure ? std::filesystem::current_path() : self.parent_path();
}

bool Fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

bool ReadArguments(int argc, const char* const* argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument != "--at" && argument != "--out" && argument != "--run-dir")
            return Fail(error, "unknown argument: " + std::string(argument));
        if (i + 1 >= argc) return Fail(error, std::string(argument) + " needs a value");
        const char* value = argv[++i];
        if (argument == "--at") {
            const std::optional<double> beat = ParseBeat(value, error);
            if (!beat) return false;
            options.beats.push_back(*beat);
        } else if (*value == '\0') {
            return Fail(error, std::string(argument) + " needs a directory");
        } else if (argument == "--out") {
            options.outDirectory = std::filesystem::absolute(value);
        } else {
            options.runDirectory = std::filesystem::absolute(value);
        }
    }
    return true;
}

}  // namespace

std::optional<CaptureOptions> ParseCaptureOptions(int argc, const char* const* argv, std::string& error) {
    CaptureOptions options;
    if (!ReadArguments(argc, argv, options, error)) return std::nullopt;
    if (options.help) return options;
    if (options.beats.empty()) {
        error = "no --at BEAT given";
        return std::nullopt;
    }
    if (options.outDirectory.empty()) {
        error = "no --out DIR given";
        return std::nullopt;
    }
    if (options.runDirectory.empty()) options.runDirectory = ToolDirectory();
    std::sort(options.beats.begin(), options.beats.end());
    options.beats.erase(std::unique(options.beats.begin(), options.beats.end()), options.beats.end());
    return options;
}

const char* CaptureUsage() {
    return "usage: quarn-capture --at BEAT [--at BEAT ...] --out DIR [--run-dir DIR]\n"
           "\n"
           "Writes one 1280x720 PNG per soundtrack position BEAT (126 beats per minute, taken to\n"
           "the hundredth) into DIR, named beat-BBBB.bb.png: what the player shows at that\n"
           "position when it runs at 60 frames per second from the start.\n"
           "--run-dir  the player's data (Shaders/, Models/, Audio/, sync/ ...); by default the\n"
           "           directory the tool lies in. Its LogFile.txt is rewritten.\n";
}

std::string StillFileName(double beat) {
    char name[32];
    std::snprintf(name, sizeof name, "beat-%07.2f.png", beat);
    return name;
}

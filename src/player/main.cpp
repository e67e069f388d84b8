// The player: one Engine, its start-up, and its steps until the end (PlayerLoop). "--author" makes it
// the authoring tool (see AuthorOptions.h); bad options end it before any window opens.
#include "audio/Soundtrack.h"
#include "author/AuthorOptions.h"
#include "engine/Engine.h"
#include "PlayerLoop.h"
#include "Version.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

// Exit status for a command line that makes no sense, as the tools use it.
constexpr int kUsageExit = 2;

std::optional<AuthorOptions> ReadOptions(int argc, char** argv, std::string& error) {
    std::optional<AuthorOptions> parsed = ParseAuthorOptions(argc, argv, error);
    if (parsed && parsed->enabled &&
        !CheckAuthorOptions(*parsed, BeatsAtSeconds(kSoundtrackTempo, static_cast<float>(SoundtrackSeconds())), error))
        parsed.reset();
    return parsed;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<AuthorOptions> parsed = ReadOptions(argc, argv, error);
    if (!parsed || parsed->help || parsed->version) platform::AttachParentConsole();
    if (!parsed) {
        std::fprintf(stderr, "QuarnEngine: %s\n\n%s", error.c_str(), AuthorUsage());
        return kUsageExit;
    }
    const AuthorOptions& options = *parsed;
    if (options.help) {
        std::fputs(AuthorUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts(QUARN_VERSION_LINE);
        return 0;
    }

    Engine engine;
    engine.authorOptions = options;
    if (!engine.Init(platform::GetModuleHandle())) platform::PostQuitMessage(-1);

    PlayerLoop loop(engine);
    platform::RunMainLoop(&PlayerLoop::StepCallback, &loop);
    return loop.exitCode();
}

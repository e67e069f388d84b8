#include "SoundtrackTimes.h"

#include "CaptureSession.h"
#include "audio/Soundtrack.h"
#include "io/FilePaths.h"

#include <system_error>

std::optional<SoundtrackTimes> SoundtrackTimes::Read(const std::filesystem::path& runDirectory, int framesPerSecond,
                                                     std::string& error) {
    const std::filesystem::path file = runDirectory / std::filesystem::path(kSoundtrackPath).lexically_normal();
    const double seconds = SoundtrackSeconds(Utf8Text(file).c_str());
    if (seconds > 0.0) return SoundtrackTimes(seconds, kSoundtrackTempo, framesPerSecond);
    std::error_code failure;
    if (!std::filesystem::exists(file, failure))
        error = "there is no soundtrack at " + Quoted(file) + " (--run-dir names the player's run directory)";
    else
        error = "cannot read the soundtrack " + Quoted(file) + ": it is damaged, or not Ogg Vorbis of 1 or 2 channels";
    return std::nullopt;
}

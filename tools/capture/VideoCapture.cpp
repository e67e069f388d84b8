#include "VideoCapture.h"

#include "ProgressLine.h"
#include "VideoEncoder.h"
#include "audio/Soundtrack.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
    gInterrupted = 1;
}

// Installed before the engine starts, so that the window layer leaves these signals to us and a
// Ctrl-C ends the capture between two frames rather than posing as a closed window.
void CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// ".name.pid.part", appended in place: GCC 12 at -O3 takes the inlined copies of "." + name
// for overlapping ones.
std::string PartFileName(const std::filesystem::path& file) {
    std::string name(1, '.');
    name.append(file.filename().native()).append(1, '.').append(std::to_string(getpid())).append(".part");
    return name;
}

// The video is written under a hidden name beside its final one and renamed when complete, so
// that the final name never holds half a file. Removed unless kept.
class PartFile {
public:
    explicit PartFile(const std::filesystem::path& file) : path(file.parent_path() / PartFileName(file)) {}
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    ~PartFile() {
        if (created) unlink(path.c_str());
    }

    // Made at once, so that an unwritable place is known before any frame is drawn.
    bool Create(std::string& error) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = "cannot write into " + Quoted(path.parent_path()) + ": " + std::strerror(errno);
            return false;
        }
        close(fd);
        created = true;
        return true;
    }

    bool Keep(const std::filesystem::path& file, std::string& error) {
        std::error_code failure;
        std::filesystem::rename(path, file, failure);
        if (failure) {
            error = "cannot rename the finished video to " + Quoted(file) + ": " + failure.message();
            return false;
        }
        created = false;
        return true;
    }

    const std::filesystem::path path;

private:
    bool created = false;
};

std::string BeatText(double beat) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", beat);
    return text;
}

}  // namespace

bool VideoCapture::Run(std::string& error) {
    const std::optional<std::filesystem::path> ffmpeg = VideoEncoder::Find();
    if (!ffmpeg) {
        error = "ffmpeg is not installed (no ffmpeg on PATH); install it with: sudo apt-get install ffmpeg";
        return false;
    }
    PartFile partFile(options.videoFile);
    if (!partFile.Create(error)) return false;
    CatchInterrupts();
    const auto begin = std::chrono::steady_clock::now();
    const bool captured = Capture(*ffmpeg, partFile.path, error);
    session.Stop();
    if (!captured || !partFile.Keep(options.videoFile, error)) return false;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    std::printf("%s (%lld frames at %d frames/s, %.2f s, made in %.1f s)\n", options.videoFile.c_str(),
                static_cast<long long>(framesEncoded), options.framesPerSecond,
                static_cast<double>(framesEncoded) / options.framesPerSecond, took.count());
    return true;
}

bool VideoCapture::Capture(const std::filesystem::path& ffmpeg, const std::filesystem::path& partFile,
                           std::string& error) {
    if (!session.Start(options.runDirectory, options.anisotropyCap, error)) return false;
    Stretch stretch;
    return ChooseStretch(stretch, error) && EncodeFrames(stretch, ffmpeg, partFile, error);
}

// The player's frames from --from up to --to, or to the end of the soundtrack, where it stops.
bool VideoCapture::ChooseStretch(Stretch& stretch, std::string& error) const {
    const double endOfSoundtrack = session.SoundtrackSeconds();
    const double from = options.fromBeat ? session.SecondsAtBeat(*options.fromBeat) : 0.0;
    const double to = options.toBeat ? std::min(session.SecondsAtBeat(*options.toBeat), endOfSoundtrack)
                                     : endOfSoundtrack;
    stretch.firstFrame = session.FrameAtOrAfter(from);
    stretch.endFrame = session.FrameAtOrAfter(to);
    if (stretch.firstFrame < stretch.endFrame) return true;
    error = "no frame to capture: the soundtrack ends at beat " + BeatText(session.BeatAtSeconds(endOfSoundtrack));
    if (options.fromBeat) error += ", and --from is beat " + BeatText(*options.fromBeat);
    return false;
}

bool VideoCapture::EncodeFrames(const Stretch& stretch, const std::filesystem::path& ffmpeg,
                                const std::filesystem::path& partFile, std::string& error) {
    const int64_t total = stretch.endFrame - stretch.firstFrame;
    VideoStream stream;
    stream.width = CaptureSession::kWidth;
    stream.height = CaptureSession::kHeight;
    stream.framesPerSecond = options.framesPerSecond;
    stream.audioFile = kSoundtrackPath;
    // The first frame shows the music at its own time, which the sound must start from.
    stream.audioStart = session.FrameSeconds(stretch.firstFrame);
    stream.seconds = static_cast<double>(total) / options.framesPerSecond;
    stream.outFile = partFile;

    VideoEncoder encoder;
    if (!encoder.Start(ffmpeg, stream, error)) return false;
    ProgressLine progress(total, stderr);
    int64_t done = 0;
    for (; done < total; ++done) {
        if (gInterrupted) {
            error = "interrupted";
            break;
        }
        if (!session.DrawFrameAt(session.FrameSeconds(stretch.firstFrame + done), error)) break;
        if (!encoder.WriteFrame(session.ReadFrame(), error)) {
            std::string ended;
            encoder.Finish(ended);
            error = ended + " (" + error + ")";
            break;
        }
        progress.Update(done + 1);
    }
    progress.End();
    if (done < total) {
        error += " at frame " + std::to_string(done + 1) + " of " + std::to_string(total) + "; nothing written";
        return false;
    }
    if (!encoder.Finish(error)) {
        error += " when finishing the video; nothing written";
        return false;
    }
    framesEncoded = total;
    return true;
}

#include "VideoCapture.h"

#include "FrameList.h"
#include "Interrupts.h"
#include "OutputFiles.h"
#include "PartFile.h"
#include "PeakMemory.h"
#include "ProgressLine.h"
#include "ProgressReport.h"
#include "SegmentRecord.h"
#include "SegmentedCapture.h"
#include "VideoEncoder.h"
#include "audio/Soundtrack.h"
#include "platform/EglDevices.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

std::string BeatText(double beat) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", beat);
    return text;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

// The platform layer reads the choice from the environment when the engine opens its windows.
bool ChooseDrawing(const CaptureOptions& options, std::string& error) {
    const char* display = std::getenv("DISPLAY");
    if (!options.headless && options.gpu < 0 && display && *display) return true;
    const std::string device = options.gpu >= 0 ? std::to_string(options.gpu) : "surfaceless";
    if (setenv("QUARN_HEADLESS", device.c_str(), 1) == 0) return true;
    error = std::string("cannot set QUARN_HEADLESS: ") + std::strerror(errno);
    return false;
}

bool CheckGpus(const CaptureOptions& options, std::string& error) {
    for (const int gpu : options.gpus) {
        std::string why;
        if (platform::egl::CheckDevice(gpu, why)) continue;
        error = "--gpu " + std::to_string(gpu) + ": " + why;
        return false;
    }
    return true;
}

bool VideoCapture::Run(std::string& error) {
    if (options.parentProcess > 0 && !EndWithParent(options.parentProcess)) {
        error = "the capture that started this segment (process " + std::to_string(options.parentProcess) +
                ") has ended";
        return false;
    }
    if (options.parentProcess > 0 && !SegmentedCapture::PlanHolds(options, error)) return false;
    if (!CheckOutput(options, error)) return false;
    const std::optional<std::filesystem::path> ffmpeg = VideoEncoder::Find();
    if (!ffmpeg) {
        error = "ffmpeg is not installed (no ffmpeg on PATH); install it with: sudo apt-get install ffmpeg";
        return false;
    }
    // The original encoding is left to fail as ever: ffmpeg's own words say why.
    if (options.preset->encoding != VideoEncoding::kStandard &&
        !VideoEncoder::HasEncoders(*ffmpeg, options.preset->encoders, error))
        return false;
    PartFile partFile(options.videoFile);
    if (!partFile.Create(error)) return false;
    // A segment drawn again loses its old record first: until the new one is written, it is not finished.
    std::error_code failure;
    if (options.segment) std::filesystem::remove(SegmentRecordFile(options.videoFile), failure);
    CatchInterrupts();
    session.StopWhen(Interrupted);
    const auto begin = std::chrono::steady_clock::now();
    const bool captured = Capture(*ffmpeg, partFile.path, error);
    session.Stop();
    if (!captured || !frameList || !PublishVideo(partFile, *frameList, options.videoFile, error) ||
        (options.segment && !RecordSegment(options.videoFile, framesEncoded, error)))
        return false;
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const long peak = OwnPeakKilobytes();
    if (report) report->End(framesEncoded, peak, ffmpegPeakKilobytes);
    // The rate counts the captured frames only, not the start-up and the frames run up to --from.
    std::printf("%s (%lld frames at %d frames/s, %.2f s, made in %.1f s; %.3f s a frame; peak memory %.0f MB, "
                "ffmpeg's %.0f MB)\n",
                options.videoFile.c_str(), static_cast<long long>(framesEncoded), options.framesPerSecond,
                static_cast<double>(framesEncoded) / options.framesPerSecond, took, framesSeconds / framesEncoded,
                peak / 1024.0, ffmpegPeakKilobytes / 1024.0);
    return true;
}

bool VideoCapture::Capture(const std::filesystem::path& ffmpeg, const std::filesystem::path& partFile,
                           std::string& error) {
    if (!session.Start(options.runDirectory, options.anisotropyCap, EngineLogFile(options), error)) return false;
    Stretch stretch;
    return ChooseStretch(session.Times(), options, stretch, error) && EncodeFrames(stretch, ffmpeg, partFile, error);
}

// The player's frames from --from up to --to, or to the end of the soundtrack, where it stops;
// a segment's own frames, up to the same end.
bool ChooseStretch(const SoundtrackTimes& soundtrack, const CaptureOptions& options, Stretch& stretch,
                   std::string& error) {
    const double endOfSoundtrack = soundtrack.Seconds();
    if (options.segment) {
        stretch.firstFrame = options.segment->first;
        stretch.endFrame = std::min(options.segment->second, soundtrack.FrameAtOrAfter(endOfSoundtrack));
        if (stretch.firstFrame < stretch.endFrame) return true;
        error = "the segment lies beyond the end of the soundtrack";
        return false;
    }
    const double from = options.fromBeat ? soundtrack.SecondsAtBeat(*options.fromBeat) : 0.0;
    const double to = options.toBeat ? std::min(soundtrack.SecondsAtBeat(*options.toBeat), endOfSoundtrack)
                                     : endOfSoundtrack;
    stretch.firstFrame = soundtrack.FrameAtOrAfter(from);
    stretch.endFrame = soundtrack.FrameAtOrAfter(to);
    if (stretch.firstFrame < stretch.endFrame) return true;
    error = "no frame to capture: the soundtrack ends at beat " + BeatText(soundtrack.BeatAtSeconds(endOfSoundtrack));
    if (options.fromBeat) error += ", and --from is beat " + BeatText(*options.fromBeat);
    return false;
}

bool VideoCapture::EncodeFrames(const Stretch& stretch, const std::filesystem::path& ffmpeg,
                                const std::filesystem::path& partFile, std::string& error) {
    const int64_t total = stretch.endFrame - stretch.firstFrame;
    Announce(stretch);
    VideoStream stream;
    stream.width = options.frame.width;
    stream.height = options.frame.height;
    stream.encoding = options.preset->encoding;
    stream.framesPerSecond = options.framesPerSecond;
    // A segment's sound is laid over the whole once the segments are joined.
    if (!options.segment) stream.audioFile = kSoundtrackPath;
    // The first frame shows the music at its own time, which the sound must start from.
    stream.audioStart = session.FrameSeconds(stretch.firstFrame);
    stream.seconds = static_cast<double>(total) / options.framesPerSecond;
    stream.outFile = partFile;

    VideoEncoder encoder;
    if (!encoder.Start(ffmpeg, stream, error)) return false;
    frameList.emplace(total);
    ProgressLine progress(total, stderr, [&partFile] {
        std::error_code failure;
        const uintmax_t bytes = std::filesystem::file_size(partFile, failure);
        return failure ? uint64_t{0} : static_cast<uint64_t>(bytes);
    });
    if (options.progressFd >= 0) report.emplace(options.progressFd, stretch.firstFrame);
    const auto begin = std::chrono::steady_clock::now();
    int64_t done = 0;
    for (; done < total; ++done) {
        if (Interrupted()) {
            error = "interrupted";
            break;
        }
        const int64_t frame = stretch.firstFrame + done;
        const std::vector<uint8_t>* pixels = session.CaptureFrame(session.FrameSeconds(frame), error);
        if (!pixels) break;
        frameList->Add(frame, session.BeatAtSeconds(session.FrameSeconds(frame)), *pixels);
        if (!encoder.WriteFrame(*pixels, error)) {
            std::string ended;
            encoder.Finish(ended);
            error = ended + " (" + error + ")";
            break;
        }
        progress.Update(done + 1);
        if (report) report->Update(done + 1);
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
    ffmpegPeakKilobytes = encoder.PeakKilobytes();
    framesEncoded = total;
    framesSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return true;
}

// Before the first frame: what is about to be made, so that a wrong setting is seen at once.
void VideoCapture::Announce(const Stretch& stretch) const {
    const FrameSettings& frame = options.frame;
    const int64_t total = stretch.endFrame - stretch.firstFrame;
    std::string settings = *options.preset->name ? std::string("preset ") + options.preset->name : "H.264/AAC";
    if (frame.supersample > 1)
        settings += ", supersample " + std::to_string(frame.supersample) + " (rendered at " +
                    SizeText(frame.RenderWidth(), frame.RenderHeight()) + ")";
    if (frame.motionBlur > 1) {
        char blur[96];
        std::snprintf(blur, sizeof blur, ", motion blur %d renders over a %g-degree shutter", frame.motionBlur,
                      frame.shutterDegrees);
        settings += blur;
    }
    const double first = session.BeatAtSeconds(session.FrameSeconds(stretch.firstFrame));
    const double end = session.BeatAtSeconds(session.FrameSeconds(stretch.endFrame));
    std::printf("%s: %lld frames from beat %s to %s (%.2f s at %d frames/s), %s, %s\n", options.videoFile.c_str(),
                static_cast<long long>(total), BeatText(first).c_str(), BeatText(end).c_str(),
                static_cast<double>(total) / options.framesPerSecond, options.framesPerSecond,
                SizeText(frame.width, frame.height).c_str(), settings.c_str());
    std::fflush(stdout);
}

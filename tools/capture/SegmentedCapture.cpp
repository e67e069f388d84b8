#include "SegmentedCapture.h"

#include "CaptureSession.h"
#include "FrameList.h"
#include "Interrupts.h"
#include "PartFile.h"
#include "VideoCapture.h"
#include "VideoEncoder.h"
#include "audio/Soundtrack.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace {

// Short enough that a failure loses little, long enough that each process's start-up (the engine,
// and running the frames before its segment undrawn) stays small beside its drawing.
constexpr int64_t kLongestSegmentSeconds = 20;

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string FrameNumber(int64_t frame) {
    char text[24];
    std::snprintf(text, sizeof text, "%06" PRId64 " ", frame);
    return text;
}

// Finished when its video is there and its frame list holds every frame, from the first on: both
// are renamed into place only once complete.
bool Finished(int64_t firstFrame, int64_t endFrame, const std::filesystem::path& video) {
    std::error_code failure;
    if (!std::filesystem::is_regular_file(video, failure)) return false;
    const std::string list = ReadAll(FrameListFile(video));
    return list.starts_with(FrameNumber(firstFrame)) &&
           std::count(list.begin(), list.end(), '\n') == endFrame - firstFrame;
}

std::string DescribeExit(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "an unknown end";
}

// Held while the capture works in its parts folder; a second capture finds it taken. The segments'
// processes inherit it, so the folder stays taken until the last process of a run has ended, even
// when the run itself was killed.
class FolderLock {
public:
    FolderLock() = default;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock() {
        if (fd >= 0) close(fd);
    }

    bool Take(const std::filesystem::path& folder, std::string& error) {
        fd = open((folder / "lock").c_str(), O_RDWR | O_CREAT, 0666);
        if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        error = errno == EWOULDBLOCK ? "another capture is working in " + Quoted(folder)
                                     : "cannot lock " + Quoted(folder / "lock") + ": " + std::strerror(errno);
        return false;
    }

private:
    int fd = -1;
};

}  // namespace

SegmentedCapture::SegmentedCapture(const CaptureOptions& options)
    : options(options), parts(std::filesystem::path(options.videoFile).replace_extension(".parts")) {}

bool SegmentedCapture::Run(std::string& error) {
    const std::optional<std::filesystem::path> ffmpeg = VideoEncoder::Find();
    if (!ffmpeg) {
        error = "ffmpeg is not installed (no ffmpeg on PATH); install it with: sudo apt-get install ffmpeg";
        return false;
    }
    if (!VideoEncoder::HasEncoders(*ffmpeg, options.preset->encoders, error)) return false;
    std::error_code failure;
    std::filesystem::create_directories(parts, failure);
    if (failure) {
        error = "cannot make " + Quoted(parts) + ": " + failure.message();
        return false;
    }
    FolderLock lock;
    if (!lock.Take(parts, error)) return false;
    CatchInterrupts();
    if (!Plan(error)) return false;
    if (!DrawMissing(error) || !Join(*ffmpeg, error)) {
        error += "; finished segments are kept in " + Quoted(parts) + ": the same command goes on from them";
        return false;
    }
    std::filesystem::remove_all(parts, failure);
    std::printf("%s (%" PRId64 " frames in %zu segments)\n", options.videoFile.c_str(), endFrame - firstFrame,
                segments.size());
    return true;
}

// The stretch, cut at multiples of half a second: the video-site GOPs' length, so that every
// segment starts on a key frame of the whole.
bool SegmentedCapture::Plan(std::string& error) {
    CaptureSession session(options.framesPerSecond);
    Stretch stretch;
    const bool planned = session.Start(options.runDirectory, options.anisotropyCap, error) &&
                         ChooseStretch(session, options, stretch, error);
    session.Stop();
    if (!planned) return false;
    firstFrame = stretch.firstFrame;
    endFrame = stretch.endFrame;
    firstSeconds = session.FrameSeconds(firstFrame);
    const int64_t fps = options.framesPerSecond;
    const int64_t gop = std::max<int64_t>(1, fps / 2);
    const int64_t share = (endFrame - firstFrame + options.jobs - 1) / options.jobs;
    const int64_t length = (std::min(share, kLongestSegmentSeconds * fps) + gop - 1) / gop * gop;
    size_t finished = 0;
    for (int64_t first = firstFrame; first < endFrame; first += length) {
        Segment segment;
        segment.firstFrame = first;
        segment.endFrame = std::min(endFrame, first + length);
        char name[48];
        std::snprintf(name, sizeof name, "segment-%08" PRId64, first);
        segment.video = (parts / name).replace_extension(options.preset->extension);
        segment.done = Finished(segment.firstFrame, segment.endFrame, segment.video);
        finished += segment.done;
        segments.push_back(segment);
    }
    std::printf("%s: %" PRId64 " frames in %zu segments, %zu already finished in %s, %d at a time\n",
                options.videoFile.c_str(), endFrame - firstFrame, segments.size(), finished, Quoted(parts).c_str(),
                options.jobs);
    std::fflush(stdout);
    return true;
}

// The tool's own arguments, then the segment's, which the later ones override. Each of the --jobs
// slots keeps one device of a --gpu list: one stream of segments per GPU.
std::vector<std::string> SegmentedCapture::SegmentArguments(const Segment& segment, int slot) const {
    std::error_code failure;
    std::vector<std::string> words = {std::filesystem::read_symlink("/proc/self/exe", failure).string()};
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    words.insert(words.end(), {"--segment", std::to_string(segment.firstFrame) + ":" + std::to_string(segment.endFrame),
                               "--video", segment.video.string()});
    if (!options.gpus.empty())
        words.insert(words.end(), {"--gpu", std::to_string(options.gpus[slot % options.gpus.size()])});
    return words;
}

bool SegmentedCapture::DrawMissing(std::string& error) {
    struct Running {
        pid_t process;
        size_t segment;
        int slot;
    };
    std::vector<Running> running;
    std::vector<bool> busy(options.jobs, false);
    size_t next = 0;
    while (true) {
        for (; error.empty() && !Interrupted() && running.size() < static_cast<size_t>(options.jobs) &&
               next < segments.size();
             ++next) {
            if (segments[next].done) continue;
            const int slot = static_cast<int>(std::find(busy.begin(), busy.end(), false) - busy.begin());
            std::vector<std::string> words = SegmentArguments(segments[next], slot);
            std::vector<char*> argv;
            for (std::string& word : words) argv.push_back(word.data());
            argv.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            // Each segment's own summary would only repeat the plan; its progress and errors stay.
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            pid_t child = -1;
            const int result = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
            posix_spawn_file_actions_destroy(&actions);
            if (result != 0) {
                error = "cannot start " + words[0] + ": " + std::strerror(result);
                break;
            }
            busy[slot] = true;
            running.push_back({child, next, slot});
        }
        if (running.empty()) break;
        int status = 0;
        const pid_t ended = waitpid(-1, &status, 0);
        if (ended < 0 && errno == EINTR) continue;
        if (ended < 0) break;
        const auto found =
            std::find_if(running.begin(), running.end(), [ended](const Running& r) { return r.process == ended; });
        if (found == running.end()) continue;
        Segment& segment = segments[found->segment];
        busy[found->slot] = false;
        running.erase(found);
        segment.done = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                       Finished(segment.firstFrame, segment.endFrame, segment.video);
        if (!segment.done && error.empty())
            error = "the segment of frames " + std::to_string(segment.firstFrame) + " to " +
                    std::to_string(segment.endFrame - 1) + " failed (" + DescribeExit(status) + ")";
    }
    if (Interrupted() && error.empty()) error = "interrupted";
    return error.empty();
}

bool SegmentedCapture::Join(const std::filesystem::path& ffmpeg, std::string& error) const {
    const std::filesystem::path joinList = parts / "join.txt";
    FrameList frames(endFrame - firstFrame);
    {
        std::ofstream list(joinList, std::ios::trunc);
        for (const Segment& segment : segments) {
            list << "file '" << segment.video.filename().string() << "'\n";
            frames.AddLines(ReadAll(FrameListFile(segment.video)));
        }
        if (!list.flush()) {
            error = "cannot write " + Quoted(joinList);
            return false;
        }
    }
    PartFile partFile(options.videoFile);
    if (!partFile.Create(error)) return false;
    VideoStream stream;
    stream.width = options.frame.width;
    stream.height = options.frame.height;
    stream.framesPerSecond = options.framesPerSecond;
    stream.audioFile = std::filesystem::absolute(options.runDirectory / kSoundtrackPath);
    stream.audioStart = firstSeconds;
    stream.seconds = static_cast<double>(endFrame - firstFrame) / options.framesPerSecond;
    stream.outFile = partFile.path;
    stream.encoding = options.preset->encoding;
    stream.joinList = joinList;
    VideoEncoder encoder;
    if (!encoder.Start(ffmpeg, stream, error) || !encoder.Finish(error)) {
        error += " when joining the segments";
        return false;
    }
    return frames.Write(FrameListFile(options.videoFile), error) && partFile.Keep(options.videoFile, error);
}

#include "VideoEncoder.h"

#include "PeakMemory.h"
#include "ProgramRun.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <fcntl.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

using Words = std::vector<std::string>;

void Append(Words& words, std::initializer_list<std::string> more) {
    words.insert(words.end(), more);
}

// The frames arrive bottom row first, and are turned upright; converted to 4:2:0 with the HD
// colour matrix they are tagged with. CRF 16 keeps the greeting text sharp.
void H264(Words& words) {
    Append(words, {"-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv", "-c:v", "libx264"});
}

void ColourTags(Words& words) {
    Append(words, {"-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv"});
}

void StandardVideo(Words& words) {
    H264(words);
    Append(words, {"-preset", "medium", "-crf", "16", "-pix_fmt", "yuv420p"});
    ColourTags(words);
}

// A video site's upload recommendations. GOPs of a fixed half second, closed and with no extra
// key frames at scene cuts, so that every GOP can be decoded (and cut) on its own.
void VideoSiteVideo(Words& words, int framesPerSecond) {
    const std::string gop = std::to_string(std::max(1, framesPerSecond / 2));
    H264(words);
    Append(words, {"-profile:v", "high", "-preset", "medium", "-crf", "16", "-pix_fmt", "yuv420p", "-g", gop,
                   "-keyint_min", gop, "-sc_threshold", "0", "-flags", "+cgop", "-bf", "2"});
    ColourTags(words);
}

// Planar RGB keeps the frames' bytes exactly; every frame is a key frame in FFV1.
void MasterVideo(Words& words) {
    Append(words, {"-vf", "vflip", "-c:v", "ffv1", "-level", "3", "-g", "1", "-slicecrc", "1", "-pix_fmt", "gbrp"});
}

void Video(Words& words, const VideoStream& stream) {
    // Segments already encoded are joined as they are: no second generation at the seams.
    if (!stream.joinList.empty()) return Append(words, {"-c:v", "copy"});
    switch (stream.encoding) {
    case VideoEncoding::kStandard: StandardVideo(words); break;
    case VideoEncoding::kVideoSite: VideoSiteVideo(words, stream.framesPerSecond); break;
    case VideoEncoding::kMaster: MasterVideo(words); break;
    }
}

void Audio(Words& words, VideoEncoding encoding) {
    switch (encoding) {
    case VideoEncoding::kStandard: Append(words, {"-c:a", "aac", "-b:a", "192k"}); break;
    case VideoEncoding::kVideoSite:
        Append(words, {"-c:a", "aac", "-profile:a", "aac_low", "-b:a", "384k", "-ar", "48000", "-ac", "2"});
        break;
    case VideoEncoding::kMaster: Append(words, {"-c:a", "flac"}); break;
    }
}

// The picture comes down the pipe as raw frames, or from a list of finished segments.
void PictureInput(Words& words, const VideoStream& stream) {
    if (!stream.joinList.empty())
        return Append(words, {"-f", "concat", "-safe", "0", "-i", stream.joinList.string()});
    Append(words, {"-f", "rawvideo", "-pixel_format", "rgb24", "-video_size",
                   std::to_string(stream.width) + "x" + std::to_string(stream.height), "-framerate",
                   std::to_string(stream.framesPerSecond), "-i", "pipe:0"});
}

Words FfmpegArguments(const std::filesystem::path& ffmpeg, const VideoStream& stream) {
    Words words = {ffmpeg.string(), "-hide_banner", "-loglevel", "error", "-nostats", "-y"};
    PictureInput(words, stream);
    const bool sound = !stream.audioFile.empty();
    if (sound) {
        const std::string start = Decimal(stream.audioStart), length = Decimal(stream.seconds);
        Append(words, {"-ss", start, "-t", length, "-i", stream.audioFile.string()});
    }
    Append(words, {"-map", "0:v:0"});
    if (sound) Append(words, {"-map", "1:a:0"});
    Video(words, stream);
    if (sound) Audio(words, stream.encoding);
    Append(words, {"-t", Decimal(stream.seconds)});
    if (stream.encoding == VideoEncoding::kMaster)
        Append(words, {"-f", "matroska"});
    else
        Append(words, {"-movflags", "+faststart", "-f", "mp4"});
    words.push_back(stream.outFile.string());
    return words;
}

std::string Joined(const Words& words) {
    std::string text;
    for (const std::string& word : words) text.append(text.empty() ? "" : " ").append(word);
    return text;
}

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string DescribeEnd(int status) {
    if (WIFEXITED(status)) return "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    if (WIFSIGNALED(status)) return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended in an unknown way";
}

// A line of the list is " V....D name   description": the name is its second word.
bool Listed(std::string_view list, std::string_view name) {
    while (!list.empty()) {
        const size_t end = list.find('\n');
        const std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        const size_t flags = line.find_first_not_of(' ');
        const size_t space = flags == std::string_view::npos ? flags : line.find(' ', flags);
        const size_t word = space == std::string_view::npos ? space : line.find_first_not_of(' ', space);
        if (word == std::string_view::npos) continue;
        if (line.substr(word, line.find(' ', word) - word) == name) return true;
    }
    return false;
}

}  // namespace

std::optional<std::filesystem::path> VideoEncoder::Find() { return FindOnPath("ffmpeg"); }

bool VideoEncoder::HasEncoders(const std::filesystem::path& ffmpeg, const std::vector<const char*>& names,
                               std::string& error) {
    const ProgramRun listing = RunProgram({ffmpeg.string(), "-hide_banner", "-encoders"});
    if (!listing.Succeeded()) {
        error = "ffmpeg could not list its encoders: " + listing.Why();
        return false;
    }
    for (const char* name : names) {
        if (Listed(listing.output, name)) continue;
        error = "this ffmpeg (" + ffmpeg.string() + ") has no " + name + " encoder";
        return false;
    }
    return true;
}

std::string VideoEncoder::VideoSettings(VideoEncoding encoding, int framesPerSecond) {
    VideoStream stream;
    stream.encoding = encoding;
    stream.framesPerSecond = framesPerSecond;
    Words words;
    Video(words, stream);
    return Joined(words);
}

std::string VideoEncoder::AudioSettings(VideoEncoding encoding) {
    Words words;
    Audio(words, encoding);
    return Joined(words);
}

bool VideoEncoder::Start(const std::filesystem::path& ffmpeg, const VideoStream& stream, std::string& error) {
    // A dead ffmpeg shows as EPIPE on the next write, not as the end of this process.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        error = Errno("cannot make a pipe to ffmpeg");
        return false;
    }
    const bool spawned = StartProgram(FfmpegArguments(ffmpeg, stream), {.input = ends[0]}, true, child, error);
    close(ends[0]);
    if (!spawned) {
        close(ends[1]);
        return false;
    }
    input = ends[1];
    return true;
}

bool VideoEncoder::WriteFrame(const std::vector<uint8_t>& rgb, std::string& error) {
    SamplePeak();
    const uint8_t* data = rgb.data();
    size_t left = rgb.size();
    while (left > 0) {
        const ssize_t written = write(input, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            error = errno == EPIPE ? "ffmpeg stopped taking frames" : Errno("cannot send a frame to ffmpeg");
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

bool VideoEncoder::Finish(std::string& error) {
    if (child <= 0) {
        error = "ffmpeg is not running";
        return false;
    }
    if (input >= 0) close(input);
    input = -1;
    int status = 0;
    const bool reaped = ReapWatching(status);
    child = -1;
    if (!reaped) {
        error = Errno("cannot wait for ffmpeg");
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = DescribeEnd(status);
    return false;
}

// ffmpeg's memory is read while it lives; at its end only the parent's would be left to read.
void VideoEncoder::SamplePeak() {
    peakKilobytes = std::max(peakKilobytes, ::PeakKilobytes(child));
}

// Waits for ffmpeg to end, whatever signals arrive meanwhile, reading its memory until it has.
bool VideoEncoder::ReapWatching(int& status) {
    constexpr useconds_t kInterval = 20000;
    while (true) {
        const pid_t waited = waitpid(child, &status, WNOHANG);
        if (waited == child) return true;
        if (waited < 0 && errno != EINTR) return false;
        SamplePeak();
        usleep(kInterval);
    }
}

// Its file is thrown away, so there is nothing to let it finish.
void VideoEncoder::Abort() {
    if (child <= 0) return;
    kill(child, SIGKILL);
    std::string ignored;
    Finish(ignored);
}

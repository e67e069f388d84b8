#include "VideoEncoder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// CRF 16 keeps the greeting text sharp; yuv420p is what every player decodes. The frames arrive
// bottom row first, and are turned upright and converted with the HD colour matrix they are tagged with.
std::vector<std::string> FfmpegArguments(const std::filesystem::path& ffmpeg, const VideoStream& stream) {
    return {ffmpeg.string(),
            "-hide_banner", "-loglevel", "error", "-nostats", "-y",
            "-f", "rawvideo", "-pixel_format", "rgb24",
            "-video_size", std::to_string(stream.width) + "x" + std::to_string(stream.height),
            "-framerate", std::to_string(stream.framesPerSecond), "-i", "pipe:0",
            "-ss", Decimal(stream.audioStart), "-t", Decimal(stream.seconds), "-i", stream.audioFile.string(),
            "-map", "0:v:0", "-map", "1:a:0",
            "-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv",
            "-c:v", "libx264", "-preset", "medium", "-crf", "16", "-pix_fmt", "yuv420p",
            "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
            "-c:a", "aac", "-b:a", "192k",
            "-t", Decimal(stream.seconds), "-movflags", "+faststart", "-f", "mp4", stream.outFile.string()};
}

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string DescribeEnd(int status) {
    if (WIFEXITED(status)) return "ffmpeg failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    if (WIFSIGNALED(status)) return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended in an unknown way";
}

// ffmpeg runs in a process group of its own, so a Ctrl-C at the terminal reaches only us and
// we decide what becomes of the file; signals we ignore or catch are back to their defaults in it.
bool Spawn(const std::vector<std::string>& words, int stdinFd, pid_t& child, std::string& error) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM}) sigaddset(&defaults, signal);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    const int result = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result == 0) return true;
    child = -1;
    error = "cannot start " + words[0] + ": " + std::strerror(result);
    return false;
}

}  // namespace

std::optional<std::filesystem::path> VideoEncoder::Find() {
    const char* path = std::getenv("PATH");
    std::string_view directories = path ? path : "";
    while (!directories.empty()) {
        const size_t colon = directories.find(':');
        const std::string_view directory = directories.substr(0, colon);
        directories = colon == std::string_view::npos ? std::string_view() : directories.substr(colon + 1);
        if (directory.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(directory) / "ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

bool VideoEncoder::Start(const std::filesystem::path& ffmpeg, const VideoStream& stream, std::string& error) {
    // A dead ffmpeg shows as EPIPE on the next write, not as the end of this process.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        error = Errno("cannot make a pipe to ffmpeg");
        return false;
    }
    const bool spawned = Spawn(FfmpegArguments(ffmpeg, stream), ends[0], child, error);
    close(ends[0]);
    if (!spawned) {
        close(ends[1]);
        return false;
    }
    input = ends[1];
    return true;
}

bool VideoEncoder::WriteFrame(const std::vector<uint8_t>& rgb, std::string& error) {
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
    pid_t waited;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    child = -1;
    if (waited < 0) {
        error = Errno("cannot wait for ffmpeg");
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = DescribeEnd(status);
    return false;
}

// Its file is thrown away, so there is nothing to let it finish.
void VideoEncoder::Abort() {
    if (child <= 0) return;
    kill(child, SIGKILL);
    std::string ignored;
    Finish(ignored);
}

#include "ProgramRun.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr size_t kMostCaught = 1 << 20;

class Pipe {
public:
    Pipe() {
        if (pipe2(ends, O_CLOEXEC) != 0) ends[0] = ends[1] = -1;
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        CloseWriteEnd();
        if (ends[0] >= 0) close(ends[0]);
    }

    bool Valid() const { return ends[0] >= 0; }
    int ReadEnd() const { return ends[0]; }
    int WriteEnd() const { return ends[1]; }
    void CloseWriteEnd() {
        if (ends[1] >= 0) close(ends[1]);
        ends[1] = -1;
    }

private:
    int ends[2];
};

// Both streams at once, so that neither fills its pipe while the other is read.
void Drain(const Pipe& output, const Pipe& errors, ProgramRun& run) {
    std::array<pollfd, 2> ends = {{{output.ReadEnd(), POLLIN, 0}, {errors.ReadEnd(), POLLIN, 0}}};
    std::array<std::string*, 2> into = {&run.output, &run.errors};
    char buffer[4096];
    while (ends[0].fd >= 0 || ends[1].fd >= 0) {
        if (poll(ends.data(), ends.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (size_t i = 0; i < ends.size(); ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0) continue;
            const ssize_t got = read(ends[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ends[i].fd = -1;
                continue;
            }
            const size_t room = kMostCaught - std::min(kMostCaught, into[i]->size());
            into[i]->append(buffer, std::min(room, static_cast<size_t>(got)));
        }
    }
}

}  // namespace

std::string ProgramRun::Why() const {
    const std::string line = errors.substr(0, errors.find('\n'));
    if (!line.empty()) return line;
    if (!started) return "it did not start";
    return exitStatus < 0 ? "it was killed" : "exit status " + std::to_string(exitStatus);
}

std::optional<std::filesystem::path> FindOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view directories = path ? path : "";
    while (!directories.empty()) {
        const size_t colon = directories.find(':');
        const std::string_view directory = directories.substr(0, colon);
        directories = colon == std::string_view::npos ? std::string_view() : directories.substr(colon + 1);
        if (directory.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(directory) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

bool StartProgram(const std::vector<std::string>& words, const ProgramStreams& streams, bool ownGroup, pid_t& child,
                  std::string& error) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    const int wanted[] = {streams.input, streams.output, streams.errors};
    for (int standard = 0; standard < 3; ++standard)
        if (wanted[standard] >= 0) posix_spawn_file_actions_adddup2(&actions, wanted[standard], standard);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM}) sigaddset(&defaults, signal);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (ownGroup) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attributes, flags);
    const int result = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result == 0) return true;
    child = -1;
    error = "cannot start " + words[0] + ": " + std::strerror(result);
    return false;
}

ProgramRun RunProgram(const std::vector<std::string>& words) {
    ProgramRun run;
    Pipe output, errors;
    if (!output.Valid() || !errors.Valid()) {
        run.errors = "cannot start " + words[0] + ": " + std::strerror(errno);
        return run;
    }
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t child = -1;
    run.started = StartProgram(words, {nothing, output.WriteEnd(), errors.WriteEnd()}, false, child, run.errors);
    if (nothing >= 0) close(nothing);
    if (!run.started) return run;
    output.CloseWriteEnd();
    errors.CloseWriteEnd();
    Drain(output, errors, run);
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == child && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    return run;
}

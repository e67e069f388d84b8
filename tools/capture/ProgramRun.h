#pragma once
// Other programs started from an argument vector, never through a shell: ffmpeg, fed frames,
// and the scheduler's commands and ffmpeg's encoder list, run to their end with what they print
// caught.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

struct ProgramRun {
    bool started = false;
    int exitStatus = -1;  // -1 when it did not exit by itself
    std::string output;   // its standard output, up to a size no answer here comes near
    std::string errors;   // its standard error, likewise

    bool Succeeded() const { return started && exitStatus == 0; }
    // Its errors' first line, or its status: what to show when it failed.
    std::string Why() const;
};

// The first executable `name` in a PATH directory.
std::optional<std::filesystem::path> FindOnPath(std::string_view name);

// The descriptors a started program gets as its standard streams; below 0 it keeps ours.
struct ProgramStreams {
    int input = -1;
    int output = -1;
    int errors = -1;
};

// Starts words[0] (a path). Signals that this process catches or ignores are back to their
// defaults in it. `ownGroup` puts it in a process group of its own, so that a Ctrl-C at the
// terminal reaches only us and we decide what becomes of its work.
bool StartProgram(const std::vector<std::string>& words, const ProgramStreams& streams, bool ownGroup, pid_t& child,
                  std::string& error);

// Runs words[0] (a path) with no standard input. Signals that this process catches are back to
// their defaults in it.
ProgramRun RunProgram(const std::vector<std::string>& words);

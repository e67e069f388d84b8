#pragma once
// Another program run to its end from an argument vector, never through a shell, with what it
// prints caught: the scheduler's commands, whose answers the capture reads.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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

// Runs words[0] (a path) with no standard input. Signals that this process catches are back to
// their defaults in it.
ProgramRun RunProgram(const std::vector<std::string>& words);

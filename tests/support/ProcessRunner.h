#pragma once
// Runs a program as a child process, with a timeout, and reports how it ended.

#include <chrono>
#include <string>
#include <utility>
#include <vector>

struct ProcessOptions {
    std::string executable;
    std::vector<std::string> arguments;
    std::string workingDirectory;
    std::vector<std::pair<std::string, std::string>> environment;  // added to or replacing ours
    std::chrono::milliseconds timeout{20000};
    // Run as nobody (uid and gid 65534) when we are root, so that file permissions apply.
    bool dropPrivileges = false;
};

struct ProcessResult {
    bool started = false;  // false when the child could not be set up or exec failed
    std::string startError;
    bool exited = false;  // ended through exit; exitStatus holds the status
    int exitStatus = -1;
    int signal = 0;  // the signal that ended it, if any
    bool timedOut = false;
    double seconds = 0.0;
    long peakMemoryKb = 0;  // the child's peak resident set
};

ProcessResult RunProcess(const ProcessOptions& options);

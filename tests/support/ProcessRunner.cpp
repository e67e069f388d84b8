#include "support/ProcessRunner.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr uid_t kNobody = 65534;

std::vector<std::string> BuildEnvironment(const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : overrides) replaced |= text.rfind(name + "=", 0) == 0;
        if (!replaced) entries.push_back(text);
    }
    for (const auto& [name, value] : overrides) entries.push_back(name + "=" + value);
    return entries;
}

// Runs in the forked child: only async-signal-safe calls until exec. Reports errno through the
// pipe when it cannot get to exec.
[[noreturn]] void StartChild(const ProcessOptions& options, char* const argv[], char* const envp[], int reportFd) {
    int step = 0;
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) step = 1;
    if (step == 0 && options.dropPrivileges && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
        step = 2;
    if (step == 0) {
        execve(options.executable.c_str(), argv, envp);
        step = 3;
    }
    const int report[2] = {step, errno};
    [[maybe_unused]] ssize_t written = write(reportFd, report, sizeof report);
    _exit(127);
}

std::string DescribeStartFailure(const int report[2]) {
    static const char* const kSteps[] = {"", "chdir", "dropping privileges", "exec"};
    const int step = report[0] >= 1 && report[0] <= 3 ? report[0] : 3;
    return std::string(kSteps[step]) + " failed: " + std::strerror(report[1]);
}

void WaitForChild(pid_t pid, std::chrono::milliseconds timeout, ProcessResult& result) {
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    struct rusage usage {};
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return;
        if (std::chrono::steady_clock::now() - start > timeout) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMemoryKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

}  // namespace

ProcessResult RunProcess(const ProcessOptions& options) {
    ProcessResult result;
    std::vector<std::string> environment = BuildEnvironment(options.environment);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words{options.executable};
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        result.startError = std::string("pipe failed: ") + std::strerror(errno);
        return result;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        result.startError = std::string("fork failed: ") + std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return result;
    }
    if (pid == 0) StartChild(options, argv.data(), envp.data(), report[1]);

    close(report[1]);
    int failure[2] = {0, 0};
    // The pipe closes on a successful exec, so a read of 0 bytes means the program is running.
    ssize_t got;
    do {
        got = read(report[0], failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    result.started = got == 0;
    if (got > 0) result.startError = DescribeStartFailure(failure);

    WaitForChild(pid, options.timeout, result);
    return result;
}

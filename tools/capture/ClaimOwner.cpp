#include "ClaimOwner.h"

#include "SlurmQueue.h"
#include "io/FileCalls.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace {

std::string FirstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The boot and the clock tick since it at which `process` started: field 22 of its stat, counted
// after the name, which may hold spaces and parentheses. Empty when the process is not there.
std::string StartOf(unsigned long process) {
    std::ifstream in("/proc/" + std::to_string(process) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(in), {}};
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return "";
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    int number = 2;
    while (number < 22 && fields >> field) ++number;
    const std::string boot = FirstLine("/proc/sys/kernel/random/boot_id");
    return number < 22 || boot.empty() ? "" : boot + "/" + field;
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The Slurm job of this process ("12" or "12_3"), empty outside Slurm.
std::string ThisSlurmJob() {
    const std::string array = Variable("SLURM_ARRAY_JOB_ID"), task = Variable("SLURM_ARRAY_TASK_ID");
    if (!array.empty() && !task.empty()) return array + "_" + task;
    return Variable("SLURM_JOB_ID");
}

// The whole job, whose every task runs under a claim handed to it.
std::string ThisSlurmJobOnly() {
    const std::string array = Variable("SLURM_ARRAY_JOB_ID");
    return array.empty() ? Variable("SLURM_JOB_ID") : array;
}

int64_t ThisRestarts() { return std::strtoll(Variable("SLURM_RESTART_COUNT").c_str(), nullptr, 10); }

bool IsTaskId(const std::string& text) {
    const size_t mark = text.find('_');
    return IsJobId(text.substr(0, mark)) && (mark == std::string::npos || IsJobId(text.substr(mark + 1)));
}

std::string Joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
    return text;
}

OwnerState JobsState(const std::vector<std::string>& ids, std::string& why) {
    SlurmQueue queue;
    std::vector<QueuedJob> queued;
    std::string error;
    if (!queue.Find(error) || !queue.Read(ids, queued, error)) {
        why = "Slurm cannot say whether they still run (" + error + ")";
        return OwnerState::kUnknown;
    }
    const auto active = std::find_if(queued.begin(), queued.end(), [](const QueuedJob& j) { return Active(j.state); });
    if (active == queued.end()) return OwnerState::kGone;
    why = "job " + active->id + " is " + active->state + "; wait for them, or cancel them with: scancel " +
          Joined(ids, " ");
    return OwnerState::kRunning;
}

OwnerState ProcessState(const ClaimOwner& owner, std::string& why) {
    if (!ProcessRunning(owner.pid)) return OwnerState::kGone;
    // A claim written before its process's start could be read is trusted on the id alone.
    if (!owner.started.empty() && StartOf(owner.pid) != owner.started) return OwnerState::kGone;
    why = owner.pid == ThisProcess() ? "this very process" : "it is still running";
    return owner.pid == ThisProcess() ? OwnerState::kHere : OwnerState::kRunning;
}

}  // namespace

ClaimOwner ClaimOwner::ThisProcess() {
    ClaimOwner owner;
    owner.host = HostName();
    owner.pid = ::ThisProcess();
    owner.started = StartOf(owner.pid);
    owner.since = static_cast<int64_t>(std::time(nullptr));
    owner.job = ThisSlurmJob();
    if (!IsTaskId(owner.job)) owner.job.clear();
    owner.restarts = ThisRestarts();
    return owner;
}

std::string ClaimOwner::Text() const {
    std::string text = "host " + host + "\npid " + std::to_string(pid) + "\n";
    if (!started.empty()) text += "started " + started + "\n";
    text += "since " + std::to_string(since) + "\n";
    if (!job.empty()) text += "job " + job + "\nrestarts " + std::to_string(restarts) + "\n";
    if (!jobs.empty()) text += "jobs " + Joined(jobs, ",") + "\n";
    return text + "end\n";
}

// Every value is checked, since job ids go to squeue; a file without its last line was torn.
std::optional<ClaimOwner> ClaimOwner::Parse(const std::string& text) {
    constexpr size_t kMostBytes = 4096;
    if (text.size() > kMostBytes || !text.ends_with("\nend\n")) return std::nullopt;
    ClaimOwner owner;
    std::istringstream lines(text);
    for (std::string key, value; lines >> key && key != "end";) {
        if (!(lines >> value)) return std::nullopt;
        char* end = nullptr;
        const long long number = std::strtoll(value.c_str(), &end, 10);
        const bool whole = *end == '\0' && number >= 0;
        if (key == "host") owner.host = value;
        else if (key == "started") owner.started = value;
        else if (key == "pid" && whole) owner.pid = static_cast<unsigned long>(number);
        else if (key == "since" && whole) owner.since = number;
        else if (key == "restarts" && whole) owner.restarts = number;
        else if (key == "job" && IsTaskId(value)) owner.job = value;
        else if (key == "jobs") {
            std::istringstream ids(value);
            for (std::string id; std::getline(ids, id, ',');) {
                if (!IsJobId(id)) return std::nullopt;
                owner.jobs.push_back(id);
            }
        } else return std::nullopt;
    }
    if (owner.host.empty() || (owner.pid == 0 && owner.jobs.empty())) return std::nullopt;
    return owner;
}

std::string ClaimOwner::Describe() const {
    char when[40] = "";
    const std::time_t at = static_cast<std::time_t>(since);
    std::tm utc{};
    if (gmtime_r(&at, &utc)) std::strftime(when, sizeof when, " since %Y-%m-%d %H:%M:%S UTC", &utc);
    if (!jobs.empty()) return "Slurm jobs " + Joined(jobs, ", ") + " (submitted from " + host + when + ")";
    return "process " + std::to_string(pid) + " on " + host + (job.empty() ? "" : " (Slurm job " + job + ")") + when;
}

OwnerState JudgeOwner(const ClaimOwner& owner, std::string& why) {
    if (!owner.jobs.empty()) {
        const std::string mine = ThisSlurmJobOnly();
        if (!mine.empty() && std::find(owner.jobs.begin(), owner.jobs.end(), mine) != owner.jobs.end())
            return OwnerState::kHere;
        return JobsState(owner.jobs, why);
    }
    // Slurm runs a task once at a time: a claim of an earlier run of this very task was left by a
    // run that Slurm took for lost, whatever node it was on.
    if (!owner.job.empty() && owner.job == ThisSlurmJob() && owner.restarts < ThisRestarts()) return OwnerState::kGone;
    if (owner.host == HostName()) return ProcessState(owner, why);
    if (!owner.job.empty()) return JobsState({owner.job}, why);
    why = "a process of another host is never taken for gone";
    return OwnerState::kUnknown;
}

std::string HostName() {
    char name[256] = "";
    gethostname(name, sizeof name - 1);
    return name;
}

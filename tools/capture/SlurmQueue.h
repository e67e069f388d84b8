#pragma once
// Slurm's own commands, run as the user would run them: sbatch to submit, squeue to see a job's
// state, scancel to withdraw one. Nothing of Slurm is linked: a cluster's commands match its
// daemons, whatever version this tool was built against.

#include <filesystem>
#include <string>
#include <vector>

// One line of squeue: a job, or one task of an array job ("12_3").
struct QueuedJob {
    std::string id;
    std::string state;     // PENDING, RUNNING, COMPLETED, FAILED, CANCELLED ...
    std::string reason;    // why it is pending, such as Dependency
    std::string identity;  // its name and comment, "NAME|COMMENT"
};

// A state from which a job does not come back by itself: it failed, was cancelled, ran out of
// time or memory, or lost its node.
bool EndedBadly(const std::string& state);
bool Active(const std::string& state);
// Preempted, or its node lost: a job that may be requeued and run again.
bool MayComeBack(const std::string& state);
// A job's number as sbatch gives it, and nothing else.
bool IsJobId(const std::string& text);

class SlurmQueue {
public:
    // False, with `error` saying that Slurm is needed, when sbatch is not on PATH.
    bool Find(std::string& error);

    // Submits `script` with `options` and `arguments` after it; the job's id ("12").
    bool Submit(const std::vector<std::string>& options, const std::filesystem::path& script,
                const std::vector<std::string>& arguments, std::string& id, std::string& error) const;
    // The jobs' lines, those ended lately included; an array job's tasks one a line. Jobs the
    // controller has forgotten are left out.
    bool Read(const std::vector<std::string>& ids, std::vector<QueuedJob>& jobs, std::string& error) const;
    // The same for the jobs named `name`, whatever their ids.
    bool ReadNamed(const std::string& name, std::vector<QueuedJob>& jobs, std::string& error) const;
    bool Cancel(const std::vector<std::string>& ids, std::string& error) const;

private:
    bool ReadLines(const std::string& selection, std::vector<QueuedJob>& jobs, std::string& error) const;

    std::filesystem::path sbatch, squeue, scancel;
};

// Options as a shell would split them, quotes and backslashes included, but with nothing
// expanded and nothing run. False, saying why, for an unclosed quote.
bool SplitOptions(const std::string& text, std::vector<std::string>& words, std::string& error);

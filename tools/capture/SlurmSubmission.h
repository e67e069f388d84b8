#pragma once
// A video's segments handed to Slurm from a cluster's login node: one array job with a task per
// segment still missing, each drawing its segment on a node, and a join that starts once every
// task has succeeded. The plan in the output's parts folder says what each draws, so the folder
// and the run directory must lie on a file system that every node sees at the same path. A run
// after a failed or cancelled task submits only what is missing.

#include "CaptureOptions.h"
#include "CapturePlan.h"
#include "SlurmQueue.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

class SlurmSubmission {
public:
    explicit SlurmSubmission(const CaptureOptions& options);

    // Submits, and with --wait waits for the join. Says why in `error` when the jobs could not be
    // submitted, or (waiting) when the video was not made.
    bool Run(std::string& error);

private:
    struct Jobs {
        std::string capture;  // the submission's own mark, in its jobs' names and comments
        std::string array;    // empty when every segment was drawn already
        std::string join;
        std::vector<std::string> Ids() const;
        std::string JobList(char separator = ',') const;
        // What is kept in the parts folder, for the next submission to find.
        std::string Text() const;
        static Jobs Parse(const std::string& text);
    };

    bool CheckEarlierJobs(std::string& error) const;
    void KeepEvidence() const;
    bool Submit(const CapturePlan& plan, const std::vector<size_t>& missing, std::string& error);
    bool SubmitJob(const char* role, std::vector<std::string> more, std::string& id, std::string& error) const;
    bool Record(std::string& error) const;
    bool WriteJobScript(std::string& error) const;
    std::vector<std::string> ToolArguments(const char* mode) const;
    void Announce(const std::vector<size_t>& missing) const;
    bool Wait(std::string& error);
    bool Settled(const std::vector<QueuedJob>& queued, bool& done, std::string& error);
    bool GivenUp(const QueuedJob& job);
    std::string LogOf(const std::string& job) const;
    int64_t FramesDrawn() const;
    void ShowProgress(std::chrono::steady_clock::time_point since, int64_t drawnBefore) const;

    const CaptureOptions& options;
    const std::filesystem::path parts;
    const std::filesystem::path script;
    const std::filesystem::path record;  // the last submission's mark and job ids
    SlurmQueue queue;
    std::vector<std::string> sbatchOptions;
    CapturePlan plan;
    Jobs jobs;
    // Tasks preempted or left by their node, since when: Slurm may requeue them.
    std::map<std::string, std::chrono::steady_clock::time_point> downSince;
};

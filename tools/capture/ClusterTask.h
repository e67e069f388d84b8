#pragma once
// The two steps that a scheduler runs on its nodes, each from the plan left in the output's parts
// folder by the submission (--slurm, or --plan for another scheduler): drawing one segment
// (--segment-index) and joining them all (--join). Nodes share nothing but the file system, so each step first checks that it sees the
// run directory and the parts folder, and that the plan is the one its own settings and data make.

#include "CaptureOptions.h"
#include "CapturePlan.h"

#include <filesystem>
#include <string>

class ClusterTask {
public:
    explicit ClusterTask(const CaptureOptions& options);

    // Plans as --slurm does, and says which segments are still to draw.
    bool Plan(std::string& error);
    // A segment already drawn is left as it is: a task run again after it finished (Slurm requeues
    // tasks of a lost node) draws nothing twice.
    bool DrawSegment(std::string& error);
    bool Join(std::string& error);
    // Where the task drawing segment `index` keeps how far it has come, for the submission to show.
    static std::filesystem::path ProgressFile(const CapturePlan& plan, const std::filesystem::path& parts,
                                              size_t index);

private:
    bool ReadPlan(std::string& error);
    bool SegmentIndex(size_t& index, std::string& error) const;
    bool ProveFrames(std::string& error) const;

    const CaptureOptions& options;
    const std::filesystem::path parts;
    CapturePlan plan;
};

#include "ClusterTask.h"

#include "CaptureSession.h"
#include "ClaimOwner.h"
#include "FrameList.h"
#include "OutputFiles.h"
#include "SegmentedCapture.h"
#include "TaskEnvironment.h"
#include "VideoCapture.h"

#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace {

// Nodes share nothing but the file system, where the submission found both folders.
bool CheckShared(const std::filesystem::path& folder, std::string& error) {
    std::error_code failure;
    if (std::filesystem::is_directory(folder, failure)) return true;
    error = Quoted(folder) + " is not there on " + HostName() +
            ": the run directory and the output folder must be visible at the same path on every node";
    return false;
}

// A parts folder missing beside an output folder that is there was never planned, on any node.
bool CheckPlanned(const std::filesystem::path& parts, std::string& error) {
    std::error_code failure;
    if (!std::filesystem::is_directory(parts.parent_path(), failure) || std::filesystem::is_directory(parts, failure))
        return CheckShared(parts, error);
    error = "no plan in " + Quoted(parts) + ": plan the capture first (--slurm or --plan)";
    return false;
}

std::string Frames(const PlannedSegment& segment) {
    return "frames " + std::to_string(segment.firstFrame) + " to " + std::to_string(segment.endFrame - 1);
}

}  // namespace

ClusterTask::ClusterTask(const CaptureOptions& options) : options(options), parts(PartsFolder(options.videoFile)) {}

bool ClusterTask::Plan(std::string& error) {
    return SegmentedCapture(options).HandOn(
        [this](const CapturePlan& planned, const std::vector<size_t>& missing, std::string&) {
            const std::string list = SegmentIndexList(missing, ' ');
            std::printf("%s: %s planned; to draw: %s\n"
                        "Draw each on a node with these settings and --segment-index K, then join them with --join.\n",
                        options.videoFile.c_str(), SegmentCount(planned.Segments().size()).c_str(),
                        list.empty() ? "none" : list.c_str());
            return true;
        },
        error);
}

bool ClusterTask::DrawSegment(std::string& error) {
    size_t index = 0;
    if (!ReadPlan(error) || !SegmentIndex(index, error) || !SegmentedCapture::MayWorkIn(parts, error)) return false;
    const PlannedSegment& segment = plan.Segments()[index];
    if (SegmentedCapture::Drawn(plan, parts, index)) {
        std::printf("%s: segment %zu (%s) is drawn already\n", options.videoFile.c_str(), index,
                    Frames(segment).c_str());
        return true;
    }
    CaptureOptions task = options;
    task.segment.emplace(segment.firstFrame, segment.endFrame);
    task.videoFile = plan.SegmentVideo(parts, index);
    // A node has no display of ours, whatever DISPLAY the submission passed on.
    task.headless = true;
    if (options.gpuFromScheduler) {
        const std::optional<int> gpu = GpuFromEnvironment(error);
        if (!gpu) return false;
        task.gpu = *gpu;
        task.gpus = {*gpu};
        if (!CheckGpus(task, error)) return false;
    }
    std::printf("%s: segment %zu (%s) on %s\n", options.videoFile.c_str(), index, Frames(segment).c_str(),
                HostName().c_str());
    std::fflush(stdout);
    // Truncated, so that a requeued task counts from its own start.
    task.progressFd =
        open(ProgressFile(plan, parts, index).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    const bool drawn = ChooseDrawing(task, error) && VideoCapture(task).Run(error);
    if (task.progressFd >= 0) close(task.progressFd);
    return drawn;
}

std::filesystem::path ClusterTask::ProgressFile(const CapturePlan& plan, const std::filesystem::path& parts,
                                                size_t index) {
    std::filesystem::path file = plan.SegmentVideo(parts, index);
    return file += ".progress";
}

bool ClusterTask::Join(std::string& error) {
    if (!ReadPlan(error)) return false;
    std::string missing;
    size_t count = 0;
    for (size_t i = 0; i < plan.Segments().size(); ++i) {
        if (SegmentedCapture::Drawn(plan, parts, i)) continue;
        missing += (missing.empty() ? "" : ", ") + std::to_string(i) + " (" + Frames(plan.Segments()[i]) + ")";
        ++count;
    }
    if (count > 0) {
        // Only a Slurm submission leaves its record in the folder; another scheduler's tasks are
        // run again by whoever ran them.
        std::error_code failure;
        const bool slurm = std::filesystem::exists(parts / "slurm-jobs", failure);
        error = std::to_string(count) + " of " + std::to_string(plan.Segments().size()) +
                " segments are not drawn: " + missing +
                (slurm ? "; the same --slurm command submits them again (the failed tasks' logs: " +
                             (parts / "slurm-*.log").string() + ")"
                       : "; draw each with --segment-index, then --join again");
        return false;
    }
    return ProveFrames(error) && SegmentedCapture(options).JoinDrawn(plan, error);
}

// The segments' frame lists, one after another, run from the plan's first frame to its last,
// each frame once: the join has every frame and no other.
bool ClusterTask::ProveFrames(std::string& error) const {
    int64_t expected = plan.FirstFrame();
    for (size_t i = 0; i < plan.Segments().size(); ++i) {
        std::ifstream list(FrameListFile(plan.SegmentVideo(parts, i)));
        long long frame = 0;
        for (std::string line; std::getline(list, line) && expected < plan.EndFrame(); ++expected) {
            if (std::sscanf(line.c_str(), "%lld ", &frame) == 1 && frame == expected) continue;
            error = "the frame list of segment " + std::to_string(i) + " has \"" + line.substr(0, 40) +
                    "\" where frame " + std::to_string(expected) + " belongs";
            return false;
        }
    }
    if (expected == plan.EndFrame()) return true;
    error = "the segments' frame lists end at frame " + std::to_string(expected) + ", before the plan's last";
    return false;
}

// What every node must see, and the plan it must find there.
bool ClusterTask::ReadPlan(std::string& error) {
    if (!CheckShared(options.runDirectory, error) || !CheckPlanned(parts, error)) return false;
    std::optional<CapturePlan> stored = CapturePlan::Read(parts, error);
    if (!stored) {
        if (error.empty()) error = "no plan in " + Quoted(parts) + ": submit the capture first (--slurm or --plan)";
        return false;
    }
    // The frames too: a task given another --from or --to would draw and join other frames than
    // the plan's.
    std::optional<CapturePlan> mine = CapturePlan::ForCapture(options, error);
    if (!mine) return false;
    const std::string differences = mine->DifferenceText(*stored);
    if (!differences.empty()) {
        error = "the plan in " + Quoted(parts) + " was made with other settings or data (" + differences +
                "); submit the capture again";
        return false;
    }
    plan = std::move(*stored);
    return true;
}

bool ClusterTask::SegmentIndex(size_t& index, std::string& error) const {
    std::optional<int64_t> given = options.segmentIndex;
    if (!given) given = TaskIndexFromEnvironment(error);
    if (!given) return false;
    if (static_cast<size_t>(*given) < plan.Segments().size()) {
        index = static_cast<size_t>(*given);
        return true;
    }
    error = "no segment " + std::to_string(*given) + ": the plan has " + std::to_string(plan.Segments().size());
    return false;
}

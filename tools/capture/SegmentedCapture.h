#pragma once
// A video drawn in segments by several processes of this tool at once, then joined without
// encoding again, with the sound laid once over the whole. The work lives in FILE.parts/ until the
// video is complete, so that a run after a failure, a full disk or Ctrl-C draws only what is
// missing, as long as the settings and the data are those the segments were drawn with. One
// capture at a time may work in a FILE.parts/: its claim, FILE.parts/lock, says which
// (OwnerClaim.h), be it a process of this tool or the Slurm jobs of a submission.

#include "CaptureOptions.h"
#include "CapturePlan.h"
#include "OwnerClaim.h"
#include "ProgressReport.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// "1 segment", "3 segments".
std::string SegmentCount(size_t count);

class SegmentedCapture {
public:
    explicit SegmentedCapture(const CaptureOptions& options);

    // Says why in `error` when there is no video; finished segments are then kept.
    bool Run(std::string& error);

    // For a scheduler, whose jobs draw and join: checks, plans and clears the folder as Run does,
    // then hands on the plan and the segments still to draw, with the folder claimed meanwhile.
    // The folder made where needed and claimed, as HandOn begins: what a caller moves in the folder
    // before the plan, it moves under the claim.
    bool Claim(std::string& error);
    using Handler = std::function<bool(const CapturePlan& plan, const std::vector<size_t>& missing, std::string& error)>;
    bool HandOn(const Handler& handler, std::string& error);
    // Inside the handler: the folder stays claimed for these Slurm jobs once this process ends.
    void HandFolderTo(const std::vector<std::string>& jobs);
    // The scheduler's join: the segments of `drawn`, every one drawn, joined as Run ends.
    bool JoinDrawn(const CapturePlan& drawn, std::string& error);
    // Whether segment `index` of `plan` lies complete in `parts`.
    static bool Drawn(const CapturePlan& plan, const std::filesystem::path& parts, size_t index);
    // Says who works in `parts`, unless no one does or the Slurm job of this process does.
    static bool MayWorkIn(const std::filesystem::path& parts, std::string& error);
    // For a segment's process of a run: whether the settings and data are still those of the plan
    // the run made; false, saying what changed, when not.
    static bool PlanHolds(const CaptureOptions& segment, std::string& error);

private:
    struct Segment {
        std::filesystem::path video;
        bool done = false;
    };

    bool MakeFolder(bool& made, std::string& error) const;
    bool ClaimFolder(std::string& error, std::chrono::seconds patience = {});
    void RemoveFolder();
    // `drawnHere`: by this run's own processes, --jobs at a time.
    bool Plan(bool drawnHere, std::string& error);
    std::optional<CapturePlan> EarlierPlan() const;
    bool ClearAllBut(std::string& error) const;
    void LeaveFinished(bool made, std::string& error);
    std::string FinishedFrames() const;
    // A segment's process while it draws.
    struct Running {
        pid_t process;
        size_t segment;
        int slot;      // of the --jobs, which keeps one device of a --gpu list
        int64_t done;  // frames, as it last reported
    };

    bool DrawMissing(std::string& error);
    size_t StartSegments(size_t next, int reportFd, std::string& error);
    void PassOnInterrupt() const;
    void ReadReports(int fd);
    void TakeReport(const ProgressReport::Line& line);
    void ReapSegments(std::string& error);
    int64_t FramesDone() const;
    uint64_t BytesWritten() const;
    std::filesystem::path SegmentLog(size_t index) const;
    bool CheckSegments(std::string& error);
    bool Join(const std::filesystem::path& ffmpeg, std::string& error);
    void Summarise(double seconds) const;
    std::vector<std::string> SegmentArguments(size_t index, int slot) const;

    const CaptureOptions& options;
    const std::filesystem::path parts;
    OwnerClaim claim;  // of the parts folder, while this run works in it
    bool madeFolder = false;  // by this run, which then removes it when it leaves nothing in it
    CapturePlan plan;
    std::vector<Segment> segments;  // the plan's, in its order
    std::vector<Running> running;
    std::string pendingReports;  // the start of a report still to come whole
    int64_t framesBefore = 0;    // finished before this run
    bool segmentsStarted = false;
    long segmentPeakKilobytes = 0;
    long segmentFfmpegPeakKilobytes = 0;
    long joinPeakKilobytes = 0;
};

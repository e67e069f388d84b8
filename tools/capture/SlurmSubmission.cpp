#include "SlurmSubmission.h"

#include "CaptureSession.h"
#include "Interrupts.h"
#include "OutputFiles.h"
#include "ProgressLine.h"
#include "SegmentedCapture.h"
#include "io/TemporaryFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <thread>

namespace {

// squeue asks the controller, which a whole cluster shares: a few seconds apart is enough to see
// a join end, and far from a burden.
constexpr std::chrono::seconds kQueueInterval{2};

std::string ReadSmall(const std::filesystem::path& file) {
    constexpr std::streamsize kMost = 4096;
    std::ifstream in(file, std::ios::binary);
    std::string text(kMost, '\0');
    in.read(text.data(), kMost);
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

std::string Duration(double seconds) {
    char text[32];
    FormatDuration(seconds, text, sizeof text);
    return text;
}

double SecondsSince(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

std::vector<std::string> SlurmSubmission::Jobs::Ids() const {
    return array.empty() ? std::vector<std::string>{join} : std::vector<std::string>{array, join};
}

std::string SlurmSubmission::Jobs::Text() const {
    return (array.empty() ? "" : "array " + array + "\n") + "join " + join + "\n";
}

// The record as Text wrote it. Anything else is no record: its words go to squeue and scancel, so
// only job numbers are taken.
SlurmSubmission::Jobs SlurmSubmission::Jobs::Parse(const std::string& text) {
    Jobs jobs;
    std::istringstream lines(text);
    std::string name, id;
    while (lines >> name >> id) {
        if (!IsJobId(id)) return {};
        if (name == "array") jobs.array = id;
        if (name == "join") jobs.join = id;
    }
    return jobs;
}

SlurmSubmission::SlurmSubmission(const CaptureOptions& options)
    : options(options),
      parts(PartsFolder(options.videoFile)),
      script(parts / "slurm-job.sh"),
      record(parts / "slurm-jobs") {}

bool SlurmSubmission::Run(std::string& error) {
    if (!queue.Find(error) || !SplitOptions(options.sbatchOptions, sbatchOptions, error)) return false;
    if (!CheckEarlierJobs(error)) return false;
    SegmentedCapture capture(options);
    if (!capture.HandOn([this, &capture](const CapturePlan& planned, const std::vector<size_t>& missing,
                                         std::string& why) {
            if (!Submit(planned, missing, why)) return false;
            capture.HandFolderTo(jobs.Ids());
            return true;
        }, error))
        return false;
    return !options.waitForJoin || Wait(error);
}

// The jobs of an earlier submission, while any still runs or waits, own the parts folder: planning
// again would remove what they are writing. A join left waiting on tasks that failed never runs;
// it is withdrawn, and the new submission brings its own.
bool SlurmSubmission::CheckEarlierJobs(std::string& error) const {
    const Jobs earlier = Jobs::Parse(ReadSmall(record));
    if (earlier.join.empty()) return true;
    std::vector<QueuedJob> queued;
    if (!queue.Read(earlier.Ids(), queued, error)) return false;
    bool joinWaiting = false;
    for (const QueuedJob& job : queued) {
        if (!Active(job.state)) continue;
        if (job.id == earlier.join && job.state == "PENDING") {
            joinWaiting = true;
            continue;
        }
        error = "the jobs of the last submission into " + Quoted(parts) + " are still queued (" + job.id + " is " +
                job.state + "); wait for them, or cancel them with: scancel " + earlier.JobList(' ');
        return false;
    }
    if (!joinWaiting) return true;
    std::printf("%s: withdrawing the join of the last submission (job %s), which waits on tasks that did not "
                "succeed\n",
                options.videoFile.c_str(), earlier.join.c_str());
    return queue.Cancel({earlier.join}, error);
}

bool SlurmSubmission::Submit(const CapturePlan& planned, const std::vector<size_t>& missing, std::string& error) {
    plan = planned;
    if (!WriteJobScript(error)) return false;
    // Slurm reads % in a path as the start of a pattern; %% is a plain one.
    std::string logs;
    for (const char c : (parts / "slurm-").string()) logs += c == '%' ? std::string("%%") : std::string(1, c);
    if (!missing.empty()) {
        std::vector<std::string> arrayOptions = sbatchOptions;
        arrayOptions.insert(arrayOptions.end(), {"--job-name=quarn-capture", "--chdir=" + parts.string(),
                                                 "--array=" + SegmentIndexList(missing, ','),
                                                 "--output=" + logs + "%A_%a.log"});
        if (options.gpuFromScheduler) arrayOptions.push_back("--gres=gpu:1");
        if (!queue.Submit(arrayOptions, script, ToolArguments("--segment-index"), jobs.array, error)) return false;
    }
    std::vector<std::string> joinOptions = sbatchOptions;
    joinOptions.insert(joinOptions.end(), {"--job-name=quarn-capture-join", "--chdir=" + parts.string(),
                                           "--output=" + logs + "%j-join.log"});
    if (!jobs.array.empty()) joinOptions.push_back("--dependency=afterok:" + jobs.array);
    if (!queue.Submit(joinOptions, script, ToolArguments("--join"), jobs.join, error)) {
        // Tasks without their join would draw for nothing.
        std::string ignored;
        if (!jobs.array.empty()) queue.Cancel({jobs.array}, ignored);
        return false;
    }
    Announce(missing);
    return SaveFile(record.string(), jobs.Text(), error);
}

// The job's command comes as the script's arguments, so that no path or setting passes through a
// shell; sbatch keeps the script's text, so it may change once submitted.
bool SlurmSubmission::WriteJobScript(std::string& error) const {
    return SaveFile(script.string(),
                    "#!/bin/sh\n"
                    "# A segment of a video, or the join of its segments, drawn by quarn-capture on a node.\n"
                    "exec \"$@\"\n",
                    error);
}

// This tool with the settings as given, then what the job does; the array's tasks read their
// segment's index from Slurm. The paths are absolute: a job starts wherever the node puts it.
std::vector<std::string> SlurmSubmission::ToolArguments(const char* mode) const {
    std::error_code failure;
    std::vector<std::string> words = {std::filesystem::read_symlink("/proc/self/exe", failure).string()};
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    words.insert(words.end(), {"--run-dir", std::filesystem::absolute(options.runDirectory).string(), "--video",
                               options.videoFile.string(), mode});
    return words;
}

void SlurmSubmission::Announce(const std::vector<size_t>& missing) const {
    const std::string ids = jobs.JobList();
    if (missing.empty())
        std::printf("%s: every segment is drawn; submitted their join as job %s\n", options.videoFile.c_str(),
                    jobs.join.c_str());
    else
        std::printf("%s: submitted %zu of %s as array job %s (tasks %s), and their join as job %s, which "
                    "starts once every task has succeeded\n",
                    options.videoFile.c_str(), missing.size(), SegmentCount(plan.Segments().size()).c_str(),
                    jobs.array.c_str(),
                    SegmentIndexList(missing, ',').c_str(), jobs.join.c_str());
    std::printf("Follow them with: squeue -j %s\n"
                "Once they end: sacct -j %s (where the cluster keeps accounting); their logs: %sslurm-*.log\n"
                "Should a task fail or be cancelled, the same command submits what is missing.\n",
                ids.c_str(), ids.c_str(), (parts.string() + "/").c_str());
    std::fflush(stdout);
}

// Polls squeue rather than `sbatch --wait` on the join: a join whose tasks failed waits forever
// on most clusters, and only the tasks' states tell that it will never start. A controller that
// does not answer for a while (it restarts, it is busy) is waited for.
bool SlurmSubmission::Wait(std::string& error) const {
    constexpr int kMostUnanswered = 30;
    const auto since = std::chrono::steady_clock::now();
    const int64_t drawnBefore = FramesDrawn();
    int unanswered = 0;
    while (!Interrupted() && unanswered < kMostUnanswered) {
        std::vector<QueuedJob> queued;
        bool done = false;
        error.clear();
        if (!queue.Read(jobs.Ids(), queued, error)) {
            ++unanswered;
        } else if (Settled(queued, done, error)) {
            std::fputc('\n', stderr);
            if (done)
                std::printf("%s: made by the join (job %s) %s after the submission\n", options.videoFile.c_str(),
                            jobs.join.c_str(), Duration(SecondsSince(since)).c_str());
            return done;
        } else {
            unanswered = 0;
        }
        ShowProgress(since, drawnBefore);
        std::this_thread::sleep_for(kQueueInterval);
    }
    std::fputc('\n', stderr);
    if (Interrupted()) error = "interrupted";
    error += "; the jobs go on (squeue -j " + jobs.JobList() + ")";
    return false;
}

// True once the outcome is known: the join has ended (`done` when it made the video), or a task
// failed, so that the join can never start (it is then withdrawn).
bool SlurmSubmission::Settled(const std::vector<QueuedJob>& queued, bool& done, std::string& error) const {
    std::error_code failure;
    const auto join = std::find_if(queued.begin(), queued.end(), [&](const QueuedJob& j) { return j.id == jobs.join; });
    if (join == queued.end() || !Active(join->state)) {
        done = std::filesystem::is_regular_file(options.videoFile, failure);
        if (!done)
            error = "the join (job " + jobs.join + ") ended " + (join == queued.end() ? "" : join->state + " ") +
                    "without the video; its log: " + (parts / ("slurm-" + jobs.join + "-join.log")).string();
        return true;
    }
    const auto failed = std::find_if(queued.begin(), queued.end(), [&](const QueuedJob& j) {
        return j.id != jobs.join && EndedBadly(j.state);
    });
    if (failed == queued.end()) return false;
    std::string ignored;
    queue.Cancel({jobs.join}, ignored);
    error = "task " + failed->id + " ended " + failed->state + ", so the join (job " + jobs.join +
            ") cannot start and was withdrawn; the same command submits what is missing";
    return true;
}

int64_t SlurmSubmission::FramesDrawn() const {
    int64_t frames = 0;
    for (size_t i = 0; i < plan.Segments().size(); ++i)
        if (SegmentedCapture::Drawn(plan, parts, i))
            frames += plan.Segments()[i].endFrame - plan.Segments()[i].firstFrame;
    return frames;
}

// Segments appear whole, so the estimate moves in their steps; it counts only what this
// submission drew.
void SlurmSubmission::ShowProgress(std::chrono::steady_clock::time_point since, int64_t drawnBefore) const {
    const std::vector<PlannedSegment>& segments = plan.Segments();
    size_t drawn = 0;
    for (size_t i = 0; i < segments.size(); ++i) drawn += SegmentedCapture::Drawn(plan, parts, i);
    const int64_t frames = FramesDrawn(), total = plan.EndFrame() - plan.FirstFrame();
    const int64_t now = frames - drawnBefore, left = total - frames;
    const std::string estimate = left == 0 ? "0:00" : now > 0 ? Duration(SecondsSince(since) * left / now) : "--:--";
    std::fprintf(stderr, "\rsegments %zu of %zu drawn  frames %" PRId64 " of %" PRId64 "  %s left    ", drawn,
                 segments.size(), frames, total, estimate.c_str());
    std::fflush(stderr);
}

std::string SlurmSubmission::Jobs::JobList(char separator) const {
    return array.empty() ? join : array + separator + join;
}

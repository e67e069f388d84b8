#include "SlurmSubmission.h"

#include "CaptureSession.h"
#include "ClusterTask.h"
#include "Interrupts.h"
#include "OutputFiles.h"
#include "ProgressLine.h"
#include "ProgressReport.h"
#include "SegmentedCapture.h"
#include "io/TemporaryFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>

namespace {

// squeue asks the controller, which a whole cluster shares: a few seconds apart is enough to see
// a join end, and far from a burden.
constexpr std::chrono::seconds kQueueInterval{2};
// Slurm requeues a preempted task, or one whose node was lost, within moments where the cluster
// asks for it; one still down after this is taken for failed.
constexpr std::chrono::minutes kRequeueGrace{2};

// sbatch's options that this tool sets itself, long and short; a user's would quietly replace
// them, or (--wait, --help) stop sbatch from submitting at all.
struct OwnedOption {
    const char* name;
    char letter;  // 0: none
};
constexpr OwnedOption kOwned[] = {{"array", 'a'},  {"dependency", 'd'}, {"output", 'o'},   {"error", 'e'},
                                  {"job-name", 'J'}, {"wait", 'W'},      {"help", 'h'},     {"usage", 0},
                                  {"chdir", 'D'},    {"comment", 0},     {"parsable", 0}};
// Short options without a value, which may come bundled ahead of another: "-Ha0".
constexpr std::string_view kBundledFlags = "HQOsv";

// The owned option that `word` gives, or empty. getopt takes any unique start of a long name, so
// one is refused as soon as it starts an owned name.
std::string Owned(const std::string& word) {
    if (word.starts_with("--")) {
        const std::string name = word.substr(2, word.find('=') - 2);
        for (const OwnedOption& owned : kOwned)
            if (!name.empty() && std::string_view(owned.name).starts_with(name)) return "--" + std::string(owned.name);
        return "";
    }
    for (size_t i = 1; word.starts_with('-') && i < word.size(); ++i) {
        for (const OwnedOption& owned : kOwned)
            if (owned.letter == word[i]) return std::string("-") + owned.letter + " (--" + owned.name + ")";
        if (kBundledFlags.find(word[i]) == std::string_view::npos) break;
    }
    return "";
}

bool RefuseOwned(const std::vector<std::string>& words, std::string& error) {
    for (const std::string& word : words) {
        const std::string owned = Owned(word);
        if (owned.empty()) continue;
        error = "--sbatch \"" + word + "\": " + owned + " is quarn-capture's own for its jobs; leave it out";
        return false;
    }
    return true;
}

// A fresh mark for a submission: ids alone repeat once a cluster's controller starts afresh.
std::string FreshMark() {
    std::random_device random;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

bool IsMark(const std::string& text) {
    return text.size() == 16 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string JobName(const std::string& mark) {
    return "quarn-capture-" + mark;
}

// squeue shows a job a line: a path's control characters are left out of its comment.
std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return text;
}

std::string Comment(const std::string& mark, const char* role, const std::filesystem::path& video) {
    return std::string(role) + " of " + Printable(std::filesystem::absolute(video).string()) + " (capture " + mark +
           ")";
}

// A job's name and comment as squeue shows them: what tells this capture's jobs from any other.
std::string Identity(const std::string& mark, const char* role, const std::filesystem::path& video) {
    return JobName(mark) + "|" + Comment(mark, role, video);
}

std::string ReadTail(const std::filesystem::path& file, std::streamoff most) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size <= 0) return "";
    in.seekg(std::max<std::streamoff>(0, size - most));
    std::string tail(static_cast<size_t>(std::min(size, most)), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    tail.resize(static_cast<size_t>(in.gcount()));
    return tail;
}

// The frames a task has drawn of segment `index` of `plan`, as its last whole report says.
int64_t FramesInProgress(const CapturePlan& plan, const std::filesystem::path& parts, size_t index) {
    std::string tail = ReadTail(ClusterTask::ProgressFile(plan, parts, index), 128);
    if (!tail.ends_with('\n')) tail.erase(tail.find_last_of('\n') + 1);
    if (tail.empty()) return 0;
    tail.pop_back();
    const std::optional<ProgressReport::Line> line = ProgressReport::Parse(tail.substr(tail.find_last_of('\n') + 1));
    const PlannedSegment& segment = plan.Segments()[index];
    if (!line || line->firstFrame != segment.firstFrame) return 0;
    return std::clamp<int64_t>(line->done, 0, segment.endFrame - segment.firstFrame);
}

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
    std::vector<std::string> ids;
    for (const std::string* id : {&array, &join})
        if (!id->empty()) ids.push_back(*id);
    return ids;
}

std::string SlurmSubmission::Jobs::Text() const {
    return "capture " + capture + "\n" + (array.empty() ? "" : "array " + array + "\n") +
           (join.empty() ? "" : "join " + join + "\n");
}

// The record as Text wrote it. Anything else is no record: its words go to squeue and scancel, so
// only a mark and job numbers are taken.
SlurmSubmission::Jobs SlurmSubmission::Jobs::Parse(const std::string& text) {
    Jobs jobs;
    std::istringstream lines(text);
    std::string name, value;
    while (lines >> name >> value) {
        if (name == "capture" ? !IsMark(value) : !IsJobId(value)) return {};
        if (name == "capture") jobs.capture = value;
        if (name == "array") jobs.array = value;
        if (name == "join") jobs.join = value;
    }
    return jobs.capture.empty() ? Jobs{} : jobs;
}

SlurmSubmission::SlurmSubmission(const CaptureOptions& options)
    : options(options),
      parts(PartsFolder(options.videoFile)),
      script(parts / "slurm-job.sh"),
      record(parts / "slurm-jobs") {}

bool SlurmSubmission::Run(std::string& error) {
    if (!SplitOptions(options.sbatchOptions, sbatchOptions, error) || !RefuseOwned(sbatchOptions, error) ||
        !queue.Find(error))
        return false;
    CatchInterrupts();
    if (!CheckEarlierJobs(error)) return false;
    SegmentedCapture capture(options);
    // The last submission's files move only under the folder's claim: another submission started
    // at the same moment may be writing its own there.
    if (!capture.Claim(error)) return false;
    KeepEvidence();
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
// it is withdrawn, and the new submission brings its own. Jobs are found by the submission's
// name, and taken for its own only with its comment: after a cluster starts afresh, the recorded
// ids are other jobs'.
bool SlurmSubmission::CheckEarlierJobs(std::string& error) const {
    const Jobs earlier = Jobs::Parse(ReadSmall(record));
    if (earlier.capture.empty()) {
        // No record of ours to find its jobs by: Run still keeps what lies here, once it holds the folder.
        return true;
    }
    std::vector<QueuedJob> queued;
    if (!queue.ReadNamed(JobName(earlier.capture), queued, error)) return false;
    const std::string joinIdentity = Identity(earlier.capture, "join", options.videoFile);
    const std::string taskIdentity = Identity(earlier.capture, "segments", options.videoFile);
    std::vector<std::string> waitingJoins, active;
    for (const QueuedJob& job : queued) {
        if (!Active(job.state) || (job.identity != joinIdentity && job.identity != taskIdentity)) continue;
        if (job.identity == joinIdentity && job.state == "PENDING") waitingJoins.push_back(job.id);
        else active.push_back(job.id.substr(0, job.id.find('_')));
    }
    if (!active.empty()) {
        std::string list;
        for (const std::string& id : active)
            if (list.find(id) == std::string::npos) list += " " + id;
        for (const std::string& id : waitingJoins) list += " " + id;
        error = "the jobs of the last submission into " + Quoted(parts) + " are still queued or running; wait for " +
                "them, or cancel them with: scancel" + list;
        return false;
    }
    for (const std::string& join : waitingJoins) {
        std::printf("%s: withdrawing the join of the last submission (job %s), which waits on tasks that did not "
                    "succeed\n",
                    options.videoFile.c_str(), join.c_str());
        if (!queue.Cancel({join}, error)) return false;
    }
    return true;
}

// What the last submission left to read (its tasks' logs, its record and its script), moved out
// of the way of the plan, which clears the folder: into failed/1/, failed/2/ ..., one a submission.
void SlurmSubmission::KeepEvidence() const {
    std::vector<std::filesystem::path> evidence;
    std::error_code failure;
    for (std::filesystem::directory_iterator it(parts, failure), end; !failure && it != end; it.increment(failure)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with("slurm-") || name.ends_with(".log")) evidence.push_back(it->path());
    }
    if (evidence.empty()) return;
    const std::filesystem::path failed = parts / "failed";
    std::filesystem::create_directory(failed, failure);
    std::filesystem::path folder;
    bool made = false;
    for (int n = 1; !failure && !made && n <= 100000; ++n)
        made = std::filesystem::create_directory(folder = failed / std::to_string(n), failure);
    if (!made) {
        std::fprintf(stderr, "warning: cannot keep the last submission's logs in %s: %s\n", Quoted(failed).c_str(),
                     failure.message().c_str());
        return;
    }
    std::string names;
    for (const std::filesystem::path& file : evidence) {
        std::filesystem::rename(file, folder / file.filename(), failure);
        if (failure)
            std::fprintf(stderr, "warning: cannot move %s into %s: %s\n", Quoted(file).c_str(), Quoted(folder).c_str(),
                         failure.message().c_str());
        else
            names += (names.empty() ? "" : ", ") + file.filename().string();
    }
    std::printf("%s: the last submission's files are kept in %s: %s\n", options.videoFile.c_str(),
                Quoted(folder).c_str(), names.c_str());
}

// The record is written before each job is submitted and completed after, so that a submission
// cut short leaves its mark for the next to find its jobs by. Jobs that cannot be recorded are
// cancelled: nothing could find them again.
bool SlurmSubmission::Submit(const CapturePlan& planned, const std::vector<size_t>& missing, std::string& error) {
    plan = planned;
    if (Interrupted()) {
        error = "interrupted; nothing was submitted";
        return false;
    }
    jobs = {FreshMark(), "", ""};
    if (!WriteJobScript(error) || !Record(error)) return false;
    if (!missing.empty() &&
        !SubmitJob("segments", {"--array=" + SegmentIndexList(missing, ',')}, jobs.array, error))
        return false;
    std::vector<std::string> joinOptions;
    if (!jobs.array.empty()) joinOptions.push_back("--dependency=afterok:" + jobs.array);
    // Tasks without their join would draw for nothing.
    if (!(Record(error) && SubmitJob("join", joinOptions, jobs.join, error) && Record(error))) {
        const std::vector<std::string> submitted = jobs.Ids();
        const std::string command = "scancel " + jobs.JobList(' ');
        std::string failure;
        if (!submitted.empty())
            error += queue.Cancel(submitted, failure) ? "; cancelled what was submitted (" + command + ")"
                                                      : "; " + failure + ": cancel them with " + command;
        return false;
    }
    Announce(missing);
    return true;
}

bool SlurmSubmission::SubmitJob(const char* role, std::vector<std::string> more, std::string& id,
                                std::string& error) const {
    const bool join = std::string_view(role) == "join";
    const std::string log = join ? "%j-join" : "%A_%a";
    std::vector<std::string> words = sbatchOptions;
    words.insert(words.end(), {"--job-name=" + JobName(jobs.capture),
                               "--comment=" + Comment(jobs.capture, role, options.videoFile),
                               "--chdir=" + parts.string()});
    words.insert(words.end(), more.begin(), more.end());
    if (!join && options.gpuFromScheduler) words.push_back("--gres=gpu:1");
    // Slurm reads % in a log's path as a pattern (%% is a plain one); a backslash anywhere turns
    // every pattern off and is dropped, so that no name could tell the tasks' logs apart: the job
    // script opens its log itself then.
    std::vector<std::string> arguments;
    if (parts.string().find('\\') == std::string::npos) {
        std::string folder;
        for (const char c : parts.string()) folder += c == '%' ? std::string("%%") : std::string(1, c);
        words.push_back("--output=" + folder + "/slurm-" + log + ".log");
    } else {
        words.push_back("--output=/dev/null");
        arguments = {"--log", join ? "-join" : ""};
    }
    const std::vector<std::string> tool = ToolArguments(join ? "--join" : "--segment-index");
    arguments.insert(arguments.end(), tool.begin(), tool.end());
    return queue.Submit(words, script, arguments, id, error);
}

bool SlurmSubmission::Record(std::string& error) const {
    if (SaveFile(record.string(), jobs.Text(), error)) return true;
    error = "cannot record the submission: " + error;
    return false;
}

// The job's command comes as the script's arguments, so that no path or setting passes through a
// shell; sbatch keeps the script's text, so it may change once submitted.
bool SlurmSubmission::WriteJobScript(std::string& error) const {
    return SaveFile(script.string(),
                    "#!/bin/sh\n"
                    "# A segment of a video, or the join of its segments, drawn by quarn-capture on a node.\n"
                    "# --log SUFFIX first: the job writes its own log, in the parts folder where it starts.\n"
                    "if [ \"$1\" = --log ]; then\n"
                    "    exec >\"slurm-${SLURM_ARRAY_JOB_ID:-$SLURM_JOB_ID}"
                    "${SLURM_ARRAY_TASK_ID:+_$SLURM_ARRAY_TASK_ID}$2.log\" 2>&1\n"
                    "    shift 2\n"
                    "fi\n"
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
                "Should a task fail or be cancelled, the same command submits what is missing, and keeps the "
                "failed tasks' logs in %s/\n",
                ids.c_str(), ids.c_str(), (parts.string() + "/").c_str(), (parts / "failed").c_str());
    std::fflush(stdout);
}

// Polls squeue rather than `sbatch --wait` on the join: a join whose tasks failed waits forever
// on most clusters, and only the tasks' states tell that it will never start. A controller that
// does not answer for a while (it restarts, it is busy) is waited for.
bool SlurmSubmission::Wait(std::string& error) {
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
// failed, so that the join can never start (it is then withdrawn). Lines of another identity
// are other jobs under the same ids, after the cluster numbered afresh: ours have gone.
bool SlurmSubmission::Settled(const std::vector<QueuedJob>& listed, bool& done, std::string& error) {
    std::vector<QueuedJob> queued;
    for (const QueuedJob& job : listed)
        if (job.identity == Identity(jobs.capture, job.id == jobs.join ? "join" : "segments", options.videoFile))
            queued.push_back(job);
    const auto join = std::find_if(queued.begin(), queued.end(), [&](const QueuedJob& j) { return j.id == jobs.join; });
    if (join == queued.end() || (!Active(join->state) && GivenUp(*join))) {
        std::error_code failure;
        done = std::filesystem::is_regular_file(options.videoFile, failure);
        if (!done)
            error = "the join (job " + jobs.join + ") " +
                    (join == queued.end() ? "left the queue" : "ended " + join->state) + " without the video" +
                    LogOf(jobs.join);
        return true;
    }
    for (const QueuedJob& task : queued) {
        if (!MayComeBack(task.state)) downSince.erase(task.id);
        if (task.id == jobs.join || !EndedBadly(task.state) || !GivenUp(task)) continue;
        std::string ignored;
        queue.Cancel({jobs.join}, ignored);
        error = "task " + task.id + " ended " + task.state + LogOf(task.id) + "; so the join (job " + jobs.join +
                ") cannot start and was withdrawn. The same command submits what is missing, and keeps the logs in " +
                Quoted(parts / "failed");
        return true;
    }
    return false;
}

// A job preempted or left by its node may be requeued; it has failed once it stays down.
bool SlurmSubmission::GivenUp(const QueuedJob& job) {
    if (!MayComeBack(job.state)) return true;
    const auto now = std::chrono::steady_clock::now();
    return now - downSince.try_emplace(job.id, now).first->second > kRequeueGrace;
}

// "; its log: PATH", or that there is none: a job cancelled before it started wrote nothing.
std::string SlurmSubmission::LogOf(const std::string& job) const {
    const std::filesystem::path log = parts / ("slurm-" + job + (job == jobs.join ? "-join" : "") + ".log");
    std::error_code failure;
    if (std::filesystem::is_regular_file(log, failure)) return "; its log: " + Quoted(log);
    return "; it left no log (it never ran)";
}

int64_t SlurmSubmission::FramesDrawn() const {
    int64_t frames = 0;
    for (size_t i = 0; i < plan.Segments().size(); ++i)
        frames += SegmentedCapture::Drawn(plan, parts, i)
                      ? plan.Segments()[i].endFrame - plan.Segments()[i].firstFrame
                      : FramesInProgress(plan, parts, i);
    return frames;
}

// The tasks still drawing count as their progress files say; the estimate counts only what was
// drawn while waiting.
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
    std::string list;
    for (const std::string& id : Ids()) list += (list.empty() ? "" : std::string(1, separator)) + id;
    return list;
}

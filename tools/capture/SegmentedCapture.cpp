#include "SegmentedCapture.h"

#include "CaptureSession.h"
#include "CapturePlan.h"
#include "FrameList.h"
#include "Interrupts.h"
#include "OutputFiles.h"
#include "PartFile.h"
#include "ProgramRun.h"
#include "ProgressLine.h"
#include "SegmentRecord.h"
#include "VideoCapture.h"
#include "VideoEncoder.h"
#include "audio/Soundtrack.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Where a segment's process finds the pipe for its progress reports.
constexpr int kReportFd = 3;

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string FrameNumber(int64_t frame) {
    char text[24];
    std::snprintf(text, sizeof text, "%06" PRId64 " ", frame);
    return text;
}

int64_t LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

// Finished when its video is there, its frame list holds every frame from the first on, and its
// record of the video follows them: each is put in place only once complete. The video is held
// against the record when the segments are joined.
bool Finished(const PlannedSegment& segment, const std::filesystem::path& video) {
    std::error_code failure;
    if (!std::filesystem::is_regular_file(video, failure)) return false;
    const std::string list = ReadAll(FrameListFile(video));
    const std::optional<SegmentRecord> record = SegmentRecord::Read(video);
    const int64_t frames = segment.endFrame - segment.firstFrame;
    return list.starts_with(FrameNumber(segment.firstFrame)) && LineCount(list) == frames && record &&
           record->frames == frames;
}

uint64_t FileBytes(const std::filesystem::path& file) {
    std::error_code failure;
    const uintmax_t bytes = std::filesystem::file_size(file, failure);
    return failure ? 0 : static_cast<uint64_t>(bytes);
}

// What a log ends with: for a failed process, why. A progress line redrawn in place counts as its
// last state.
std::string LastLine(const std::filesystem::path& log) {
    constexpr std::streamoff kTail = 4096;
    std::ifstream in(log, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size <= 0) return "its log is empty";
    in.seekg(std::max<std::streamoff>(0, size - kTail));
    std::string tail(static_cast<size_t>(std::min(size, kTail)), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == ' ')) tail.pop_back();
    return tail.substr(tail.find_last_of("\r\n") + 1);
}

std::string DescribeExit(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "an unknown end";
}

// The segments' processes end with their run, so the folder is the run's alone while its claim
// stands. Named as earlier versions named their lock, whose folders are then known as well; such
// an empty lock reads as a torn claim.
std::filesystem::path ClaimFile(const std::filesystem::path& parts) { return parts / "lock"; }

// A task or a join may start before its submission, busy with sbatch, has handed the folder to the
// jobs: a claim that stands is asked again for a while before it is taken as another capture's.
constexpr std::chrono::seconds kHandOverWait{60};

bool AskedAgain(const std::function<bool(std::string&)>& attempt, std::chrono::seconds patience, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!attempt(error)) {
        if (std::chrono::steady_clock::now() >= deadline || Interrupted()) return false;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        error.clear();
    }
    return true;
}

bool Refused(const std::filesystem::path& parts, std::string& error) {
    error = "another capture works in " + Quoted(parts) + ": " + error;
    return false;
}

}  // namespace

std::string SegmentCount(size_t count) {
    return std::to_string(count) + (count == 1 ? " segment" : " segments");
}

SegmentedCapture::SegmentedCapture(const CaptureOptions& options)
    : options(options), parts(PartsFolder(options.videoFile)) {}

bool SegmentedCapture::Run(std::string& error) {
    if (!CheckOutput(options, error)) return false;
    const std::optional<std::filesystem::path> ffmpeg = VideoEncoder::Find();
    if (!ffmpeg) {
        error = "ffmpeg is not installed (no ffmpeg on PATH); install it with: sudo apt-get install ffmpeg";
        return false;
    }
    if (!VideoEncoder::HasEncoders(*ffmpeg, options.preset->encoders, error)) return false;
    bool made = false;
    if (!MakeFolder(made, error)) return false;
    CatchInterrupts();
    const auto begin = std::chrono::steady_clock::now();
    // Checked again after the last segment, whose own check came before it drew.
    if (!ClaimFolder(error) || !Plan(true, error) || !DrawMissing(error) || !plan.Holds(options, error) ||
        !Join(*ffmpeg, error)) {
        LeaveFinished(made, error);
        return false;
    }
    RemoveFolder();
    Summarise(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    return true;
}

bool SegmentedCapture::Claim(std::string& error) {
    if (claim.Held()) return true;
    if (!CheckOutput(options, error) || !MakeFolder(madeFolder, error)) return false;
    CatchInterrupts();
    if (ClaimFolder(error)) return true;
    LeaveFinished(madeFolder, error);
    return false;
}

bool SegmentedCapture::HandOn(const Handler& handler, std::string& error) {
    if (!Claim(error)) return false;
    std::vector<size_t> missing;
    const bool planned = Plan(false, error);
    for (size_t i = 0; planned && i < segments.size(); ++i)
        if (!segments[i].done) missing.push_back(i);
    if (planned && handler(plan, missing, error)) return true;
    LeaveFinished(madeFolder, error);
    return false;
}

bool SegmentedCapture::JoinDrawn(const CapturePlan& drawn, std::string& error) {
    const std::optional<std::filesystem::path> ffmpeg = VideoEncoder::Find();
    if (!ffmpeg) {
        error = "ffmpeg is not installed on this node (no ffmpeg on PATH)";
        return false;
    }
    plan = drawn;
    for (size_t i = 0; i < plan.Segments().size(); ++i) segments.push_back({plan.SegmentVideo(parts, i), true});
    const auto begin = std::chrono::steady_clock::now();
    if (!ClaimFolder(error, kHandOverWait) || !Join(*ffmpeg, error)) return false;
    RemoveFolder();
    std::printf("%s (%" PRId64 " frames in %s, joined in %.1f s; %.0f MB in the joining ffmpeg)\n",
                options.videoFile.c_str(), plan.EndFrame() - plan.FirstFrame(), SegmentCount(segments.size()).c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(),
                joinPeakKilobytes / 1024.0);
    return true;
}

bool SegmentedCapture::Drawn(const CapturePlan& plan, const std::filesystem::path& parts, size_t index) {
    return Finished(plan.Segments()[index], plan.SegmentVideo(parts, index));
}

bool SegmentedCapture::MayWorkIn(const std::filesystem::path& parts, std::string& error) {
    const auto check = [&parts](std::string& why) { return OwnerClaim::Check(ClaimFile(parts), why); };
    return AskedAgain(check, kHandOverWait, error) || Refused(parts, error);
}

// A submission's jobs may be queued for days: the folder is theirs until squeue no longer lists
// them. Without that the jobs still run; only a capture into the same output is not kept off.
void SegmentedCapture::HandFolderTo(const std::vector<std::string>& jobs) {
    std::string error;
    if (claim.HandTo(jobs, error)) return;
    std::fprintf(stderr, "quarn-capture: warning: %s is not kept for the jobs: %s\n", Quoted(parts).c_str(),
                 error.c_str());
}

bool SegmentedCapture::ClaimFolder(std::string& error, std::chrono::seconds patience) {
    const auto take = [this](std::string& why) { return claim.Take(ClaimFile(parts), why); };
    return AskedAgain(take, patience, error) || Refused(parts, error);
}

// Its files first and its claim last, so that no other capture finds the folder free while they go.
void SegmentedCapture::RemoveFolder() {
    std::error_code failure;
    for (std::filesystem::directory_iterator it(parts, failure), end; !failure && it != end; it.increment(failure)) {
        std::error_code removal;
        if (it->path() != ClaimFile(parts)) std::filesystem::remove_all(it->path(), removal);
    }
    claim.Release();
    std::filesystem::remove(parts, failure);
}

// The run planned from the data as it was then: data changed since (a rebuild, an edit) would put
// frames of two versions into one video.
bool SegmentedCapture::PlanHolds(const CaptureOptions& segment, std::string& error) {
    const std::filesystem::path folder = segment.videoFile.parent_path();
    const std::optional<CapturePlan> stored = CapturePlan::Read(folder, error);
    if (!stored) {
        if (error.empty()) error = "no plan in " + Quoted(folder) + ", where the run that started this segment left it";
        return false;
    }
    return stored->Holds(segment, error);
}

bool SegmentedCapture::MakeFolder(bool& made, std::string& error) const {
    std::error_code failure;
    made = std::filesystem::create_directory(parts, failure);
    if (!failure) return true;
    error = "cannot make " + Quoted(parts) + ": " + failure.message();
    return false;
}

// The run's own work: the frames it drew, over the whole time it took from the plan to the join.
void SegmentedCapture::Summarise(double seconds) const {
    const int64_t total = plan.EndFrame() - plan.FirstFrame();
    const int64_t drawn = total - framesBefore;
    std::string rate;
    if (drawn > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "; %.3f s a frame over the run; peak memory %.0f MB in a segment's process, %.0f MB in its "
                      "ffmpeg",
                      seconds / drawn, segmentPeakKilobytes / 1024.0, segmentFfmpegPeakKilobytes / 1024.0);
        rate = text;
    }
    std::printf("%s (%" PRId64 " frames in %s, %" PRId64 " drawn by this run, made in %.1f s%s; %.0f MB in "
                "the joining ffmpeg)\n",
                options.videoFile.c_str(), total, SegmentCount(segments.size()).c_str(), drawn, seconds, rate.c_str(),
                joinPeakKilobytes / 1024.0);
}

// After a failure: the finished segments stay for the next run to go on from, and the logs of
// the failed ones to read; a folder this run made before any segment began goes again, unless
// another capture claimed it first.
void SegmentedCapture::LeaveFinished(bool made, std::string& error) {
    const std::string finished = FinishedFrames();
    if (!finished.empty())
        error += "; finished segments are kept in " + Quoted(parts) + " (frames " + finished +
                 "): the same command goes on from them";
    if (made && !segmentsStarted && claim.Held()) RemoveFolder();
}

// "0 to 59, 120 to 179": the finished segments' frames, neighbours joined; empty for none.
std::string SegmentedCapture::FinishedFrames() const {
    std::string text;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (!segments[i].done || (i > 0 && segments[i - 1].done)) continue;
        size_t last = i;
        while (last + 1 < segments.size() && segments[last + 1].done) ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(plan.Segments()[i].firstFrame) + " to " +
                std::to_string(plan.Segments()[last].endFrame - 1);
    }
    return text;
}

// The plan of this run, against the one the segments in the folder were drawn under: a segment
// is kept only when its frames would be drawn the same now.
bool SegmentedCapture::Plan(bool drawnHere, std::string& error) {
    std::optional<CapturePlan> planned = CapturePlan::ForCapture(options, error);
    if (!planned) return false;
    plan = std::move(*planned);
    const std::optional<CapturePlan> earlier = EarlierPlan();
    size_t finished = 0;
    for (size_t i = 0; i < plan.Segments().size(); ++i) {
        const PlannedSegment& range = plan.Segments()[i];
        Segment segment;
        segment.video = plan.SegmentVideo(parts, i);
        segment.done = earlier && earlier->Planned(range) && Finished(range, segment.video);
        finished += segment.done;
        segments.push_back(segment);
    }
    if (!ClearAllBut(error) || !plan.Write(parts, error)) return false;
    const std::string atATime = drawnHere ? ", " + std::to_string(options.jobs) + " at a time" : "";
    std::printf("%s: %" PRId64 " frames in %s, %zu already finished in %s%s\n", options.videoFile.c_str(),
                plan.EndFrame() - plan.FirstFrame(), SegmentCount(segments.size()).c_str(), finished,
                Quoted(parts).c_str(), atATime.c_str());
    std::fflush(stdout);
    return true;
}

// The plan the folder's segments were drawn under, when their frames are this run's; otherwise
// says why none of them is kept.
std::optional<CapturePlan> SegmentedCapture::EarlierPlan() const {
    std::string error;
    std::optional<CapturePlan> earlier = CapturePlan::Read(parts, error);
    std::string why;
    if (!error.empty()) {
        why = "its plan is damaged (" + error + ")";
    } else if (earlier) {
        why = plan.DifferenceText(*earlier);
        if (!why.empty()) why = "they were drawn otherwise: " + why;
    }
    if (why.empty()) return earlier;
    std::printf("%s: the segments in %s are drawn afresh; %s\n", options.videoFile.c_str(), Quoted(parts).c_str(),
                why.c_str());
    return std::nullopt;
}

// Everything in the parts folder but its claim and the finished segments this plan keeps: the
// segments of another plan or cut, half-written ones and their logs.
bool SegmentedCapture::ClearAllBut(std::string& error) const {
    // failed/: what earlier scheduler submissions left to read.
    std::vector<std::filesystem::path> kept = {ClaimFile(parts), parts / "failed"};
    for (const Segment& segment : segments)
        if (segment.done)
            kept.insert(kept.end(), {segment.video, FrameListFile(segment.video), SegmentRecordFile(segment.video)});
    std::error_code failure;
    for (std::filesystem::directory_iterator it(parts, failure), end; !failure && it != end; it.increment(failure)) {
        if (std::find(kept.begin(), kept.end(), it->path()) != kept.end()) continue;
        std::error_code removal;
        std::filesystem::remove_all(it->path(), removal);
        if (!removal) continue;
        error = "cannot remove " + Quoted(it->path()) + ": " + removal.message();
        return false;
    }
    if (!failure) return true;
    error = "cannot read " + Quoted(parts) + ": " + failure.message();
    return false;
}

// The tool's own arguments, then the segment's, which the later ones override. Each of the --jobs
// slots keeps one device of a --gpu list: one stream of segments per GPU.
std::vector<std::string> SegmentedCapture::SegmentArguments(size_t index, int slot) const {
    const PlannedSegment& segment = plan.Segments()[index];
    std::error_code failure;
    std::vector<std::string> words = {std::filesystem::read_symlink("/proc/self/exe", failure).string()};
    words.insert(words.end(), options.arguments.begin(), options.arguments.end());
    words.insert(words.end(), {"--segment", std::to_string(segment.firstFrame) + ":" + std::to_string(segment.endFrame),
                               "--video", segments[index].video.string(), "--parent", std::to_string(getpid()),
                               "--progress-fd", std::to_string(kReportFd)});
    if (!options.gpus.empty())
        words.insert(words.end(), {"--gpu", std::to_string(options.gpus[slot % options.gpus.size()])});
    return words;
}

// Up to --jobs processes at once, each drawing one missing segment, with one progress line for
// them all; their own output goes to their logs in the parts folder.
bool SegmentedCapture::DrawMissing(std::string& error) {
    int reports[2];
    if (pipe2(reports, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe for the segments' progress: ") + std::strerror(errno);
        return false;
    }
    const int64_t total = plan.EndFrame() - plan.FirstFrame();
    ProgressLine progress(total, stderr, [this] { return BytesWritten(); }, FramesDone());
    framesBefore = FramesDone();
    size_t next = 0;
    bool passedOn = false;
    while (true) {
        next = StartSegments(next, reports[1], error);
        if (running.empty()) break;
        if (Interrupted() && !passedOn) {
            PassOnInterrupt();
            passedOn = true;
        }
        ReadReports(reports[0]);
        ReapSegments(error);
        progress.Update(FramesDone());
    }
    progress.End();
    close(reports[0]);
    close(reports[1]);
    if (Interrupted()) error = "interrupted";
    return error.empty();
}

// From segment `next` on, as many as there are free slots; the index to go on from.
size_t SegmentedCapture::StartSegments(size_t next, int reportFd, std::string& error) {
    for (; error.empty() && !Interrupted() && running.size() < static_cast<size_t>(options.jobs) &&
           next < segments.size();
         ++next) {
        if (segments[next].done) continue;
        int slot = 0;
        while (std::any_of(running.begin(), running.end(), [slot](const Running& r) { return r.slot == slot; })) ++slot;
        std::vector<std::string> words = SegmentArguments(next, slot);
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, SegmentLog(next).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0666);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        posix_spawn_file_actions_adddup2(&actions, reportFd, kReportFd);
        pid_t child = -1;
        const int result = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (result != 0) {
            error = "cannot start " + words[0] + ": " + std::strerror(result);
            break;
        }
        running.push_back({child, next, slot, 0});
        segmentsStarted = true;
    }
    return next;
}

// A signal sent to this process alone (a scheduler's or a script's kill, not a terminal's Ctrl-C,
// which reaches them all) stops the segments between two frames as well, rather than letting each
// draw to its end.
void SegmentedCapture::PassOnInterrupt() const {
    for (const Running& segment : running) kill(segment.process, InterruptSignal());
}

// Waits a moment for the segments' reports and takes those that came.
void SegmentedCapture::ReadReports(int fd) {
    pollfd readable = {fd, POLLIN, 0};
    if (poll(&readable, 1, 250) <= 0) return;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return;
    pendingReports.append(buffer, static_cast<size_t>(got));
    size_t end;
    while ((end = pendingReports.find('\n')) != std::string::npos) {
        const std::optional<ProgressReport::Line> line =
            ProgressReport::Parse(std::string_view(pendingReports).substr(0, end));
        pendingReports.erase(0, end + 1);
        if (line) TakeReport(*line);
    }
    // Reports are short lines; anything longer is not one.
    if (pendingReports.size() > sizeof buffer) pendingReports.clear();
}

void SegmentedCapture::TakeReport(const ProgressReport::Line& line) {
    for (Running& segment : running)
        if (plan.Segments()[segment.segment].firstFrame == line.firstFrame) segment.done = line.done;
    segmentPeakKilobytes = std::max(segmentPeakKilobytes, line.peakKilobytes);
    segmentFfmpegPeakKilobytes = std::max(segmentFfmpegPeakKilobytes, line.ffmpegPeakKilobytes);
}

// The segments' processes that have ended; the first failure is the run's error. After an
// interrupt, the processes it stopped have not failed.
void SegmentedCapture::ReapSegments(std::string& error) {
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(-1, &status, WNOHANG)) > 0) {
        const auto found =
            std::find_if(running.begin(), running.end(), [ended](const Running& r) { return r.process == ended; });
        if (found == running.end()) continue;
        const size_t index = found->segment;
        running.erase(found);
        const PlannedSegment& planned = plan.Segments()[index];
        segments[index].done =
            WIFEXITED(status) && WEXITSTATUS(status) == 0 && Finished(planned, segments[index].video);
        if (segments[index].done || !error.empty() || Interrupted()) continue;
        error = "the segment of frames " + std::to_string(planned.firstFrame) + " to " +
                std::to_string(planned.endFrame - 1) + " failed (" + DescribeExit(status) + "): " +
                LastLine(SegmentLog(index)) + "; its log is " + Quoted(SegmentLog(index));
    }
}

int64_t SegmentedCapture::FramesDone() const {
    int64_t done = 0;
    for (size_t i = 0; i < segments.size(); ++i)
        if (segments[i].done) done += plan.Segments()[i].endFrame - plan.Segments()[i].firstFrame;
    for (const Running& segment : running) done += segment.done;
    return done;
}

// The finished segments' files and the growing ones of those being drawn.
uint64_t SegmentedCapture::BytesWritten() const {
    uint64_t bytes = 0;
    for (const Segment& segment : segments)
        if (segment.done) bytes += FileBytes(segment.video);
    for (const Running& segment : running) bytes += FileBytes(PartFile::For(segments[segment.segment].video, segment.process));
    return bytes;
}

std::filesystem::path SegmentedCapture::SegmentLog(size_t index) const {
    std::filesystem::path log = segments[index].video;
    return log += ".log";
}

// Nothing is joined on trust: a segment's files may have been replaced, cut short or damaged since
// its process ended, here or on another node.
bool SegmentedCapture::CheckSegments(std::string& error) {
    const std::optional<std::filesystem::path> ffprobe = FindOnPath("ffprobe");
    if (!ffprobe) {
        error = "ffprobe is not installed (no ffprobe on PATH; it comes with ffmpeg), and the segments are not joined "
                "unchecked";
        return false;
    }
    for (size_t i = 0; i < segments.size(); ++i) {
        const PlannedSegment& planned = plan.Segments()[i];
        const int64_t listed = LineCount(ReadAll(FrameListFile(segments[i].video)));
        if (CheckSegment(segments[i].video, planned.endFrame - planned.firstFrame, listed, *ffprobe, error)) continue;
        // Without its record it is no longer finished, and the next run draws it again rather than
        // refusing the same join for ever.
        std::error_code failure;
        std::filesystem::remove(SegmentRecordFile(segments[i].video), failure);
        segments[i].done = false;
        error = "segment " + std::to_string(i) + " (frames " + std::to_string(planned.firstFrame) + " to " +
                std::to_string(planned.endFrame - 1) + ", " + Quoted(segments[i].video) +
                ") is not as it was drawn: " + error + "; it is no longer finished, and the next run or task draws it "
                "again";
        return false;
    }
    return true;
}

bool SegmentedCapture::Join(const std::filesystem::path& ffmpeg, std::string& error) {
    if (!CheckSegments(error)) return false;
    const std::filesystem::path joinList = parts / "join.txt";
    FrameList frames(plan.EndFrame() - plan.FirstFrame());
    {
        std::ofstream list(joinList, std::ios::trunc);
        for (const Segment& segment : segments) {
            list << "file '" << segment.video.filename().string() << "'\n";
            frames.AddLines(ReadAll(FrameListFile(segment.video)));
        }
        if (!list.flush()) {
            error = "cannot write " + Quoted(joinList);
            return false;
        }
    }
    PartFile partFile(options.videoFile);
    if (!partFile.Create(error)) return false;
    VideoStream stream;
    stream.width = options.frame.width;
    stream.height = options.frame.height;
    stream.framesPerSecond = options.framesPerSecond;
    stream.audioFile = std::filesystem::absolute(options.runDirectory / kSoundtrackPath);
    stream.audioStart = static_cast<double>(plan.FirstFrame()) / plan.FramesPerSecond();
    stream.seconds = static_cast<double>(plan.EndFrame() - plan.FirstFrame()) / plan.FramesPerSecond();
    stream.outFile = partFile.path;
    stream.encoding = options.preset->encoding;
    stream.joinList = joinList;
    VideoEncoder encoder;
    if (!encoder.Start(ffmpeg, stream, error) || !encoder.Finish(error)) {
        error += " when joining the segments";
        return false;
    }
    joinPeakKilobytes = encoder.PeakKilobytes();
    return PublishVideo(partFile, frames, options.videoFile, error);
}

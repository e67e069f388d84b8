// quarn-capture --jobs run as a process: what a run takes up from an earlier one, what it says,
// and how it ends.
#include "support/CaptureTool.h"
#include "support/EngineLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <spawn.h>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kCapture = QUARN_RUN_DIR "/quarn-capture";
// Two segments of five frames at 10 frames per second: beat 2 is 0.952 s.
const std::vector<std::string> kStretch = {"--size", "160x90", "--fps", "10", "--to", "2", "--max-anisotropy", "1"};
// OpenAL with no output to open: the capture must not ask for one.
const Environment kNoSound = {{"ALSOFT_DRIVERS", "nonexistent"}};

class SegmentedCaptureTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.Valid());
        ASSERT_TRUE(run.CopyDemoData());
        ASSERT_TRUE(run.AddSoundtrack(3.0));
    }

    std::vector<std::string> Arguments(const std::string& file, const std::vector<std::string>& more) const {
        std::vector<std::string> arguments = {"--video", file};
        arguments.insert(arguments.end(), kStretch.begin(), kStretch.end());
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    ToolRun Capture(const std::string& file, const std::vector<std::string>& more, Environment environment = kNoSound) const {
        return RunCapture(run, Arguments(file, more), std::move(environment));
    }

    // A stand-in for ffmpeg that runs `script` (sh) when it is asked for the second segment, then
    // the real one; `bin` goes first on PATH.
    Environment OnSecondSegment(const std::string& script) const {
        const fs::path bin = run.File("bin");
        fs::create_directory(bin);
        std::ofstream(bin / "ffmpeg") << "#!/bin/sh\nfor last in \"$@\"; do :; done\n"
                                      << "case \"$last\" in *segment-00000005*)\n" << script << "\nesac\n"
                                      << "exec /usr/bin/ffmpeg \"$@\"\n";
        fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
        return {{"PATH", bin.string() + ":/usr/bin:/bin"}, kNoSound.front()};
    }

    EngineRunDirectory run;
};

// The shell waits for the first segment's video and list, as a run that has finished one would.
constexpr const char* kAwaitFirst =
    "first=\"${last%/*}/segment-00000000.mp4\"; n=0\n"
    "while [ ! -e \"$first\" ] || [ ! -e \"$first.frames\" ]; do n=$((n + 1)); [ $n -gt 600 ] && break; sleep 0.1; done\n";

// A run stopped after its first segment, then run again with one thing changed: the segment drawn
// before is reused only when its frames are this run's, so the video is always a clean run's.
TEST_F(SegmentedCaptureTest, ASegmentIsReusedOnlyUnderTheSameSettingsAndData) {
    std::ofstream(run.File("clip.frames")) << "a list of another tool\n";
    // Started one folder down with the run directory given relative to it: the segments' processes
    // start elsewhere, and must find the same data.
    fs::create_directory(run.File("sub"));
    std::vector<std::string> relative = {"-c", "cd sub && exec \"$0\" \"$@\"", kCapture, "--run-dir", ".."};
    for (const std::string& word : Arguments("../clip.mp4", {"--jobs", "2"})) relative.push_back(word);
    const ToolRun stopped = RunTool(run, "/bin/sh", relative, OnSecondSegment("echo 'No space left on device' >&2; exit 1;;"));
    ASSERT_EQ(stopped.process.exitStatus, 1) << stopped.errors;
    EXPECT_NE(stopped.errors.find("ffmpeg failed (exit status 1)"), std::string::npos) << stopped.errors;
    EXPECT_NE(stopped.errors.find("its log is \"" + run.File("clip.mp4.parts/segment-00000005.mp4.log")),
              std::string::npos)
        << stopped.errors;
    ASSERT_TRUE(fs::exists(run.File("clip.mp4.parts/segment-00000000.mp4"))) << stopped.errors;
    fs::copy(run.File("clip.mp4.parts"), run.File("stopped.parts"), fs::copy_options::recursive);

    const fs::path track = run.File("sync/_Camera Yaw.track");
    const std::string yaw = ReadBytes(track);
    struct Change {
        const char* what;
        std::vector<std::string> options;
        std::function<void()> data;
    };
    const std::vector<Change> changes = {
        {"size", {"--size", "192x108"}, {}},
        {"motion-blur", {"--motion-blur", "2"}, {}},
        {"preset", {"--preset", "youtube-1080p60", "--size", "160x90", "--supersample", "1"}, {}},
        {"run-data", {}, [&] { fs::copy_file(run.File("sync/_Camera Roll.track"), track, fs::copy_options::overwrite_existing); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        fs::remove_all(run.File("clip.mp4.parts"));
        fs::copy(run.File("stopped.parts"), run.File("clip.mp4.parts"), fs::copy_options::recursive);
        if (change.data) change.data();
        std::vector<std::string> more = change.options;
        more.insert(more.end(), {"--jobs", "2"});
        const ToolRun resumed = Capture("clip.mp4", more);
        ExpectSucceeded(resumed);
        EXPECT_NE(resumed.output.find("are drawn afresh; they were drawn otherwise: " + std::string(change.what)),
                  std::string::npos)
            << resumed.output;
        EXPECT_NE(resumed.output.find("0 already finished"), std::string::npos) << resumed.output;
        ExpectSucceeded(Capture("clean.mp4", change.options));
        EXPECT_EQ(ReadBytes(run.File("clip.mp4.frames")), ReadBytes(run.File("clean.mp4.frames")));
        std::ofstream(track, std::ios::binary | std::ios::trunc) << yaw;

        // One line for the whole run, none of the segments' own, and the run's figures at the end.
        EXPECT_NE(resumed.errors.find("frame 10 of 10"), std::string::npos) << resumed.errors;
        EXPECT_EQ(resumed.errors.find("of 5 "), std::string::npos) << resumed.errors;
        EXPECT_NE(resumed.output.find("s a frame over the run; peak memory"), std::string::npos) << resumed.output;
    }
    EXPECT_EQ(ReadBytes(run.File("clip.frames")), "a list of another tool\n") << "a list under the old name is left";
}

// A cluster's login node may have no GL at all: the plan takes the soundtrack's length from its file.
TEST_F(SegmentedCaptureTest, PlansWithoutGL) {
    const std::string noDrivers = run.File("no-drivers");
    fs::create_directory(noDrivers);
    const ToolRun planned = Capture("clip.mp4", {"--jobs", "2", "--plan"},
                                    {{"DISPLAY", ""}, {"__EGL_VENDOR_LIBRARY_DIRS", noDrivers},
                                     {"LIBGL_DRIVERS_PATH", noDrivers}, kNoSound.front()});
    ExpectSucceeded(planned);
    EXPECT_NE(planned.output.find("clip.mp4: 2 segments planned; to draw: 0 1\n"), std::string::npos)
        << planned.output;

    // Without Slurm, the advice is this scheduler's steps; without a plan, that there is none.
    const ToolRun early = Capture("clip.mp4", {"--jobs", "2", "--join"}, kNoSound);
    EXPECT_NE(early.errors.find("draw each with --segment-index"), std::string::npos) << early.errors;
    EXPECT_EQ(early.errors.find("--slurm"), std::string::npos) << early.errors;
    const ToolRun unplanned = Capture("unplanned.mp4", {"--jobs", "2", "--join"}, kNoSound);
    EXPECT_NE(unplanned.errors.find("no plan in"), std::string::npos) << unplanned.errors;
}

// A plan's tasks, run by hand as another scheduler would: a task or the join with any setting of
// its own, the stretch of frames included, is refused; a segment's video replaced after it was
// drawn is not joined; a run's segment finds the data changed since its run planned.
TEST_F(SegmentedCaptureTest, NothingOutsideThePlanIsDrawnOrJoined) {
    ExpectSucceeded(Capture("clip.mp4", {"--jobs", "2", "--plan"}));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--segment-index", "0", "--to", "1"}, ", was 0:10"},
        {{"--join", "--fps", "12"}, "fps 12, was 10"},
    };
    for (const auto& [more, reason] : refused) {
        std::vector<std::string> task = more;
        task.insert(task.end(), {"--jobs", "2"});
        const ToolRun tool = Capture("clip.mp4", task);
        EXPECT_EQ(tool.process.exitStatus, 1) << testing::PrintToString(more);
        EXPECT_NE(tool.errors.find("was made with other settings or data (" ), std::string::npos) << tool.errors;
        EXPECT_NE(tool.errors.find(reason), std::string::npos) << tool.errors;
    }
    EXPECT_FALSE(fs::exists(run.File("clip.mp4.parts/segment-00000000.mp4")));

    const fs::path track = run.File("sync/_Camera Yaw.track");
    const std::string yaw = ReadBytes(track);
    fs::copy_file(run.File("sync/_Camera Roll.track"), track, fs::copy_options::overwrite_existing);
    const ToolRun changed = Capture("clip.mp4", {"--jobs", "2", "--segment", "0:5", "--video",
                                                 run.File("clip.mp4.parts/segment-00000000.mp4"), "--parent",
                                                 std::to_string(getpid())});
    EXPECT_EQ(changed.process.exitStatus, 1);
    EXPECT_NE(changed.errors.find("data changed after the segments were planned (run-data "), std::string::npos)
        << changed.errors;
    std::ofstream(track, std::ios::binary | std::ios::trunc) << yaw;

    for (const char* index : {"0", "1"})
        ExpectSucceeded(Capture("clip.mp4", {"--jobs", "2", "--segment-index", index}));
    const fs::path second = run.File("clip.mp4.parts/segment-00000005.mp4");
    fs::copy_file(run.File("clip.mp4.parts/segment-00000000.mp4"), second, fs::copy_options::overwrite_existing);
    const ToolRun joined = Capture("clip.mp4", {"--jobs", "2", "--join"});
    EXPECT_EQ(joined.process.exitStatus, 1);
    EXPECT_NE(joined.errors.find("segment 1 (frames 5 to 9, \"" + second.string() + "\") is not as it was drawn"),
              std::string::npos)
        << joined.errors;
    EXPECT_NE(joined.errors.find("its video's hash is "), std::string::npos) << joined.errors;
    EXPECT_FALSE(fs::exists(run.File("clip.mp4")));

    const ToolRun redrawn = Capture("clip.mp4", {"--jobs", "2", "--segment-index", "1"});
    ExpectSucceeded(redrawn);
    EXPECT_EQ(redrawn.output.find("is drawn already"), std::string::npos) << redrawn.output;
    ExpectSucceeded(Capture("clip.mp4", {"--jobs", "2", "--join"}));
    const std::string frames = ReadBytes(run.File("clip.mp4.frames"));
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 10);
    const std::vector<StreamFields> streams =
        ProbeStreams(run, "clip.mp4", "codec_type,nb_read_frames", {"-count_frames"});
    ASSERT_FALSE(streams.empty());
    EXPECT_EQ(streams[0].at("nb_read_frames"), "10");
}

// Every device of --gpu is checked before any segment starts, and a missing one is refused in one
// line that says why, not by a segment's failure whose reason lies in its log.
TEST_F(SegmentedCaptureTest, AMissingGpuIsRefusedUpFront) {
    const ToolRun tool = Capture("clip.mp4", {"--jobs", "2", "--gpu", "5"});
    EXPECT_EQ(tool.process.exitStatus, 1);
    EXPECT_EQ(tool.errors.rfind("quarn-capture: --gpu 5: there is no EGL device 5; EGL lists ", 0), 0) << tool.errors;
    EXPECT_EQ(std::count(tool.errors.begin(), tool.errors.end(), '\n'), 1) << tool.errors;
    EXPECT_FALSE(fs::exists(run.File("clip.mp4.parts")));
    EXPECT_FALSE(fs::exists(run.File("clip.mp4.log")));
}

// The player's log is the player's: a capture beside it, a still or a video in segments, writes its
// engine's log beside its own output, and a link planted there is replaced, not written through.
TEST_F(SegmentedCaptureTest, CapturesLeaveThePlayersLogAlone) {
    const std::string playerLog = std::string("L\0o\0g\0\r\0\n\0", 10);
    std::ofstream(run.File("LogFile.txt"), std::ios::binary) << playerLog;
    std::ofstream(run.File("victim.txt")) << "not a log\n";
    fs::create_directory(run.File("stills"));
    fs::create_symlink(run.File("victim.txt"), run.File("stills/capture.log"));

    const ToolRun still = RunCapture(run, {"--at", "1", "--out", "stills", "--size", "160x90", "--max-anisotropy", "1"},
                                     kNoSound);
    ExpectSucceeded(still);
    EXPECT_NE(still.output.find("the engine's log: " + run.File("stills/capture.log")), std::string::npos)
        << still.output;
    EXPECT_FALSE(fs::is_symlink(run.File("stills/capture.log")));
    EXPECT_GE(FindLine(ReadEngineLog(run.File("stills/capture.log")), "Logger Initialized."), 0);
    ExpectSucceeded(Capture("clip.mp4", {"--jobs", "2"}));

    EXPECT_EQ(ReadBytes(run.File("LogFile.txt")), playerLog);
    EXPECT_EQ(ReadBytes(run.File("victim.txt")), "not a log\n");
}

// Ctrl-C reaches the run and its segments' processes together, as the terminal sends it, once the
// first segment is finished.
TEST_F(SegmentedCaptureTest, AnInterruptSaysWhatIsKeptAndEndsWith130) {
    const ToolRun interrupted = Capture(
        "clip.mp4", {"--jobs", "2"},
        OnSecondSegment(std::string(kAwaitFirst) + "kill -INT $PPID \"$(cut -d' ' -f4 /proc/$PPID/stat)\";;"));
    EXPECT_EQ(interrupted.process.exitStatus, 130) << interrupted.errors;
    EXPECT_NE(interrupted.errors.find("quarn-capture: interrupted; finished segments are kept in \"" +
                                      run.File("clip.mp4.parts") + "\" (frames 0 to 4)"),
              std::string::npos)
        << interrupted.errors;
    EXPECT_EQ(interrupted.errors.find("failed"), std::string::npos) << interrupted.errors;
    EXPECT_FALSE(fs::exists(run.File("clip.mp4")));
}

// The processes whose command line holds `marker`, with `parent` as their parent (any for 0).
std::vector<pid_t> ChildrenOf(pid_t parent, const std::string& marker) {
    std::vector<pid_t> children;
    std::error_code failure;
    for (fs::directory_iterator it("/proc", failure), end; !failure && it != end; it.increment(failure)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadBytes(it->path() / "stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        if (parent != 0 && std::atoi(stat.c_str() + stat.find(' ', close + 2) + 1) != parent) continue;
        std::string command = ReadBytes(it->path() / "cmdline");
        if (command.find(marker) != std::string::npos) children.push_back(std::stoi(name));
    }
    return children;
}

// A scheduler or a script signals the run's own process, not its group: the segments stop between
// two frames as on the terminal's Ctrl-C, rather than each drawing to its end, and none outlives
// the run. The second segment (eight renders a frame) has its signal sent as its ffmpeg starts.
TEST_F(SegmentedCaptureTest, ASigtermToTheRunAloneStopsItsSegments) {
    const ToolRun stopped = Capture("clip.mp4", {"--jobs", "2", "--motion-blur", "8"},
                                    OnSecondSegment("kill -TERM \"$(cut -d' ' -f4 /proc/$PPID/stat)\";;"));
    EXPECT_EQ(stopped.process.exitStatus, 143) << stopped.errors;
    EXPECT_NE(stopped.errors.find("quarn-capture: interrupted"), std::string::npos) << stopped.errors;
    EXPECT_EQ(stopped.errors.find("failed"), std::string::npos) << stopped.errors;
    EXPECT_FALSE(fs::exists(run.File("clip.mp4.parts/segment-00000005.mp4"))) << "the second segment drew to its end";
    EXPECT_TRUE(ChildrenOf(0, run.File("clip.mp4.parts")).empty()) << "a segment's process outlived the run";
}

// In a process of its own that adopts orphans: starts `argv`, kills it with SIGKILL as soon as its
// two segments' processes are there, and reports whether they ended within `patience` (0) or not
// (1: outlived, 2: never started).
int KillRunUnderSubreaper(std::vector<char*> argv, std::chrono::milliseconds patience) {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t capture = -1;
    if (posix_spawn(&capture, argv[0], &actions, nullptr, argv.data(), environ) != 0) return 2;
    std::vector<pid_t> segments;
    for (int tries = 0; tries < 6000 && segments.size() < 2; ++tries) {
        segments = ChildrenOf(capture, "--segment");
        if (segments.size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(capture, SIGKILL);
    waitpid(capture, nullptr, 0);
    if (segments.size() < 2) return 2;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    size_t ended = 0;
    while (ended < segments.size() && std::chrono::steady_clock::now() < deadline) {
        for (pid_t& segment : segments)
            if (segment > 0 && waitpid(segment, nullptr, WNOHANG) == segment) {
                segment = -1;
                ++ended;
            }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int result = ended == segments.size() ? 0 : 1;
    // Whatever is left of the run (a segment that drew on, an ffmpeg finishing its file) goes now.
    for (const pid_t left : ChildrenOf(getpid(), "")) kill(left, SIGKILL);
    while (waitpid(-1, nullptr, 0) > 0) {
    }
    return result;
}

// A desktop's systemd --user adopts orphans in init's place: a segment's process must know its run
// is gone by the run's own process id, not by being adopted by init.
TEST_F(SegmentedCaptureTest, SegmentsEndWithTheirKilledRunUnderASubreaper) {
    std::vector<std::string> words = {kCapture, "--run-dir", run.Path(), "--headless"};
    for (const std::string& word : Arguments(run.File("clip.mp4"), {"--jobs", "2"})) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t keeper = fork();
    ASSERT_GE(keeper, 0);
    if (keeper == 0) _exit(KillRunUnderSubreaper(argv, std::chrono::seconds(2)));
    int status = 0;
    ASSERT_EQ(waitpid(keeper, &status, 0), keeper);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "the run never started its segments";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a segment's process outlived its run by more than 2 s";
}

}  // namespace

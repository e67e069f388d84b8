// quarn-capture --slurm against a private Slurm cluster of this machine (scripts/local-cluster.sh):
// a video drawn by an array job and joined by a dependent job equals one drawn here, and after a
// cancelled task the same command submits only what is missing; the output is the jobs' while
// they are queued, on a file system without flock.
#include "support/CaptureTool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kClusterScript = QUARN_SOURCE_DIR "/scripts/local-cluster.sh";
const std::string kCapture = QUARN_RUN_DIR "/quarn-capture";

// Four seconds of the opening (8.4 beats at 126 a minute), small and at 20 frames a second:
// 80 frames, two segments of 40 with --jobs 2.
const std::vector<std::string> kSettings = {"--from", "0", "--to", "8.4", "--fps", "20", "--size", "320x180",
                                            "--max-anisotropy", "1", "--jobs", "2"};

std::vector<std::string> Capture(const std::string& video, std::vector<std::string> more) {
    std::vector<std::string> words = {"--video", video};
    words.insert(words.end(), kSettings.begin(), kSettings.end());
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

// The first number after `label` in `text`, or empty.
std::string NumberAfter(const std::string& text, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(label + " ([0-9]+)"))) return "";
    return match[1];
}

class SlurmCaptureTest : public testing::Test {
protected:
    // The cluster's folder holds munge's socket, whose path must stay short.
    static void SetUpTestSuite() {
        run = new EngineRunDirectory;
        cluster = {{"QUARN_CLUSTER_DIR", "/tmp/quarn-test-cluster-" + std::to_string(getpid())}};
        const ToolRun started = RunTool(*run, kClusterScript, {"start"}, cluster);
        startErrors = started.errors;
        const std::string exported = "export SLURM_CONF=";
        if (started.process.exitStatus == 0 && started.output.starts_with(exported))
            slurm = {{"SLURM_CONF", started.output.substr(exported.size(), started.output.find('\n') - exported.size())}};
    }
    static void TearDownTestSuite() {
        RunTool(*run, kClusterScript, {"stop"}, cluster);
        fs::remove_all(cluster[0].second);
        delete run;
    }

    void SetUp() override {
        ASSERT_FALSE(slurm.empty()) << "the local cluster did not start: " << startErrors;
        ASSERT_TRUE(run->AddDemoData());
        ASSERT_TRUE(run->AddSoundtrack(6.0));
    }

    static ToolRun Slurm(const std::string& command, const std::vector<std::string>& arguments) {
        return RunTool(*run, "/usr/bin/" + command, arguments, slurm);
    }

    // The job's state as squeue has it, waiting up to a minute while it is `passing`.
    static std::string StateOf(const std::string& job, const std::string& passing = "") {
        std::string state;
        for (int tries = 0; tries < 600; ++tries) {
            const ToolRun queue = Slurm("squeue", {"-h", "-r", "-t", "all", "-j", job, "-o", "%i %T"});
            const size_t line = queue.output.find(job + " ");
            state = line == std::string::npos ? "" : queue.output.substr(line + job.size() + 1);
            state = state.substr(0, state.find('\n'));
            if (passing.find(state + ",") == std::string::npos) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return state;
    }

    static EngineRunDirectory* run;
    static Environment cluster, slurm;
    static std::string startErrors;
};

EngineRunDirectory* SlurmCaptureTest::run = nullptr;
Environment SlurmCaptureTest::cluster, SlurmCaptureTest::slurm;
std::string SlurmCaptureTest::startErrors;

// Every process of the capture, the tasks' and the join's included (sbatch passes the
// environment on), finds flock failing as on Lustre without it.
TEST_F(SlurmCaptureTest, TheClusterDrawsTheLocalFramesAndResumesACancelledTask) {
    Environment noFlock = slurm;
    noFlock.emplace_back("LD_PRELOAD", QUARN_NO_FLOCK);
    const ToolRun probe = RunTool(*run, "/usr/bin/flock", {run->File("probe"), "true"}, noFlock);
    ASSERT_NE(probe.process.exitStatus, 0) << "flock still works under " << QUARN_NO_FLOCK;

    ExpectSucceeded(RunCapture(*run, Capture("local.mp4", {"--jobs", "1"}), noFlock));
    const std::string local = ReadBytes(run->File("local.mp4.frames"));
    ASSERT_EQ(std::count(local.begin(), local.end(), '\n'), 80);

    const ToolRun waited = RunCapture(*run, Capture("cluster.mp4", {"--slurm", "--wait"}), noFlock);
    ExpectSucceeded(waited);
    EXPECT_NE(waited.output.find("submitted 2 of 2 segments"), std::string::npos) << waited.output;
    EXPECT_EQ(ReadBytes(run->File("cluster.mp4.frames")), local);
    EXPECT_FALSE(fs::exists(run->File("cluster.mp4.parts"))) << "the join left the output claimed";

    // Held at submission, so that one task can be let run and the other cancelled before it starts.
    const ToolRun held = RunCapture(*run, Capture("held.mp4", {"--slurm", "--sbatch", "--hold"}), noFlock);
    ExpectSucceeded(held);
    const std::string array = NumberAfter(held.output, "array job"), join = NumberAfter(held.output, "join as job");
    ASSERT_FALSE(array.empty() || join.empty()) << held.output;
    // Queued jobs own the output: a local run into it would clear what they are to draw.
    const ToolRun local2 = RunCapture(*run, Capture("held.mp4", {"--plan"}), noFlock);
    EXPECT_EQ(local2.process.exitStatus, 1);
    EXPECT_NE(local2.errors.find("Slurm jobs " + array + ", " + join), std::string::npos) << local2.errors;
    ExpectSucceeded(Slurm("scontrol", {"release", array + "_0"}));
    EXPECT_EQ(StateOf(array + "_0", "PENDING,RUNNING,COMPLETING,"), "COMPLETED");
    ExpectSucceeded(Slurm("scancel", {array + "_1"}));
    EXPECT_EQ(StateOf(array + "_1", "PENDING,"), "CANCELLED");
    EXPECT_EQ(StateOf(join), "PENDING") << "the join ran without all of its segments";
    EXPECT_FALSE(fs::exists(run->File("held.mp4")));

    const ToolRun resumed = RunCapture(*run, Capture("held.mp4", {"--slurm", "--wait"}), noFlock);
    ExpectSucceeded(resumed);
    EXPECT_NE(resumed.output.find("submitted 1 of 2 segments"), std::string::npos) << resumed.output;
    EXPECT_NE(resumed.output.find("(tasks 1)"), std::string::npos) << resumed.output;
    EXPECT_EQ(StateOf(join), "CANCELLED") << "the earlier join was left waiting";
    EXPECT_EQ(ReadBytes(run->File("held.mp4.frames")), local);
}

// Two identical submissions started together: one submits, the other is refused and says why,
// and the folder stays the winner's.
TEST_F(SlurmCaptureTest, OfTwoSubmissionsAtOnceOneWins) {
    // Prints the first's exit status, then the second's.
    const std::string both =
        "\"$0\" \"$@\" >first.txt 2>&1 & \"$0\" \"$@\" >second.txt 2>&1; b=$?; wait $!; echo $? $b";
    std::vector<std::string> words = {"-c", both, kCapture, "--run-dir", run->Path()};
    for (const std::string& word : Capture("pair.mp4", {"--slurm", "--sbatch", "--hold"})) words.push_back(word);
    const ToolRun pair = RunTool(*run, "/bin/sh", words, slurm);
    const std::string first = ReadBytes(run->File("first.txt")), second = ReadBytes(run->File("second.txt"));
    const std::string& winner = pair.output == "0 1\n" ? first : second;
    const std::string& loser = pair.output == "0 1\n" ? second : first;
    const std::string array = NumberAfter(winner, "array job"), join = NumberAfter(winner, "join as job");
    if (!array.empty()) Slurm("scancel", {array});
    if (!join.empty()) Slurm("scancel", {join});
    ASSERT_TRUE(pair.output == "0 1\n" || pair.output == "1 0\n") << pair.output << first << second;
    EXPECT_NE(winner.find("submitted 2 of 2 segments"), std::string::npos) << winner;
    EXPECT_TRUE(loser.find("another capture works in") != std::string::npos ||
                loser.find("are still queued") != std::string::npos)
        << loser;
    EXPECT_TRUE(fs::exists(run->File("pair.mp4.parts/plan"))) << "the loser removed the winner's folder";
}

// A login node may have no GL at all: the submission plans from the soundtrack's file. The tasks,
// which would inherit the missing drivers, are withdrawn before they start.
TEST_F(SlurmCaptureTest, SubmitsWithoutGL) {
    const std::string noDrivers = run->File("no-drivers");
    fs::create_directories(noDrivers);
    Environment noGL = slurm;
    noGL.insert(noGL.end(),
                {{"DISPLAY", ""}, {"__EGL_VENDOR_LIBRARY_DIRS", noDrivers}, {"LIBGL_DRIVERS_PATH", noDrivers}});
    const ToolRun held = RunCapture(*run, Capture("nogl.mp4", {"--slurm", "--sbatch", "--hold"}), noGL);
    const std::string array = NumberAfter(held.output, "array job"), join = NumberAfter(held.output, "join as job");
    if (!array.empty()) Slurm("scancel", {array});
    if (!join.empty()) Slurm("scancel", {join});
    ExpectSucceeded(held);
    EXPECT_NE(held.output.find("submitted 2 of 2 segments"), std::string::npos) << held.output;
}

}  // namespace

// quarn-capture --slurm against a private Slurm cluster of this machine (scripts/local-cluster.sh):
// a video drawn by an array job and joined by a dependent job equals one drawn here, and after a
// cancelled task the same command submits only what is missing, keeping what the failed
// submissions left, and touching no other capture's jobs.
#include "support/CaptureTool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kClusterScript = QUARN_SOURCE_DIR "/scripts/local-cluster.sh";

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

    // The cluster's, with `command` found first on PATH as this shell script.
    static Environment Wrapping(const std::string& command, const std::string& script) {
        const std::string bin = run->File(command + "-bin");
        fs::create_directories(bin);
        std::ofstream(bin + "/" + command) << "#!/bin/sh\n" << script << "\n";
        fs::permissions(bin + "/" + command, fs::perms::owner_all);
        Environment environment = slurm;
        environment.push_back({"PATH", bin + ":" + std::getenv("PATH")});
        return environment;
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

TEST_F(SlurmCaptureTest, TheClusterDrawsTheLocalFramesAndResumesACancelledTask) {
    ExpectSucceeded(RunCapture(*run, Capture("local.mp4", {"--jobs", "1"})));
    const std::string local = ReadBytes(run->File("local.mp4.frames"));
    ASSERT_EQ(std::count(local.begin(), local.end(), '\n'), 80);

    // A % in the path is Slurm's pattern unless doubled: the tasks could not open their logs. The
    // first task, while it runs, is shown as preempted, as one is until Slurm requeues it.
    const ToolRun waited =
        RunCapture(*run, Capture("cluster %A.mp4", {"--slurm", "--wait"}),
                   Wrapping("squeue", "/usr/bin/squeue \"$@\" | sed 's/^\\([0-9]*_0\\)|RUNNING|/\\1|PREEMPTED|/' | "
                                      "tee -a squeue-lines"));
    ExpectSucceeded(waited);
    EXPECT_NE(waited.output.find("submitted 2 of 2 segments"), std::string::npos) << waited.output;
    EXPECT_EQ(ReadBytes(run->File("cluster %A.mp4.frames")), local);
    EXPECT_NE(ReadBytes(run->File("squeue-lines")).find("_0|PREEMPTED|"), std::string::npos);

    // Held at submission, so that one task can be let run and the other cancelled before it starts.
    // Slurm reads % in a log's path as a pattern and drops a backslash: the logs must still land
    // in the parts folder.
    const std::string odd = "held %j\\a.mp4", parts = run->File(odd + ".parts");
    const ToolRun held = RunCapture(*run, Capture(odd, {"--slurm", "--sbatch", "--hold"}), slurm);
    ExpectSucceeded(held);
    const std::string array = NumberAfter(held.output, "array job"), join = NumberAfter(held.output, "join as job");
    ASSERT_FALSE(array.empty() || join.empty()) << held.output;
    ExpectSucceeded(Slurm("scontrol", {"release", array + "_0"}));
    EXPECT_EQ(StateOf(array + "_0", "PENDING,RUNNING,COMPLETING,"), "COMPLETED");
    ExpectSucceeded(Slurm("scancel", {array + "_1"}));
    EXPECT_EQ(StateOf(array + "_1", "PENDING,"), "CANCELLED");
    EXPECT_EQ(StateOf(join), "PENDING") << "the join ran without all of its segments";
    EXPECT_FALSE(fs::exists(run->File(odd)));
    EXPECT_TRUE(fs::exists(parts + "/slurm-" + array + "_0.log"));

    // Another capture whose record names that join, as after a cluster that numbers its jobs
    // afresh, leaves it alone.
    ExpectSucceeded(RunCapture(*run, Capture("other.mp4", {"--plan"})));
    std::ofstream(run->File("other.mp4.parts/slurm-jobs")) << "join " << join << "\n";
    const ToolRun other = RunCapture(*run, Capture("other.mp4", {"--slurm", "--sbatch", "--hold"}), slurm);
    ExpectSucceeded(other);
    Slurm("scancel", {NumberAfter(other.output, "array job"), NumberAfter(other.output, "join as job")});
    EXPECT_EQ(StateOf(join), "PENDING") << "another capture withdrew this one's join";

    // Each resubmission keeps the last one's logs, record and script apart.
    const ToolRun again = RunCapture(*run, Capture(odd, {"--slurm", "--sbatch", "--hold"}), slurm);
    ExpectSucceeded(again);
    EXPECT_EQ(StateOf(join), "CANCELLED") << "the earlier join was left waiting";
    EXPECT_NE(again.output.find("(tasks 1)"), std::string::npos) << again.output;
    const std::string taskLog = "slurm-" + array + "_0.log";
    for (const std::string& kept : {taskLog, std::string("slurm-jobs"), std::string("slurm-job.sh")})
        EXPECT_TRUE(fs::exists(parts + "/failed/1/" + kept)) << kept << " was not kept\n" << again.output;
    Slurm("scancel", {NumberAfter(again.output, "array job")});

    const ToolRun resumed = RunCapture(*run, Capture(odd, {"--slurm", "--wait"}), slurm);
    ExpectSucceeded(resumed);
    EXPECT_NE(resumed.output.find("submitted 1 of 2 segments"), std::string::npos) << resumed.output;
    EXPECT_NE(resumed.output.find("/failed/2"), std::string::npos) << resumed.output;
    EXPECT_EQ(ReadBytes(run->File(odd + ".frames")), local);
}

// Options that the tool sets itself are refused before anything is planned; a Ctrl-C while it
// looks at the last submission's jobs ends it with nothing submitted; jobs it cannot record (the
// record's place taken, as a full quota would refuse it) are cancelled.
TEST_F(SlurmCaptureTest, SubmitsNothingItCannotKeep) {
    for (const char* options : {"--partition=debug -J mine", "--dep afterany:1", "-Ha0"}) {
        const ToolRun refused = RunCapture(*run, Capture("refused.mp4", {"--slurm", "--sbatch", options}), slurm);
        EXPECT_EQ(refused.process.exitStatus, 1) << options;
        EXPECT_NE(refused.errors.find("quarn-capture's own"), std::string::npos) << refused.errors;
    }
    EXPECT_FALSE(fs::exists(run->File("refused.mp4.parts")));

    fs::create_directories(run->File("stopped.mp4.parts"));
    std::ofstream(run->File("stopped.mp4.parts/slurm-jobs")) << "capture 0123456789abcdef\n";
    const ToolRun stopped = RunCapture(*run, Capture("stopped.mp4", {"--slurm"}),
                                       Wrapping("squeue", "kill -INT $PPID\nexec /usr/bin/squeue \"$@\""));
    EXPECT_EQ(stopped.process.exitStatus, 130) << stopped.errors;
    EXPECT_EQ(stopped.output.find("submitted"), std::string::npos) << stopped.output;

    const ToolRun unrecorded = RunCapture(
        *run, Capture("unrecorded.mp4", {"--slurm"}),
        Wrapping("sbatch", "rm -f unrecorded.mp4.parts/slurm-jobs; mkdir -p unrecorded.mp4.parts/slurm-jobs/taken\n"
                           "exec /usr/bin/sbatch \"$@\""));
    EXPECT_EQ(unrecorded.process.exitStatus, 1);
    const std::string cancelled = NumberAfter(unrecorded.errors, "cancelled what was submitted \\(scancel");
    ASSERT_FALSE(cancelled.empty()) << unrecorded.errors;
    EXPECT_EQ(StateOf(cancelled + "_0", "PENDING,RUNNING,COMPLETING,"), "CANCELLED");
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

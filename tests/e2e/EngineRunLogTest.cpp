// A whole run of the real player with all its data: the log holds every line of a typical start
// and of the end of a run, in order, and no error.
#include "support/EngineLog.h"
#include "support/EngineRunDirectory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kPlayer = QUARN_RUN_DIR "/QuarnEngine";

// Walks the log forward: each expectation must come after the one before it.
class LogCursor {
public:
    explicit LogCursor(const EngineLog& log) : log(log) {}

    void Expect(const std::string& line) { Advance(FindLine(log, line, next), line); }
    void ExpectStartingWith(const std::string& prefix) { Advance(FindLineStartingWith(log, prefix, next), prefix); }
    void ExpectTimestamp() {
        ASSERT_LT(next, static_cast<int>(log.lines.size())) << "no timestamp line at the end";
        EXPECT_TRUE(IsTimestampLine(log.lines[next])) << log.lines[next];
        ++next;
    }
    int Position() const { return next; }

private:
    void Advance(int found, const std::string& what) {
        EXPECT_GE(found, next) << "\"" << what << "\" missing after line " << next;
        if (found >= next) next = found + 1;
    }

    const EngineLog& log;
    int next = 0;
};

// The "Initializing Effect: " names in the order the demo announced them.
std::vector<std::string> InitializedEffects(const EngineLog& log) {
    const std::string prefix = "Initializing Effect: ";
    std::vector<std::string> names;
    for (const std::string& line : log.lines)
        if (line.starts_with(prefix)) names.push_back(line.substr(prefix.size()));
    return names;
}

TEST(EngineRunLog, HoldsTheWholeStartAndEndInOrderWithoutErrors) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(2.0));

    const ProcessResult result = run.RunPlayer(kPlayer);
    ASSERT_TRUE(result.started) << result.startError;
    ASSERT_TRUE(result.exited) << "timed out: " << result.timedOut << ", signal " << result.signal;
    EXPECT_EQ(result.exitStatus, 0);

    const EngineLog log = ReadEngineLog(run.File("LogFile.txt"));
    ASSERT_TRUE(log.readable);
    const std::vector<std::string> effects = InitializedEffects(log);
    ASSERT_FALSE(effects.empty());
    // The roster's order fixes every random value; SphereMorph always comes first.
    EXPECT_EQ(effects.front(), "SphereMorph");

    LogCursor cursor(log);
    cursor.ExpectTimestamp();
    cursor.Expect("Logger Initialized.");
    cursor.ExpectStartingWith("OpenAL Device Specifier: ");
    cursor.Expect("Sync System Initialized.");
    cursor.ExpectStartingWith("OpenGL Context Version: ");
    cursor.ExpectStartingWith("Multisampling ");
    cursor.ExpectStartingWith("Anisotropic Filtering Level: ");
    cursor.Expect("Creating Texture: MissingTexture.png");
    cursor.Expect("Renderer Initialized.");
    cursor.Expect("Engine Initialized.");
    cursor.Expect("Initializing Demo: Test Demo");
    for (const std::string& effect : effects) cursor.Expect("Initializing Effect: " + effect);
    cursor.Expect("Initializing Post Processor: Bloom");

    cursor.Expect("Engine Shutting Down.");
    cursor.Expect("Shutting Down Demo: Test Demo");
    for (const std::string& effect : effects) cursor.Expect("Shutting Down Effect: " + effect);
    cursor.Expect("Shutting Down Post Processor: Bloom");
    cursor.Expect("Renderer Shutting Down.");
    cursor.Expect("Deleting Texture: MissingTexture.png");
    cursor.Expect("Logger Shutting Down.");
    cursor.ExpectTimestamp();
    EXPECT_EQ(cursor.Position(), static_cast<int>(log.lines.size())) << "lines after the closing timestamp";

    const int error = FindLineStartingWith(log, "ERROR: ");
    EXPECT_EQ(error, -1) << (error >= 0 ? log.lines[error] : "");
    const int missing = FindLineStartingWith(log, "Returned A Missing Texture!");
    EXPECT_EQ(missing, -1) << (missing >= 0 ? log.lines[missing] : "");
}

}  // namespace

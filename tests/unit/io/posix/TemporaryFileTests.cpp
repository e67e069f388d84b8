#include "io/TemporaryFile.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gCaught = 0;

// Writes a temporary file, then takes SIGTERM: with its default action, or with a handler of the
// program's own, as the capture tool has, which must go on working.
[[noreturn]] void SaveAndTakeTerm(const std::string& target, bool handled) {
    if (handled) {
        struct sigaction action {};
        action.sa_handler = [](int) { gCaught = 1; };
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, nullptr);
    }
    TemporaryFile temporary;
    std::string error;
    if (!temporary.Create(target, error) || !temporary.Write("half", error)) _exit(2);
    ::raise(SIGTERM);
    std::exit(gCaught ? 0 : 3);  // exit, not the temporary's destructor, has it removed
}

TEST(TemporaryFileTest, ASignalOrAnExitRemovesItAndAProgramsOwnHandlerStays) {
    ScratchDirectory scratch("temporary");
    for (const bool handled : {false, true}) {
        SCOPED_TRACE(handled ? "the program handles SIGTERM" : "SIGTERM's default action");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) SaveAndTakeTerm(scratch.PathOf("plan.txt"), handled);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (handled) {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), SIGTERM);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 0);
    }
}

}  // namespace

#pragma once
// For the tests of the generated content: where the run directory's data and the content
// tools are, and how to run a tool and read what it printed.

#include <gtest/gtest.h>

#include <ContentConfig.h>

#include <string>

// Skips the test in builds that do not generate content (QUARN_BUILD_CONTENT off).
#define QUARN_REQUIRE_CONTENT()                                                  \
    do {                                                                         \
        if (!QUARN_CONTENT_BUILT)                                                \
            GTEST_SKIP() << "this build does not generate the run directory's data"; \
    } while (false)

// A path inside the run directory, e.g. RunPath("Models/Gem.exm"). Inline: QUARN_RUN_DIR is
// defined for the test binaries only.
inline std::string RunPath(const std::string& relative) {
    return std::string(QUARN_RUN_DIR) + "/" + relative;
}
// A content tool's executable, e.g. ToolPath("quarn_tracktool").
inline std::string ToolPath(const std::string& tool) {
    return std::string(QUARN_TOOLS_DIR) + "/" + tool;
}

struct ToolResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs the command line (arguments quoted by the caller) and collects its output.
ToolResult RunTool(const std::string& commandLine);
// Wraps an argument in single quotes for the shell.
std::string Quoted(const std::string& argument);

#pragma once
// Records every log line as the file would show it, for the GL tests to check.

#include <string>
#include <vector>

#include "log/ILogger.h"

class GLTestLog : public ILogger {
public:
    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* message, const char* argument) override;
    void Write(const char* message) override;
    void WriteTimestamp() override {}
    void Debug(const char* message) override;
    void Error(const char* message) override;
    void WriteRaw(const char16_t*) override {}

    // How many lines equal `line` exactly.
    int Count(const std::string& line) const;
    // The lines starting with `prefix`, in order.
    std::vector<std::string> StartingWith(const std::string& prefix) const;

    std::vector<std::string> lines;
};

#pragma once
// An in-memory logger for in-process tests: installed as gLogger while it lives, it keeps every
// line as the log file would show it (prefixes included) so tests can check what was reported.

#include "log/ILogger.h"

#include <string>
#include <vector>

class LogRecorder : public ILogger {
public:
    LogRecorder();
    ~LogRecorder() override;
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* message, const char* argument) override;
    void Write(const char* message) override;
    void WriteTimestamp() override;
    void Debug(const char* message) override;
    void Error(const char* message) override;
    void WriteRaw(const char16_t* text) override;

    // How many lines equal `line` exactly.
    int Count(const std::string& line) const;
    // The lines starting with `prefix`, in order.
    std::vector<std::string> StartingWith(const std::string& prefix) const;

    std::vector<std::string> lines;  // UTF-8

private:
    ILogger* previous_;
};

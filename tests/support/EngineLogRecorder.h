#pragma once
// An in-memory logger for in-process tests: installed as gLogger while it lives.

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

    std::vector<std::string> lines;  // UTF-8, as the log file would hold them

private:
    ILogger* previous_;
};

#pragma once
// The benchmarks' log: the engine's lines go to stderr, so a run that loses a data file says so
// beside its figures instead of in a LogFile.txt nobody reads.

#include <cstdio>

#include "log/ILogger.h"

class StderrLogger : public ILogger {
public:
    bool Open() override { return true; }
    void Close() override {}
    void WritePair(const char* message, const char* argument) override { std::fprintf(stderr, "%s%s\n", message, argument); }
    void Write(const char* message) override { std::fprintf(stderr, "%s\n", message); }
    void WriteTimestamp() override {}
    void Debug(const char* message) override { Write(message); }
    void Error(const char* message) override { std::fprintf(stderr, "ERROR: %s\n", message); }
    void WriteRaw(const char16_t*) override {}
};

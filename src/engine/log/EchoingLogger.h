#pragma once
// A log that also shows its error lines on the terminal, for someone watching it while they work
// (author mode): a shader that does not compile or a timeline with a mistake is reported where
// the edit was made, not only in the file.

#include "log/ILogger.h"

#include <memory>

class EchoingLogger : public ILogger {
public:
    explicit EchoingLogger(std::unique_ptr<ILogger> log) : log(std::move(log)) {}

    bool Open() override { return log->Open(); }
    void Close() override { log->Close(); }
    // Shown when the message is an error, that is when it starts with "ERROR: ".
    void WritePair(const char* message, const char* argument) override;
    void Write(const char* message) override { log->Write(message); }
    void WriteTimestamp() override { log->WriteTimestamp(); }
    void Debug(const char* message) override { log->Debug(message); }
    void Error(const char* message) override;
    void WriteRaw(const char16_t* text) override { log->WriteRaw(text); }

private:
    std::unique_ptr<ILogger> log;
};

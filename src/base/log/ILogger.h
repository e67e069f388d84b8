#pragma once
// The log every subsystem reports to. Narrow texts are UTF-8; the file is UTF-16LE.

class ILogger {
public:
    virtual ~ILogger() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual void WritePair(const char* message, const char* argument) = 0;
    virtual void Write(const char* message) = 0;
    virtual void WriteTimestamp() = 0;
    virtual void Debug(const char* message) = 0;
    virtual void Error(const char* message) = 0;
    virtual void WriteRaw(const char16_t* text) = 0;
};

// Set by the engine right after the log file was opened.
extern ILogger* gLogger;

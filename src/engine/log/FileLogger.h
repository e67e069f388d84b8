#pragma once
// The log file: UTF-16LE without a byte-order mark, CR LF line ends. Every piece goes to the
// file at once with its own write, so the log is complete up to the last line even when the
// program stops abruptly.

#include "log/ILogger.h"
#include "platform/Platform.h"

#include <cstdint>
#include <ctime>

inline constexpr const char* kLogFilePath = "./LogFile.txt";

class FileLogger : public ILogger {
public:
    FileLogger();
    // Writes to `opened` instead, a file its maker chose and opened as it must (the capture tool's
    // own log); the logger owns it from here on.
    explicit FileLogger(platform::FileHandle opened);

    // Creates or truncates ./LogFile.txt, shared for reading only; with a file given, only says
    // whether it is still open.
    bool Open() override;
    void Close() override;
    void WritePair(const char* message, const char* argument) override;
    void Write(const char* message) override;
    // The local date and time as "Wed Jun 30 21:49:08 1993\n", then the line end.
    void WriteTimestamp() override;
    void Debug(const char* message) override;
    void Error(const char* message) override;
    void WriteRaw(const char16_t* text) override;

private:
    // Converts UTF-8 to UTF-16 and writes it as one piece; null counts as empty.
    void WriteNarrow(const char* text);

    const char16_t* lineEnd;
    const char16_t* debugPrefix;
    const char16_t* errorPrefix;
    platform::FileHandle file = platform::kInvalidFile;
    bool given = false;
    uint32_t bytesWritten = 0;
    int64_t time = 0;
    std::tm localTime{};
};

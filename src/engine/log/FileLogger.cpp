#include "log/FileLogger.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// The file is UTF-16LE and code units go to it exactly as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

// Texts up to this many code units, terminator included, are converted without allocating.
constexpr int kShortTextUnits = 128;

}  // namespace

FileLogger::FileLogger() : lineEnd(u"\r\n"), debugPrefix(u"DEBUG: "), errorPrefix(u"ERROR: ") {}

FileLogger::FileLogger(platform::FileHandle opened) : FileLogger() {
    file = opened;
    given = true;
}

bool FileLogger::Open() {
    if (given) return file != platform::kInvalidFile;
    Close();
    file = platform::CreateFileForWriting(kLogFilePath);
    return file != platform::kInvalidFile;
}

void FileLogger::Close() {
    // Forgetting the handle keeps later writes from landing in whatever file reuses it.
    platform::CloseHandle(file);
    file = platform::kInvalidFile;
}

void FileLogger::WritePair(const char* message, const char* argument) {
    WriteNarrow(message);
    WriteNarrow(argument);
    WriteRaw(lineEnd);
}

void FileLogger::Write(const char* message) {
    WriteNarrow(message);
    WriteRaw(lineEnd);
}

void FileLogger::WriteTimestamp() {
    // Fixed English names: the log reads the same whatever the user's locale.
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    time = static_cast<int64_t>(std::time(nullptr));
    const std::time_t now = static_cast<std::time_t>(time);
    if (!localtime_r(&now, &localTime)) {
        Write("Unknown Time");
        return;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%s %s %02d %02d:%02d:%02d %04lld\n", kDays[localTime.tm_wday],
                  kMonths[localTime.tm_mon], localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec, 1900LL + localTime.tm_year);
    Write(text);
}

void FileLogger::Debug(const char* message) {
    WriteRaw(debugPrefix);
    Write(message);
}

void FileLogger::Error(const char* message) {
    WriteRaw(errorPrefix);
    Write(message);
}

void FileLogger::WriteRaw(const char16_t* text) {
    if (file == platform::kInvalidFile || !text) return;
    // One write per piece; only a text beyond what one write can carry is split.
    constexpr size_t kMaxUnitsPerWrite = UINT32_MAX / sizeof(char16_t);
    size_t units = std::char_traits<char16_t>::length(text);
    while (units > 0) {
        const size_t piece = std::min(units, kMaxUnitsPerWrite);
        platform::WriteFile(file, text, static_cast<uint32_t>(piece * sizeof(char16_t)), &bytesWritten);
        text += piece;
        units -= piece;
    }
}

void FileLogger::WriteNarrow(const char* text) {
    if (!text) text = "";
    // The terminator is converted too, so the converted text ends where WriteRaw stops.
    const size_t byteCount = std::strlen(text) + 1;
    if (byteCount > INT_MAX) return;  // beyond what the converter takes: the piece is lost
    const int bytes = static_cast<int>(byteCount);

    char16_t shortText[kShortTextUnits];
    if (platform::MultiByteToWideChar(text, bytes, shortText, kShortTextUnits) > 0) {
        WriteRaw(shortText);
        return;
    }
    const int units = platform::MultiByteToWideChar(text, bytes, nullptr, 0);
    // Left uninitialised: every unit is written next.
    std::unique_ptr<char16_t[]> longText(new char16_t[static_cast<size_t>(units)]);
    if (platform::MultiByteToWideChar(text, bytes, longText.get(), units) > 0) WriteRaw(longText.get());
}

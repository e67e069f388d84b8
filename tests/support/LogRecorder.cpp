#include "support/LogRecorder.h"

#include <algorithm>

LogRecorder::LogRecorder() : previous_(gLogger) {
    gLogger = this;
}

LogRecorder::~LogRecorder() {
    gLogger = previous_;
}

void LogRecorder::WritePair(const char* message, const char* argument) {
    lines.push_back(std::string(message) + argument);
}

void LogRecorder::Write(const char* message) {
    lines.emplace_back(message);
}

void LogRecorder::WriteTimestamp() {
    lines.emplace_back("<timestamp>");
}

void LogRecorder::Debug(const char* message) {
    lines.push_back(std::string("DEBUG: ") + message);
}

void LogRecorder::Error(const char* message) {
    lines.push_back(std::string("ERROR: ") + message);
}

void LogRecorder::WriteRaw(const char16_t* text) {
    std::string narrow;
    for (; text && *text; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    lines.push_back(narrow);
}

int LogRecorder::Count(const std::string& line) const {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

std::vector<std::string> LogRecorder::StartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line.starts_with(prefix))
            found.push_back(line);
    return found;
}

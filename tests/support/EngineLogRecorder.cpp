#include "support/EngineLogRecorder.h"

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

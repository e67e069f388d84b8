#include "support/GLTestLog.h"

#include <algorithm>

void GLTestLog::WritePair(const char* message, const char* argument) {
    lines.push_back(std::string(message) + argument);
}

void GLTestLog::Write(const char* message) {
    lines.push_back(message);
}

void GLTestLog::Debug(const char* message) {
    lines.push_back(message);
}

void GLTestLog::Error(const char* message) {
    lines.push_back(std::string("ERROR: ") + message);
}

int GLTestLog::Count(const std::string& line) const {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

std::vector<std::string> GLTestLog::StartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    return found;
}

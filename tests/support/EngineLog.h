#pragma once
// Reading the player's "./LogFile.txt" back: UTF-16LE without a byte-order mark, CR LF line ends.

#include <string>
#include <vector>

struct EngineLog {
    bool readable = false;
    bool hasByteOrderMark = false;
    bool endsWithLineEnd = false;
    std::vector<std::string> lines;  // UTF-8, without their CR LF
};

EngineLog ReadEngineLog(const std::string& path);

// A timestamp line: "Tue Dec 08 13:47:54 2026" followed by the C library's own line feed.
bool IsTimestampLine(const std::string& line);

// The index of the first line at or after `from` that equals `text`, or -1.
int FindLine(const EngineLog& log, const std::string& text, int from = 0);
// Likewise for the first line that starts with `prefix`.
int FindLineStartingWith(const EngineLog& log, const std::string& prefix, int from = 0);

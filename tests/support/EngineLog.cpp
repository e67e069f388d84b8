#include "support/EngineLog.h"

#include <fstream>
#include <iterator>
#include <regex>

namespace {

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u16string DecodeUtf16Le(const std::string& bytes) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

std::string ToUtf8(const std::u16string& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        AppendUtf8(cp, out);
    }
    return out;
}

}  // namespace

EngineLog ReadEngineLog(const std::string& path) {
    EngineLog log;
    std::ifstream file(path, std::ios::binary);
    if (!file) return log;
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    log.readable = true;
    const std::u16string text = DecodeUtf16Le(bytes);
    log.hasByteOrderMark = !text.empty() && text[0] == 0xFEFF;
    log.endsWithLineEnd = text.ends_with(u"\r\n");

    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != std::u16string::npos; start = end + 2)
        log.lines.push_back(ToUtf8(text.substr(start, end - start)));
    if (start < text.size()) log.lines.push_back(ToUtf8(text.substr(start)));
    return log;
}

bool IsTimestampLine(const std::string& line) {
    static const std::regex kTimestamp(R"([A-Z][a-z]{2} [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d \d{4}\n)");
    return std::regex_match(line, kTimestamp);
}

int FindLine(const EngineLog& log, const std::string& text, int from) {
    for (int i = std::max(from, 0); i < static_cast<int>(log.lines.size()); ++i)
        if (log.lines[i] == text) return i;
    return -1;
}

int FindLineStartingWith(const EngineLog& log, const std::string& prefix, int from) {
    for (int i = std::max(from, 0); i < static_cast<int>(log.lines.size()); ++i)
        if (log.lines[i].starts_with(prefix)) return i;
    return -1;
}

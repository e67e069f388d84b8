#include "io/TextLines.h"

#include "io/WholeFile.h"

#include <cstdio>
#include <sstream>
#include <utility>

bool ReadWholeText(const std::string& path, std::string& text) {
    const WholeFile file = ReadWholeFile(path.c_str(), kMaxTextBytes);
    if (!file.Ok())
        return false;
    text.assign(file.bytes.begin(), file.bytes.end());
    return true;
}

std::vector<TextLine> SplitTextLines(const std::string& text) {
    std::vector<TextLine> lines;
    std::istringstream stream(text);
    std::string line;
    for (int number = 1; std::getline(stream, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back({number, line});
    }
    return lines;
}

bool ReadTextLines(const std::string& path, std::vector<TextLine>& lines) {
    std::string text;
    if (!ReadWholeText(path, text)) {
        std::fprintf(stderr, "%s: cannot read\n", path.c_str());
        return false;
    }
    lines = SplitTextLines(text);
    return true;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n'; }

size_t CommentStart(const std::string& text, char commentMark) {
    // A mark inside a word (a sharp in "G#4") does not start a comment.
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == commentMark && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t'))
            return i;
    return text.size();
}

std::string StripComment(const std::string& text, char commentMark) {
    return Trim(text.substr(0, CommentStart(text, commentMark)));
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && !IsBlank(text[i]))
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

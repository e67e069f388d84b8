#include "content/TextLines.h"

#include <cstdio>
#include <fstream>
#include <sstream>

bool ReadTextLines(const std::string& path, std::vector<TextLine>& lines) {
    std::ifstream file(path);
    if (!file) {
        std::fprintf(stderr, "%s: cannot read\n", path.c_str());
        return false;
    }
    lines.clear();
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        lines.push_back({number, text});
    }
    return true;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string StripComment(const std::string& text, char commentMark) {
    // A mark inside a word (a sharp in "G#4") does not start a comment.
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == commentMark && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t'))
            return Trim(text.substr(0, i));
    return Trim(text);
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

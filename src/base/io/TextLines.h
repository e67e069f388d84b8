#pragma once
// Authored text sources: read as lines, with the line numbers kept for error messages.

#include "io/FloatChars.h"
#include <cstddef>
#include <string>
#include <vector>

struct TextLine {
    int number = 0;  // 1-based
    std::string text;
};

// All lines of the file, or false (after a message on stderr) when it cannot be read.
bool ReadTextLines(const std::string& path, std::vector<TextLine>& lines);
// The lines of a text already read, without their line ends ("\n" or "\r\n").
std::vector<TextLine> SplitTextLines(const std::string& text);
// The largest authored text read. They are small; the bound only keeps a stray huge file from
// costing memory. A program that writes one keeps to it, so that what it writes can be read.
constexpr size_t kMaxTextBytes = 16u << 20;

// The whole file in one read, or false when it cannot be read (larger than kMaxTextBytes, say); silent.
bool ReadWholeText(const std::string& path, std::string& text);
// The blanks that separate words: space, tab, and the line-end and page characters (\r \v \f
// \n), so that every reader of a line finds the same words in it.
bool IsBlank(char c);
// Where a comment starts: `commentMark` at the start of the line or after a space or tab; the
// line's size when it has none.
size_t CommentStart(const std::string& text, char commentMark);
// The line without its comment and surrounding spaces and tabs.
std::string StripComment(const std::string& text, char commentMark);
std::string Trim(const std::string& text);
// The words between blanks.
std::vector<std::string> SplitWords(const std::string& text);

// The whole text as one number (integer or floating point); false when anything is left over.
template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = float_chars::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

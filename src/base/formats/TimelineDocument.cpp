#include "formats/TimelineDocument.h"

#include "io/TextLines.h"

#include <algorithm>
#include <cmath>

namespace {

struct Word {
    size_t column = 0;
    std::string text;
};

// The words before the comment, with the columns they start at: the parser's own words, split
// at the same blanks.
std::vector<Word> WordsOf(const std::string& line, size_t& end) {
    std::vector<Word> words;
    const size_t stop = CommentStart(line, '#');
    size_t i = 0;
    end = 0;
    while (true) {
        while (i < stop && IsBlank(line[i]))
            ++i;
        if (i >= stop)
            break;
        const size_t start = i;
        while (i < stop && !IsBlank(line[i]))
            ++i;
        words.push_back({start, line.substr(start, i - start)});
        end = i;
    }
    return words;
}

// The words set at the columns the layout's words start at, or a blank after the previous word
// when it runs past that column.
std::string Place(const std::vector<Word>& layout, const std::string (&words)[3]) {
    std::string line;
    for (size_t i = 0; i < 3; ++i) {
        const size_t column = i < layout.size() ? layout[i].column : 0;
        if (line.size() < column)
            line.append(column - line.size(), ' ');
        else if (i > 0)
            line += ' ';
        line += words[i];
    }
    return line;
}

// The key's line with the new value and kind, each changed word in its column; the position and
// whatever follows the kind (a comment) stay as written.
std::string RewrittenKeyLine(const std::string& line, const SyncKey& old, const SyncKey& key) {
    size_t end = 0;
    const std::vector<Word> words = WordsOf(line, end);
    // The parser read three words here; should the two ever disagree, the key still gets a line.
    if (words.size() != 3)
        return KeyLine(key);
    const std::string fields[3] = {words[0].text, old.value == key.value ? words[1].text : ValueText(key.value),
                                   old.type == key.type ? words[2].text : KindText(key.type)};
    return line.substr(0, words[0].column) + Place(words, fields).substr(words[0].column) + line.substr(end);
}

// A new key's line in the columns of `layout`, a key line near it (null: the canonical columns).
std::string NewKeyLine(const std::string* layout, const SyncKey& key) {
    if (!layout) return KeyLine(key);
    size_t end = 0;
    const std::string fields[3] = {PositionText(key.row), ValueText(key.value), KindText(key.type)};
    return Place(WordsOf(*layout, end), fields);
}

bool KeysSound(const std::vector<SyncKey>& keys, std::string& error) {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[i].row <= keys[i - 1].row) {
            error = "rows out of order: row " + std::to_string(keys[i].row) + " after row " +
                    std::to_string(keys[i - 1].row);
            return false;
        }
        if (!std::isfinite(keys[i].value)) {
            error = "the value at row " + std::to_string(keys[i].row) + " is not a finite number";
            return false;
        }
        if (keys[i].type < -128 || keys[i].type > 127) {
            error = "the kind at row " + std::to_string(keys[i].row) + " is not -128..127";
            return false;
        }
    }
    return true;
}

}  // namespace

bool TimelineDocument::Parse(const std::string& newText, const std::string& name, std::string& error) {
    std::vector<TimelineTrack> parsed;
    if (!ParseTimeline(SplitTextLines(newText), name, parsed, error))
        return false;
    text = newText;
    fileName = name;
    lines = SplitLines(text);
    tracks = std::move(parsed);
    IndexSections();
    return true;
}

std::vector<TimelineDocument::Line> TimelineDocument::SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back({text.substr(start), ""});
            break;
        }
        const bool crlf = newline > start && text[newline - 1] == '\r';
        const size_t end = crlf ? newline - 1 : newline;
        lines.push_back({text.substr(start, end - start), crlf ? "\r\n" : "\n"});
        start = newline + 1;
    }
    return lines;
}

std::string TimelineDocument::JoinLines(const std::vector<Line>& lines) {
    std::string text;
    for (const Line& line : lines)
        text += line.text + line.ending;
    return text;
}

// The parser accepted the text, so its sections and keys lie exactly where this walk finds them.
void TimelineDocument::IndexSections() {
    sections.clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string content = StripComment(lines[i].text, '#');
        if (content.empty())
            continue;
        if (content.front() == '[') {
            if (!sections.empty())
                sections.back().end = i;
            sections.push_back({i, lines.size(), {}});
        } else {
            sections.back().keyLines.push_back(i);
        }
    }
}

// The key line whose columns a new line copies: the nearest in its own section, else the first
// anywhere, else none (the canonical columns).
const TimelineDocument::Line* TimelineDocument::LayoutLine(const Section& section, size_t near) const {
    if (!section.keyLines.empty()) {
        const auto next = std::lower_bound(section.keyLines.begin(), section.keyLines.end(), near);
        return &lines[next != section.keyLines.end() ? *next : section.keyLines.back()];
    }
    for (const Section& other : sections)
        if (!other.keyLines.empty())
            return &lines[other.keyLines.front()];
    return nullptr;
}

bool TimelineDocument::SetKeys(const std::string& trackName, const std::vector<SyncKey>& keys,
                               std::string& error) {
    const auto found = std::find_if(tracks.begin(), tracks.end(),
                                    [&](const TimelineTrack& track) { return track.name == trackName; });
    if (found == tracks.end()) {
        error = "unknown track \"" + trackName + "\"";
        return false;
    }
    if (!KeysSound(keys, error))
        return false;
    const std::vector<SyncKey>& old = found->keys;
    const Section& section = sections[static_cast<size_t>(found - tracks.begin())];

    // What happens to each line: rewritten, removed, or new lines put before it.
    std::vector<std::string> rewritten(lines.size());
    std::vector<bool> changed(lines.size(), false);
    std::vector<bool> removed(lines.size(), false);
    std::vector<std::vector<std::string>> inserted(lines.size() + 1);
    std::string ending = lines.empty() || lines.front().ending.empty() ? "\n" : lines.front().ending;

    size_t i = 0;
    size_t j = 0;
    while (i < old.size() || j < keys.size()) {
        if (i < old.size() && j < keys.size() && old[i].row == keys[j].row) {
            const size_t at = section.keyLines[i];
            if (old[i].value != keys[j].value || old[i].type != keys[j].type) {
                rewritten[at] = RewrittenKeyLine(lines[at].text, old[i], keys[j]);
                changed[at] = true;
            }
            ++i;
            ++j;
        } else if (i < old.size() && (j == keys.size() || old[i].row < keys[j].row)) {
            removed[section.keyLines[i++]] = true;
        } else {
            // Before the first old key that follows it, else after the section's last key, else
            // after the section's last written line (its header or comments).
            size_t at = section.header + 1;
            if (i < old.size())
                at = section.keyLines[i];
            else if (!old.empty())
                at = section.keyLines.back() + 1;
            else
                for (size_t k = section.header; k < section.end; ++k)
                    if (!Trim(lines[k].text).empty())
                        at = k + 1;
            const Line* layout = LayoutLine(section, at);
            inserted[at].push_back(NewKeyLine(layout ? &layout->text : nullptr, keys[j]));
            ++j;
        }
    }

    std::vector<Line> result;
    for (size_t k = 0; k <= lines.size(); ++k) {
        for (std::string& line : inserted[k])
            result.push_back({std::move(line), ending});
        if (k == lines.size())
            break;
        if (!removed[k])
            result.push_back({changed[k] ? rewritten[k] : lines[k].text, lines[k].ending});
    }
    // A last line without an end that is no longer last gets one.
    for (size_t k = 0; k + 1 < result.size(); ++k)
        if (result[k].ending.empty())
            result[k].ending = ending;

    TimelineDocument edited;
    if (!edited.Parse(JoinLines(result), fileName, error))
        return false;
    *this = std::move(edited);
    return true;
}

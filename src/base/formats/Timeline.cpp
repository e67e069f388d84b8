#include "formats/Timeline.h"

#include "io/TextLines.h"

#include <algorithm>
#include "io/FloatChars.h"
#include <cmath>

namespace {

constexpr const char* kKindNames[] = {"step", "linear", "smooth", "ramp"};

bool ParseKind(const std::string& text, int32_t& type) {
    for (int32_t kind = 0; kind < 4; ++kind)
        if (text == kKindNames[kind]) {
            type = kind;
            return true;
        }
    int raw = 0;
    if (ParseNumber(text, raw) && raw >= -128 && raw <= 127) {
        type = raw;
        return true;
    }
    return false;
}

// Beats as written, or rows with a trailing 'r'; false with `error` set when it is not a
// whole row.
bool ParsePosition(const std::string& text, int32_t& row, std::string& error) {
    if (!text.empty() && text.back() == 'r') {
        long long rows = 0;
        if (!ParseNumber(text.substr(0, text.size() - 1), rows) || rows < INT32_MIN || rows > INT32_MAX) {
            error = "bad row \"" + text + "\"";
            return false;
        }
        row = static_cast<int32_t>(rows);
        return true;
    }
    double beats = 0.0;
    if (!ParseNumber(text, beats) || !std::isfinite(beats)) {
        error = "bad position \"" + text + "\" (beats, or rows with a trailing 'r')";
        return false;
    }
    const double rows = beats * kRowsPerBeat;
    if (rows != std::floor(rows) || rows < INT32_MIN || rows > INT32_MAX) {
        error = "position " + text + " is not a whole row (a row is 1/16 beat)";
        return false;
    }
    row = static_cast<int32_t>(rows);
    return true;
}

bool ParseKey(const std::vector<std::string>& words, SyncKey& key, std::string& error) {
    if (words.size() != 3) {
        error = "expected \"position value kind\"";
        return false;
    }
    if (!ParsePosition(words[0], key.row, error))
        return false;
    // "nan" and "inf" read as numbers, but no track can hold them.
    if (!ParseNumber(words[1], key.value) || !std::isfinite(key.value)) {
        error = "bad value \"" + words[1] + "\"";
        return false;
    }
    if (!ParseKind(words[2], key.type)) {
        error = "unknown kind \"" + words[2] + "\" (step, linear, smooth or ramp)";
        return false;
    }
    return true;
}

// The shortest text that reads back as exactly this value.
template <typename Number>
std::string ShortestText(Number value) {
    char buffer[64];
    const auto [end, ec] = float_chars::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

std::string Pad(std::string text, size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

}  // namespace

// Never destroyed: a timeline may still be compiling on another thread as the program ends.
const std::vector<std::string>& KnownTrackNames() {
    static const auto* names = new std::vector<std::string>{
        "Effect Index",  "PostProcessor Index", "Effect Time", "Camera Distance", "Camera Pitch",
        "Camera Yaw",    "Camera Roll",         "Camera X Offset", "Camera Y Offset", "Fade"};
    return *names;
}

bool ParseTimeline(const std::vector<TextLine>& lines, const std::string& fileName,
                   std::vector<TimelineTrack>& tracks, std::string& error) {
    tracks.clear();
    auto fail = [&](int line, const std::string& what) {
        error = fileName + ":" + std::to_string(line) + ": " + what;
        return false;
    };
    const std::vector<std::string>& known = KnownTrackNames();
    for (const TextLine& line : lines) {
        const std::string text = StripComment(line.text, '#');
        if (text.empty())
            continue;
        if (text.front() == '[') {
            if (text.back() != ']')
                return fail(line.number, "a section header is \"[Track Name]\"");
            const std::string name = text.substr(1, text.size() - 2);
            if (std::find(known.begin(), known.end(), name) == known.end())
                return fail(line.number, "unknown track \"" + name + "\"");
            if (std::any_of(tracks.begin(), tracks.end(), [&](const TimelineTrack& t) { return t.name == name; }))
                return fail(line.number, "track \"" + name + "\" has a second section");
            tracks.push_back({name, {}});
            continue;
        }
        if (tracks.empty())
            return fail(line.number, "key before the first [Track Name] section");
        SyncKey key;
        std::string what;
        if (!ParseKey(SplitWords(text), key, what))
            return fail(line.number, what);
        std::vector<SyncKey>& keys = tracks.back().keys;
        if (!keys.empty() && key.row <= keys.back().row)
            return fail(line.number, "rows out of order: row " + std::to_string(key.row) + " after row " +
                                         std::to_string(keys.back().row));
        keys.push_back(key);
    }
    for (const std::string& name : known)
        if (std::none_of(tracks.begin(), tracks.end(), [&](const TimelineTrack& t) { return t.name == name; })) {
            error = fileName + ": no section for track \"" + name + "\"";
            return false;
        }
    return true;
}

bool ReadTimeline(const std::string& path, const std::string& fileName, std::vector<TimelineTrack>& tracks,
                  std::string& error) {
    std::string text;
    if (!ReadWholeText(path, text)) {
        error = fileName + ": cannot be read";
        return false;
    }
    return ParseTimeline(SplitTextLines(text), fileName, tracks, error);
}

std::string PrintTimeline(const std::vector<TimelineTrack>& tracks) {
    std::string text;
    for (const TimelineTrack& track : tracks) {
        if (!text.empty())
            text += "\n";
        text += "[" + track.name + "]\n";
        for (const SyncKey& key : track.keys) {
            text += KeyLine(key) + "\n";
        }
    }
    return text;
}

std::string PositionText(int32_t row) {
    // Any row over 16 is exact in a double and in decimal, so beats always read back.
    return ShortestText(static_cast<double>(row) / kRowsPerBeat);
}

std::string ValueText(float value) { return ShortestText(value); }

std::string KindText(int32_t type) {
    return type >= 0 && type < 4 ? kKindNames[type] : std::to_string(type);
}

std::string KeyLine(const SyncKey& key) {
    return Pad(PositionText(key.row), 10) + " " + Pad(ValueText(key.value), 12) + " " + KindText(key.type);
}

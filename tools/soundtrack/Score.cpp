#include "soundtrack/Score.h"

#include "io/TextLines.h"

#include <algorithm>
#include <sstream>

namespace {

struct PatternLine {
    int line = 0;
    std::string instrument;
    std::vector<NoteEvent> notes;  // beats from the pattern's start
};

struct Pattern {
    double length = 0.0;
    std::vector<PatternLine> lines;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);)
        parts.push_back(part);
    return parts;
}

class ScoreParser {
public:
    ScoreParser(const std::string& fileName, const std::vector<std::string>& voices, Score& score, std::string& error)
        : fileName_(fileName), voices_(voices), score_(score), error_(error) {}

    bool Parse(const std::vector<TextLine>& lines) {
        for (const TextLine& line : lines) {
            line_ = line.number;
            const std::vector<std::string> words = SplitWords(StripComment(line.text, '#'));
            if (!words.empty() && !Statement(words))
                return false;
        }
        if (current_)
            return Fail("pattern without \"end\"");
        if (score_.lengthBeats <= 0.0)
            return Fail("no \"length\"");
        return true;
    }

private:
    bool Fail(const std::string& what) {
        error_ = fileName_ + ":" + std::to_string(line_) + ": " + what;
        return false;
    }

    bool Statement(const std::vector<std::string>& words) {
        const std::string& keyword = words[0];
        if (current_) {
            if (keyword == "end") {
                current_ = nullptr;
                return true;
            }
            return PatternStatement(words);
        }
        if (keyword == "tempo" && words.size() == 2)
            return ParseNumber(words[1], score_.tempo) && score_.tempo > 0 ? true : Fail("bad tempo");
        if (keyword == "length" && words.size() == 2)
            return ParseNumber(words[1], score_.lengthBeats) && score_.lengthBeats > 0 ? true : Fail("bad length");
        if (keyword == "instrument")
            return Instrument(words);
        if (keyword == "pattern" && words.size() == 3) {
            Pattern& pattern = patterns_[words[1]];
            if (!ParseNumber(words[2], pattern.length) || pattern.length <= 0)
                return Fail("bad pattern length");
            current_ = &pattern;
            return true;
        }
        if (keyword == "play")
            return Play(words);
        if (keyword == "note" && words.size() >= 3) {
            InstrumentSetup* instrument = Find(words[1]);
            if (!instrument)
                return Fail("unknown instrument \"" + words[1] + "\"");
            std::vector<NoteEvent> notes;
            if (!Notes(words, 2, notes))
                return false;
            instrument->notes.insert(instrument->notes.end(), notes.begin(), notes.end());
            return true;
        }
        if (keyword == "auto" && words.size() >= 4)
            return Automate(words);
        if (keyword == "section" && words.size() == 3) {
            double from = 0.0;
            if (!ParseNumber(words[2], from) || (!score_.sections.empty() && from <= score_.sections.back().second))
                return Fail("expected \"section NAME FROM\", after the previous section");
            score_.sections.emplace_back(words[1], from);
            return true;
        }
        return Fail("unknown statement \"" + keyword + "\"");
    }

    bool Instrument(const std::vector<std::string>& words) {
        if (words.size() < 3 || words.size() % 2 == 0)
            return Fail("expected \"instrument NAME VOICE [setting value]...\"");
        if (std::find(voices_.begin(), voices_.end(), words[2]) == voices_.end())
            return Fail("unknown voice \"" + words[2] + "\"");
        if (Find(words[1]))
            return Fail("instrument \"" + words[1] + "\" defined twice");
        InstrumentSetup setup;
        setup.name = words[1];
        setup.voice = words[2];
        for (size_t i = 3; i + 1 < words.size(); i += 2) {
            float value = 0.0f;
            if (!ParseNumber(words[i + 1], value))
                return Fail("bad value \"" + words[i + 1] + "\"");
            if (words[i] == "gain") setup.gain = value;
            else if (words[i] == "pan") setup.pan = std::clamp(value, -1.0f, 1.0f);
            else if (words[i] == "reverb") setup.reverb = value;
            else if (words[i] == "delay") setup.delay = value;
            else if (words[i] == "duck") setup.duck = std::clamp(value, 0.0f, 1.0f);
            else return Fail("unknown setting \"" + words[i] + "\"");
        }
        score_.instruments.push_back(setup);
        return true;
    }

    bool PatternStatement(const std::vector<std::string>& words) {
        if (words.size() < 3 || !Find(words[0]))
            return Fail("expected \"INSTRUMENT steps ...\" or \"INSTRUMENT notes ...\" (known instrument)");
        PatternLine line{line_, words[0], {}};
        if (words[1] == "steps") {
            std::string steps;
            for (size_t i = 2; i < words.size(); ++i)
                steps += words[i];
            steps.erase(std::remove(steps.begin(), steps.end(), '|'), steps.end());
            for (size_t i = 0; i < steps.size(); ++i) {
                const char c = steps[i];
                const float velocity = c == 'X' ? 1.0f : c == 'x' ? 0.8f : c == 'o' ? 0.5f : 0.0f;
                if (velocity == 0.0f && c != '.')
                    return Fail(std::string("bad step '") + c + "'");
                if (velocity > 0.0f)
                    line.notes.push_back({i * 0.25, 0.25, 60.0f, velocity});
            }
        } else if (words[1] == "notes") {
            if (!Notes(words, 2, line.notes))
                return false;
        } else {
            return Fail("expected \"steps\" or \"notes\"");
        }
        current_->lines.push_back(line);
        return true;
    }

    // beat:pitch[+pitch...]:length[:velocity]
    bool Notes(const std::vector<std::string>& words, size_t first, std::vector<NoteEvent>& notes) {
        for (size_t i = first; i < words.size(); ++i) {
            const std::vector<std::string> parts = Split(words[i], ':');
            NoteEvent note;
            if (parts.size() < 3 || parts.size() > 4 || !ParseNumber(parts[0], note.start) ||
                !ParseNumber(parts[2], note.length) || note.length <= 0 ||
                (parts.size() == 4 && !ParseNumber(parts[3], note.velocity)))
                return Fail("bad note \"" + words[i] + "\" (beat:pitch:length[:velocity])");
            for (const std::string& pitch : Split(parts[1], '+')) {
                if (!ParseNoteName(pitch, note.pitch))
                    return Fail("bad pitch \"" + pitch + "\"");
                notes.push_back(note);
            }
        }
        return true;
    }

    bool Play(const std::vector<std::string>& words) {
        double from = 0.0, to = 0.0;
        float transpose = 0.0f;
        if (words.size() < 4 || words.size() > 5 || !ParseNumber(words[2], from) || !ParseNumber(words[3], to) ||
            to <= from || (words.size() == 5 && !ParseNumber(words[4], transpose)))
            return Fail("expected \"play PATTERN FROM TO [TRANSPOSE]\"");
        const auto found = patterns_.find(words[1]);
        if (found == patterns_.end())
            return Fail("unknown pattern \"" + words[1] + "\"");
        const Pattern& pattern = found->second;
        for (double start = from; start < to; start += pattern.length)
            for (const PatternLine& line : pattern.lines) {
                InstrumentSetup* instrument = Find(line.instrument);
                for (NoteEvent note : line.notes) {
                    note.start += start;
                    if (note.start >= to)
                        continue;
                    note.pitch += transpose;
                    instrument->notes.push_back(note);
                }
            }
        return true;
    }

    bool Automate(const std::vector<std::string>& words) {
        Automation* automation = nullptr;
        if (words[1] == "master" && words[2] == "gain") {
            automation = &score_.masterGain;
        } else if (InstrumentSetup* instrument = Find(words[1])) {
            if (words[2] == "gain") automation = &instrument->gainAutomation;
            else if (words[2] == "cutoff") automation = &instrument->cutoffAutomation;
        }
        if (!automation)
            return Fail("expected \"auto INSTRUMENT gain|cutoff beat:value...\"");
        for (size_t i = 3; i < words.size(); ++i) {
            const std::vector<std::string> parts = Split(words[i], ':');
            std::pair<double, float> point;
            if (parts.size() != 2 || !ParseNumber(parts[0], point.first) || !ParseNumber(parts[1], point.second))
                return Fail("bad automation point \"" + words[i] + "\" (beat:value)");
            if (!automation->points.empty() && point.first <= automation->points.back().first)
                return Fail("automation points out of order");
            automation->points.push_back(point);
        }
        return true;
    }

    InstrumentSetup* Find(const std::string& name) {
        for (InstrumentSetup& instrument : score_.instruments)
            if (instrument.name == name)
                return &instrument;
        return nullptr;
    }

    std::string fileName_;
    const std::vector<std::string>& voices_;
    Score& score_;
    std::string& error_;
    std::map<std::string, Pattern> patterns_;
    Pattern* current_ = nullptr;
    int line_ = 0;
};

}  // namespace

float Automation::At(double beat, float fallback) const {
    if (points.empty())
        return fallback;
    if (beat <= points.front().first)
        return points.front().second;
    if (beat >= points.back().first)
        return points.back().second;
    const auto next = std::upper_bound(points.begin(), points.end(), beat,
                                       [](double b, const std::pair<double, float>& p) { return b < p.first; });
    const auto previous = next - 1;
    const double t = (beat - previous->first) / (next->first - previous->first);
    return static_cast<float>(previous->second + (next->second - previous->second) * t);
}

bool ParseNoteName(const std::string& text, float& midi) {
    static const int kSemitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (text.size() < 2 || text[0] < 'A' || text[0] > 'G')
        return false;
    int semitone = kSemitones[text[0] - 'A'];
    size_t i = 1;
    if (text[i] == '#') ++semitone, ++i;
    else if (text[i] == 'b') --semitone, ++i;
    int octave = 0;
    if (i >= text.size() || !ParseNumber(text.substr(i), octave) || octave < 0 || octave > 9)
        return false;
    midi = static_cast<float>((octave + 1) * 12 + semitone);
    return true;
}

bool ParseScore(const std::vector<TextLine>& lines, const std::string& fileName, const std::vector<std::string>& voices,
                Score& score, std::string& error) {
    score = Score{};
    return ScoreParser(fileName, voices, score, error).Parse(lines);
}

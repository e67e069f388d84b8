#pragma once
// The soundtrack's score: a text of instruments, patterns, arrangement and automation that
// the synthesiser plays. Times are in beats.
//
//   tempo 126                       beats per minute
//   length 432                      beats
//   instrument NAME VOICE [gain G] [pan P] [reverb R] [delay D] [duck K]
//   pattern NAME BEATS              a block that `play` repeats
//     INSTRUMENT steps x.x.X.o.     one character a sixteenth: X accent, x hit, o soft, . rest
//     INSTRUMENT notes 0:A3+C4:2:0.8 1.5:E4:0.5    beat:pitches:length[:velocity]
//   end
//   play PATTERN FROM TO [TRANSPOSE]  back to back from FROM, cut at TO
//   note INSTRUMENT beat:pitches:length[:velocity] ...   notes at absolute beats
//   auto INSTRUMENT PARAM beat:value ...   gain or cutoff, linear between points; "master" too
//   section NAME FROM               a named part of the piece, for the synthesiser's report

#include <map>
#include <string>
#include <vector>

struct TextLine;

struct NoteEvent {
    double start = 0.0;   // beats
    double length = 0.0;  // beats
    float pitch = 0.0f;   // MIDI note number
    float velocity = 1.0f;
};

// A value that moves linearly between points in time; before the first point and after the
// last it holds; with no points it is `fallback`.
struct Automation {
    std::vector<std::pair<double, float>> points;  // beats, value; ascending
    float At(double beat, float fallback) const;
};

struct InstrumentSetup {
    std::string name;
    std::string voice;
    float gain = 1.0f;
    float pan = 0.0f;  // -1 left .. 1 right
    float reverb = 0.0f;
    float delay = 0.0f;
    float duck = 0.0f;  // how far the kick pushes it down, 0..1
    std::vector<NoteEvent> notes;
    Automation gainAutomation;
    Automation cutoffAutomation;
};

struct Score {
    double tempo = 120.0;
    double lengthBeats = 0.0;
    std::vector<InstrumentSetup> instruments;
    Automation masterGain;
    std::vector<std::pair<std::string, double>> sections;  // name, first beat; ascending
};

// On failure `error` reads "<file>:<line>: <what is wrong>".
bool ParseScore(const std::vector<TextLine>& lines, const std::string& fileName, const std::vector<std::string>& voices,
                Score& score, std::string& error);
// "A4" = 69, "C#3", "Bb2"; false when it is not a note name.
bool ParseNoteName(const std::string& text, float& midi);

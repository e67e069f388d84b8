#pragma once
// The command line of quarn-capture: stills (--at, --out), a contact sheet (--sheet) or a video
// (--video).

#include "FrameSettings.h"
#include "VideoPreset.h"

#include <filesystem>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct CaptureOptions {
    // Stills.
    std::vector<double> beats;  // ascending, each once, in hundredths of a beat
    std::filesystem::path outDirectory;
    // Contact sheet: one thumbnail every `everyBeats`; the other captures leave sheetFile empty.
    std::filesystem::path sheetFile;
    double everyBeats = 0.0;
    // Video; the other captures leave videoFile empty.
    std::filesystem::path videoFile;
    const VideoPreset* preset = &StandardPreset();
    int framesPerSecond = 60;
    // Segments drawn by this many processes at once, joined at the end; 0: one file, drawn here.
    int jobs = 0;
    // For a segment's process: its frames, counted from the start of the soundtrack.
    std::optional<std::pair<int64_t, int64_t>> segment;  // first, one past the last
    // For a segment's process: the capture that started it, which it ends with, and the file
    // descriptor that takes its progress reports (-1: none).
    int parentProcess = 0;
    int progressFd = -1;
    // As given, with the paths made absolute: the segments' processes start in the run directory.
    std::vector<std::string> arguments;
    // A scheduler's share of a segmented video (--jobs tells how finely it is cut): submitted to
    // Slurm from here, one planned segment drawn (its index given or the scheduler's), the
    // segments joined, or only planned. None of them is among `arguments`, which the scheduler's
    // jobs are given.
    bool slurm = false;
    bool waitForJoin = false;
    std::string sbatchOptions;  // as given, split when they are used
    bool segmentTask = false;
    std::optional<int64_t> segmentIndex;  // none: the scheduler's task index
    bool join = false;
    bool planOnly = false;  // the plan made, for another scheduler's tasks
    // Sheet and video: the stretch of the soundtrack, by default all of it.
    std::optional<double> fromBeat;
    std::optional<double> toBeat;
    // All: the frames' size (stills and video) and the renders that make each.
    FrameSettings frame;
    std::filesystem::path runDirectory;  // where the player's data lies; the tool's own directory
    float anisotropyCap = 0.0f;          // 0: the driver's maximum, as in the player
    // Off screen through EGL, even with a display; `gpu` is an EGL device, -1 for Mesa's own.
    bool headless = false;
    int gpu = -1;
    std::vector<int> gpus;  // all those given; --jobs gives each process of a segment one in turn
    bool gpuFromScheduler = false;  // --gpu without devices: the one a scheduler gives each task
    bool help = false;
    bool listPresets = false;
    bool version = false;
};

// Null with `error` set when the arguments make no sense.
std::optional<CaptureOptions> ParseCaptureOptions(int argc, const char* const* argv, std::string& error);
const char* CaptureUsage();
// What --list-presets prints.
std::string PresetList();
// Where the engine logs while it draws for these options: beside the video (FILE.log), a sheet
// (SHEET.png.log) or in the stills' folder (DIR/capture.log); a segment's beside its video in the
// parts folder (FILE.engine.log, next to FILE.log, which holds the segment's own output).
std::filesystem::path EngineLogFile(const CaptureOptions& options);
// "beat-0100.00.png": the beat to the hundredth, the precision at which stills are taken.
std::string StillFileName(double beat);

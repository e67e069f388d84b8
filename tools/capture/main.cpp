// quarn-capture: PNG stills of the demo at chosen soundtrack positions, a contact sheet of them,
// or a video of it.
#include "CaptureOptions.h"
#include "Interrupts.h"
#include "SegmentedCapture.h"
#include "StillCapture.h"
#include "VideoCapture.h"
#include "Version.h"

#include <cstdio>

namespace {

bool CaptureStills(const CaptureOptions& options, std::string& error) {
    StillCapture capture(options.frame);
    const bool captured = capture.Start(options.runDirectory, options.anisotropyCap, error) &&
                          (options.sheetFile.empty() ? capture.CaptureStills(options.beats, options.outDirectory, error)
                                                     : capture.CaptureSheet(options, error));
    capture.Stop();
    return captured;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<CaptureOptions> options = ParseCaptureOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "quarn-capture: %s\n\n%s", error.c_str(), CaptureUsage());
        return 2;
    }
    if (options->help) {
        std::fputs(CaptureUsage(), stdout);
        return 0;
    }
    if (options->listPresets) {
        std::fputs(PresetList().c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::puts(QUARN_VERSION_LINE);
        return 0;
    }
    const bool captured = ChooseDrawing(*options, error) && (options->videoFile.empty() ? CaptureStills(*options, error)
                                                             : options->jobs > 0 && !options->segment
                                                                 ? SegmentedCapture(*options).Run(error)
                                                                 : VideoCapture(*options).Run(error));
    if (!captured) {
        std::fprintf(stderr, "quarn-capture: %s\n", error.c_str());
        // As a shell reports a program ended by Ctrl-C.
        return Interrupted() ? 130 : 1;
    }
    return 0;
}

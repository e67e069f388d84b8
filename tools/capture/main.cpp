// quarn-capture: PNG stills of the demo at chosen soundtrack positions.
#include "CaptureOptions.h"
#include "StillCapture.h"

#include <cstdio>

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
    StillCapture capture;
    const bool captured = capture.Start(options->runDirectory, error) &&
                          capture.CaptureStills(options->beats, options->outDirectory, error);
    capture.Stop();
    if (!captured) {
        std::fprintf(stderr, "quarn-capture: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

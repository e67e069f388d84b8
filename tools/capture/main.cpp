// quarn-capture: PNG stills of the demo at chosen soundtrack positions, a contact sheet of them,
// or a video of it.
#include "CaptureOptions.h"
#include "ClusterTask.h"
#include "Interrupts.h"
#include "SegmentedCapture.h"
#include "SlurmSubmission.h"
#include "StillCapture.h"
#include "VideoCapture.h"
#include "Version.h"

#include <cstdio>

namespace {

bool CaptureStills(const CaptureOptions& options, std::string& error) {
    StillCapture capture(options.frame);
    const bool captured = capture.Start(options, error) &&
                          (options.sheetFile.empty() ? capture.CaptureStills(options.beats, options.outDirectory, error)
                                                     : capture.CaptureSheet(options, error));
    capture.Stop();
    return captured;
}

bool CaptureVideo(const CaptureOptions& options, std::string& error) {
    if (options.slurm) return SlurmSubmission(options).Run(error);
    if (options.planOnly) return ClusterTask(options).Plan(error);
    if (options.segmentTask) return ClusterTask(options).DrawSegment(error);
    if (options.join) return ClusterTask(options).Join(error);
    if (options.jobs > 0 && !options.segment) return SegmentedCapture(options).Run(error);
    return VideoCapture(options).Run(error);
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing asked: the usage alone, which lists every option, rather than the first one missing.
    if (argc <= 1) {
        std::fputs(CaptureUsage(), stderr);
        return 2;
    }
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
    // A segment's process was started on a device its run checked; a join draws nothing.
    const bool checkGpus = options->parentProcess == 0 && !options->join && !options->planOnly;
    const bool captured = (!checkGpus || CheckGpus(*options, error)) && ChooseDrawing(*options, error) &&
                          (options->videoFile.empty() ? CaptureStills(*options, error) : CaptureVideo(*options, error));
    if (!captured) {
        std::fprintf(stderr, "quarn-capture: %s\n", error.c_str());
        return Interrupted() ? 128 + InterruptSignal() : 1;
    }
    return 0;
}

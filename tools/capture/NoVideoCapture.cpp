// The Windows capture tool makes stills and contact sheets; a video needs the Linux build.
#include "Interrupts.h"
#include "SegmentedCapture.h"
#include "VideoCapture.h"

bool ChooseDrawing(const CaptureOptions& options, std::string& error) {
    if (!options.headless && options.gpu < 0) return true;
    error = "off-screen drawing is made by the Linux build of quarn-capture";
    return false;
}

bool VideoCapture::Run(std::string& error) {
    error = "video capture is made by the Linux build of quarn-capture";
    return false;
}

SegmentedCapture::SegmentedCapture(const CaptureOptions& options) : options(options), parts() {}

bool SegmentedCapture::Run(std::string& error) {
    error = "video capture is made by the Linux build of quarn-capture";
    return false;
}

// Without a video to stop between frames, Ctrl-C ends the Windows tool as it ends any program.
bool Interrupted() {
    return false;
}

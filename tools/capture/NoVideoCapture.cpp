// The Windows capture tool makes stills and contact sheets; a video needs the Linux build.
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

// The Windows capture tool makes stills and contact sheets; a video needs the Linux build.
#include "ClusterTask.h"
#include "Interrupts.h"
#include "OwnerClaim.h"
#include "SegmentedCapture.h"
#include "SlurmSubmission.h"
#include "VideoCapture.h"

namespace {

constexpr const char* kLinuxOnly = "video capture is made by the Linux build of quarn-capture";

}  // namespace

bool ChooseDrawing(const CaptureOptions& options, std::string& error) {
    if (!options.headless && options.gpu < 0) return true;
    error = "off-screen drawing is made by the Linux build of quarn-capture";
    return false;
}

// There are no EGL devices to check here: ChooseDrawing refuses --gpu with its own words.
bool CheckGpus(const CaptureOptions& /*options*/, std::string& /*error*/) {
    return true;
}

bool VideoCapture::Run(std::string& error) {
    error = kLinuxOnly;
    return false;
}

// No capture here works in a parts folder, so nothing is ever claimed to be given back.
void OwnerClaim::Release() {}

SegmentedCapture::SegmentedCapture(const CaptureOptions& options) : options(options), parts() {}

bool SegmentedCapture::Run(std::string& error) {
    error = kLinuxOnly;
    return false;
}

// A cluster's nodes draw with the Linux build too.
ClusterTask::ClusterTask(const CaptureOptions& options) : options(options), parts() {}

bool ClusterTask::Plan(std::string& error) {
    error = kLinuxOnly;
    return false;
}

bool ClusterTask::DrawSegment(std::string& error) { return Plan(error); }

bool ClusterTask::Join(std::string& error) { return Plan(error); }

SlurmSubmission::SlurmSubmission(const CaptureOptions& options) : options(options), parts(), script(), record() {}

bool SlurmSubmission::Run(std::string& error) {
    error = kLinuxOnly;
    return false;
}

// Without a video to stop between frames, Ctrl-C ends the Windows tool as it ends any program.
bool Interrupted() {
    return false;
}

int InterruptSignal() {
    return 0;
}

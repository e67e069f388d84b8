// The Windows capture tool makes stills and contact sheets; a video needs the Linux build.
#include "VideoCapture.h"

bool VideoCapture::Run(std::string& error) {
    error = "video capture is made by the Linux build of quarn-capture";
    return false;
}

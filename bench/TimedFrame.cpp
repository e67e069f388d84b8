#include "TimedFrame.h"

#include "Measurement.h"

#include <GL/glew.h>

bool DrawTimedFrame(CaptureSession& session, int64_t frame, FrameTiming& timing, std::string& error) {
    if (!session.MoveTo(session.FrameSeconds(frame), error)) return false;
    glFinish();
    const double wall = WallMilliseconds();
    const double cpu = ThreadCpuMilliseconds();
    session.DrawFrame();
    glFinish();
    timing.cpuMs = ThreadCpuMilliseconds() - cpu;
    timing.wallMs = WallMilliseconds() - wall;
    return true;
}

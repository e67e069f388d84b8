#pragma once
// What a video capture leaves beside its output FILE: the frame list FILE.frames, and while it is
// drawn in segments, the folder FILE.parts/. Both keep the output's whole name, so that clip.mp4
// and clip.mkv never share them.

#include "CaptureOptions.h"
#include "FrameList.h"
#include "PartFile.h"

#include <filesystem>
#include <string>

std::filesystem::path PartsFolder(const std::filesystem::path& video);

// Before the engine starts: the video, its frame list and its parts folder can be written, and
// what already lies under their names is a capture's own. False, saying what is in the way.
bool CheckOutput(const CaptureOptions& options, std::string& error);

// The finished video under `file`, then its frame list beside it: a list never stands beside
// another video than its own, and when the list cannot follow, the video goes again.
bool PublishVideo(PartFile& video, const FrameList& frames, const std::filesystem::path& file, std::string& error);

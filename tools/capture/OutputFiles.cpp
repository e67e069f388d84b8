#include "OutputFiles.h"

#include "CapturePlan.h"
#include "CaptureSession.h"
#include "io/TemporaryFile.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

bool Fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

// A frame list starts with a line "000123  456.7890 0123456789abcdef".
bool IsFrameList(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char line[64] = {};
    in.read(line, sizeof line - 1);
    long long frame = 0;
    double beat = 0.0;
    char hash[17] = {};
    int consumed = 0;
    return std::sscanf(line, "%lld %lf %16[0-9a-f]%n", &frame, &beat, hash, &consumed) == 3 &&
           std::strlen(hash) == 16 && line[consumed] == '\n';
}

// Empty, or holding the lock or the plan that only a capture makes there.
bool IsPartsFolder(const fs::path& folder) {
    std::error_code failure;
    return fs::is_empty(folder, failure) || fs::exists(folder / "lock", failure) ||
           fs::exists(folder / CapturePlan::kFileName, failure);
}

bool CheckWritableFolder(const fs::path& folder, std::string& error) {
    if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
    return Fail(error, "cannot write into " + Quoted(folder) + ": " + std::strerror(errno));
}

bool CheckVideoFile(const fs::path& video, std::string& error) {
    std::error_code failure;
    const fs::file_status status = fs::status(video, failure);
    if (status.type() == fs::file_type::directory) return Fail(error, Quoted(video) + " is a folder, not a video file");
    if (fs::exists(status) && status.type() != fs::file_type::regular)
        return Fail(error, Quoted(video) + " is not a regular file; the video would replace it");
    return true;
}

bool CheckFrameList(const fs::path& list, std::string& error) {
    std::error_code failure;
    if (!fs::exists(fs::symlink_status(list, failure))) return true;
    if (fs::is_regular_file(list, failure) && IsFrameList(list)) return true;
    return Fail(error, Quoted(list) + " is there and is not a frame list of quarn-capture; move it away first");
}

bool CheckPartsFolder(const fs::path& parts, std::string& error) {
    std::error_code failure;
    if (!fs::exists(fs::symlink_status(parts, failure))) return true;
    if (fs::is_directory(fs::symlink_status(parts, failure)) && IsPartsFolder(parts)) return true;
    return Fail(error, Quoted(parts) + " is there and is not a parts folder of quarn-capture; move it away first");
}

}  // namespace

fs::path PartsFolder(const fs::path& video) {
    fs::path parts = video;
    return parts += ".parts";
}

bool PublishVideo(PartFile& video, const FrameList& frames, const fs::path& file, std::string& error) {
    const fs::path listFile = FrameListFile(file);
    TemporaryFile list;
    if (!list.Create(listFile.string(), error) || !list.Write(frames.Text(), error) || !list.Finish(error))
        return false;
    std::error_code failure;
    fs::remove(listFile, failure);
    if (!video.Keep(file, error)) return false;
    if (list.CommitAs(listFile.string(), error)) return true;
    fs::remove(file, failure);
    return false;
}

bool CheckOutput(const CaptureOptions& options, std::string& error) {
    const fs::path& video = options.videoFile;
    return CheckWritableFolder(video.parent_path(), error) && CheckVideoFile(video, error) &&
           CheckFrameList(FrameListFile(video), error) &&
           (options.jobs == 0 || options.segment || CheckPartsFolder(PartsFolder(video), error));
}

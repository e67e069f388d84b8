#include "PartFile.h"

#include "CaptureSession.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace {

constexpr std::string_view kClaimSuffix = ".claim";

// ".name.pid.part", appended in place: GCC 12 at -O3 takes the inlined copies of "." + name
// for overlapping ones.
std::string PartFileName(const std::filesystem::path& file, pid_t process) {
    std::string name(1, '.');
    name.append(file.filename().native()).append(1, '.').append(std::to_string(process)).append(".part");
    return name;
}

// ".name." then digits then ".part".
bool IsPartOf(std::string_view candidate, std::string_view name) {
    const std::string_view suffix = ".part";
    if (candidate.size() <= name.size() + 2 + suffix.size() || candidate[0] != '.' ||
        candidate.substr(1, name.size()) != name || candidate[name.size() + 1] != '.' || !candidate.ends_with(suffix))
        return false;
    const std::string_view pid = candidate.substr(name.size() + 2, candidate.size() - name.size() - 2 - suffix.size());
    return pid.find_first_not_of("0123456789") == std::string_view::npos;
}

// Nothing has written `file` for a minute.
bool Idle(const std::filesystem::path& file) {
    std::error_code failure;
    const auto written = std::filesystem::last_write_time(file, failure);
    return !failure && std::filesystem::file_time_type::clock::now() - written > std::chrono::minutes(1);
}

std::filesystem::path ClaimOf(const std::filesystem::path& part) {
    std::filesystem::path claim = part;
    return claim += kClaimSuffix;
}

// A part whose owner is provably gone: its run was killed. One without a claim was left by an
// earlier version of this tool, and goes once nothing has written it for a minute.
void RemoveStaleParts(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    std::error_code failure;
    for (std::filesystem::directory_iterator it(file.parent_path(), failure), end; !failure && it != end;
         it.increment(failure)) {
        std::string entry = it->path().filename().string();
        const bool isClaim = entry.ends_with(kClaimSuffix);
        if (isClaim) entry.resize(entry.size() - kClaimSuffix.size());
        if (!IsPartOf(entry, name)) continue;
        const std::filesystem::path part = it->path().parent_path() / entry;
        std::error_code unknown;
        if (isClaim) {
            OwnerClaim::RemoveIfGone(it->path(), part);
        } else if (!std::filesystem::exists(ClaimOf(part), unknown) && !unknown && Idle(part)) {
            unlink(part.c_str());
        }
    }
}

}  // namespace

std::filesystem::path PartFile::For(const std::filesystem::path& file, pid_t process) {
    return file.parent_path() / PartFileName(file, process);
}

PartFile::PartFile(const std::filesystem::path& file) : path(For(file, getpid())), target(file) {}

PartFile::~PartFile() {
    if (fd < 0) return;
    unlink(path.c_str());
    close(fd);
}

bool PartFile::Create(std::string& error) {
    RemoveStaleParts(target);
    if (!claim.Take(ClaimOf(path), error)) return false;
    // Under the claim a file of that name can only be a gone owner's, which was given this id.
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) return true;
    claim.Release();
    error = "cannot write into " + Quoted(path.parent_path()) + ": " + std::strerror(errno);
    return false;
}

bool PartFile::Write(const std::string& bytes, std::string& error) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) break;
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (left == 0 && fsync(fd) == 0) return true;
    error = "cannot write " + Quoted(path) + ": " + std::strerror(errno);
    return false;
}

bool PartFile::Keep(const std::filesystem::path& file, std::string& error) {
    std::error_code failure;
    std::filesystem::rename(path, file, failure);
    if (failure) {
        error = "cannot rename " + Quoted(path) + " to " + Quoted(file) + ": " + failure.message();
        return false;
    }
    close(fd);
    fd = -1;
    claim.Release();
    return true;
}

#include "DataFingerprint.h"

#include "ContentHash.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The folders the engine reads its data from; everything else in a run directory (the log, the
// programs, a video being captured into it) leaves the frames alone.
constexpr std::array<const char*, 6> kDataFolders = {"Audio", "Greetings", "Models", "Shaders", "Textures", "sync"};
// Far beyond the demo's few hundred files and its folders two deep.
constexpr int64_t kMostFiles = 100000;
constexpr int kDeepest = 16;

class Walk {
public:
    Walk(DataFingerprint& fingerprint, std::string& error) : fingerprint(fingerprint), error(error) {}

    bool Folder(const fs::path& folder, const std::string& name, int depth) {
        if (depth > kDeepest) return Fail("the run directory's " + name + " lies more than 16 folders deep");
        std::error_code failure;
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure)) {
            entries.push_back(*it);
            if (static_cast<int64_t>(entries.size()) + fingerprint.files > kMostFiles)
                return Fail("the run directory's data holds more than 100000 files");
        }
        if (failure) return Fail("cannot read " + folder.string() + ": " + failure.message());
        std::sort(entries.begin(), entries.end());
        for (const fs::directory_entry& entry : entries)
            if (!Entry(entry, name + "/" + entry.path().filename().string(), depth)) return false;
        return true;
    }

private:
    bool Entry(const fs::directory_entry& entry, const std::string& name, int depth) {
        std::error_code failure;
        // A link to a folder could lead back up; a link to a file counts as the file.
        if (entry.is_directory(failure) && !entry.is_symlink(failure)) return Folder(entry.path(), name, depth + 1);
        if (!entry.is_regular_file(failure)) {
            ++fingerprint.skipped;
            return true;
        }
        return File(entry.path(), name);
    }

    bool File(const fs::path& file, const std::string& name) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return Fail("cannot read " + file.string());
        hasher.Add(name);
        int64_t size = 0;
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<size_t>(in.gcount());
            hasher.Add(buffer.data(), got);
            size += static_cast<int64_t>(got);
        }
        if (in.bad()) return Fail("cannot read " + file.string());
        hasher.Add(std::to_string(size));
        ++fingerprint.files;
        fingerprint.bytes += size;
        fingerprint.hash = hasher.Value();
        return true;
    }

    bool Fail(std::string message) {
        error = std::move(message);
        return false;
    }

    DataFingerprint& fingerprint;
    std::string& error;
    ContentHash hasher;
    std::vector<char> buffer = std::vector<char>(1 << 16);
};

}  // namespace

bool FingerprintRunData(const fs::path& runDirectory, DataFingerprint& fingerprint, std::string& error) {
    fingerprint = {};
    Walk walk(fingerprint, error);
    for (const char* folder : kDataFolders) {
        std::error_code failure;
        // A missing folder is part of what the data is; the engine says what it misses.
        if (!fs::is_directory(runDirectory / folder, failure)) continue;
        if (!walk.Folder(runDirectory / folder, folder, 0)) return false;
    }
    return true;
}

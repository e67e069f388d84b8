// quarn_tracktool compile TIMELINE OUTDIR   writes OUTDIR/_<name>.track for every section
// quarn_tracktool print PATH...             prints track files (or the ten tracks of a
//                                           directory) as timeline text

#include "formats/Timeline.h"
#include "formats/TrackFile.h"
#include "tracktool/TrackWriter.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string TrackFileName(const std::string& name) { return "_" + name + ".track"; }

int Compile(const std::string& timelinePath, const fs::path& outDir) {
    std::vector<TimelineTrack> tracks;
    std::string error;
    if (!ReadTimeline(timelinePath, fs::path(timelinePath).filename().string(), tracks, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::error_code ignored;
    fs::create_directories(outDir, ignored);
    for (const TimelineTrack& track : tracks)
        if (!WriteTrackFile((outDir / TrackFileName(track.name)).string(), track.keys))
            return 1;
    return 0;
}

// The track name is the file name between the leading '_' and ".track".
bool ReadTrack(const fs::path& path, TimelineTrack& track) {
    const std::string file = path.filename().string();
    if (file.size() < 8 || file.front() != '_' || path.extension() != ".track") {
        std::fprintf(stderr, "%s: not named _<track name>.track\n", path.string().c_str());
        return false;
    }
    track.name = file.substr(1, file.size() - 7);
    SyncTrack loaded;
    if (!LoadTrackFile(path.string().c_str(), loaded)) {
        std::fprintf(stderr, "%s: missing or damaged\n", path.string().c_str());
        return false;
    }
    track.keys = loaded.keys;
    return true;
}

int Print(int count, char** paths) {
    std::vector<TimelineTrack> tracks;
    for (int i = 0; i < count; ++i) {
        std::vector<fs::path> files;
        if (fs::is_directory(paths[i]))
            for (const std::string& name : KnownTrackNames())
                files.push_back(fs::path(paths[i]) / TrackFileName(name));
        else
            files.push_back(paths[i]);
        for (const fs::path& file : files)
            if (!ReadTrack(file, tracks.emplace_back()))
                return 1;
    }
    std::fputs(PrintTimeline(tracks).c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "compile" && argc == 4)
        return Compile(argv[2], argv[3]);
    if (command == "print" && argc >= 3)
        return Print(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: %s compile TIMELINE OUTDIR | print PATH...\n", argv[0]);
    return 2;
}

#pragma once
// A temporary run directory for the player: the player finds all its data by relative paths,
// so each end-to-end test starts it inside one of these. Removed with everything in it.

#include "support/ProcessRunner.h"

#include <string>
#include <vector>

class EngineRunDirectory {
public:
    EngineRunDirectory();
    ~EngineRunDirectory();
    EngineRunDirectory(const EngineRunDirectory&) = delete;
    EngineRunDirectory& operator=(const EngineRunDirectory&) = delete;

    bool Valid() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& relative) const { return path_ + "/" + relative; }

    // "./Audio/tovik.ogg": a quiet chirp of the given length.
    bool AddSoundtrack(double seconds) const;
    // The built run directory's shaders, meshes, images and tracks, linked in (the soundtrack
    // is left to AddSoundtrack, so a test decides how long the run lasts).
    bool AddDemoData() const;
    // The same data copied rather than linked, so that a test may damage any file of it.
    bool CopyDemoData() const;

    // Starts the player in this directory with the null audio output and waits for it.
    ProcessResult RunPlayer(const std::string& executable, bool dropPrivileges = false) const;
    // The same on a display of its own with the given screen size (xvfb-run, "1024x768x24").
    ProcessResult RunPlayerOnScreen(const std::string& executable, const std::string& screen,
                                    const std::vector<std::string>& arguments = {}) const;

private:
    bool PlaceDemoData(bool copy) const;

    std::string path_;
};

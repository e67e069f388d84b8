#include "support/EngineRunDirectory.h"

#include "support/OggWriter.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

EngineRunDirectory::EngineRunDirectory() {
    std::string pattern = (fs::temp_directory_path() / "quarn-run-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

EngineRunDirectory::~EngineRunDirectory() {
    if (path_.empty()) return;
    std::error_code error;
    // A test may have made it read-only; it must still go.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
}

bool EngineRunDirectory::AddSoundtrack(double seconds) const {
    std::error_code error;
    fs::create_directories(File("Audio"), error);
    return !error && WriteTestOgg(File("Audio/tovik.ogg"), seconds);
}

bool EngineRunDirectory::PlaceDemoData(bool copy) const {
    static constexpr const char* kDataFolders[] = {"Shaders", "Models", "Textures", "Greetings", "sync"};
    std::error_code error;
    for (const char* folder : kDataFolders) {
        const fs::path source = fs::path(QUARN_RUN_DIR) / folder;
        // A build without generated content still has its shaders; the rest falls back.
        if (!fs::exists(source)) continue;
        if (copy)
            fs::copy(source, File(folder), fs::copy_options::recursive, error);
        else
            fs::create_directory_symlink(source, File(folder), error);
        if (error) return false;
    }
    return true;
}

bool EngineRunDirectory::AddDemoData() const { return PlaceDemoData(false); }

bool EngineRunDirectory::CopyDemoData() const { return PlaceDemoData(true); }

namespace {

ProcessOptions PlayerOptions(const std::string& directory) {
    ProcessOptions options;
    options.workingDirectory = directory;
    options.environment = {{"ALSOFT_DRIVERS", "null"}};
    return options;
}

}  // namespace

ProcessResult EngineRunDirectory::RunPlayer(const std::string& executable, bool dropPrivileges) const {
    ProcessOptions options = PlayerOptions(path_);
    options.executable = executable;
    options.dropPrivileges = dropPrivileges;
    return RunProcess(options);
}

ProcessResult EngineRunDirectory::RunPlayerOnScreen(const std::string& executable, const std::string& screen,
                                                     const std::vector<std::string>& arguments) const {
    ProcessOptions options = PlayerOptions(path_);
    options.executable = "/usr/bin/xvfb-run";
    options.arguments = {"-a", "-s", "-screen 0 " + screen + " +extension GLX +extension RANDR", executable};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment.emplace_back("LIBGL_ALWAYS_SOFTWARE", "1");
    return RunProcess(options);
}

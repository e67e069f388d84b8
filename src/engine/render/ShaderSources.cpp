#include "render/ShaderSources.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::string_view kRunDirectoryShaders = "./Shaders/";

struct SourceState {
    std::string directory;
    std::vector<ShaderFiles> built;
};

SourceState& State() {
    static SourceState state;
    return state;
}

}  // namespace

void SetShaderSourceDirectory(const std::string& directory) {
    State().directory = directory;
    State().built.clear();
}

std::string ShaderSourcePath(const char* path) {
    const std::string_view given = path;
    if (State().directory.empty() || !given.starts_with(kRunDirectoryShaders))
        return std::string(given);
    return State().directory + std::string(given.substr(kRunDirectoryShaders.size()));
}

void RecordShaderFiles(const ShaderFiles& files) {
    std::vector<ShaderFiles>& built = State().built;
    if (!State().directory.empty() && std::find(built.begin(), built.end(), files) == built.end())
        built.push_back(files);
}

const std::vector<ShaderFiles>& BuiltShaderFiles() { return State().built; }

#pragma once
// Where shader programs read their files. The player reads the run directory's copies under
// "./Shaders/"; author mode reads the source tree's instead, and keeps the list of the files each
// program was built from, so that an edited file can rebuild the programs that use it.

#include <string>
#include <vector>

struct ShaderFiles {
    std::string vertex;
    std::string fragment;
    std::string geometry;  // empty when the program has no geometry stage

    bool Uses(const std::string& path) const { return path == vertex || path == fragment || path == geometry; }
    bool operator==(const ShaderFiles&) const = default;
};

// A directory ending in '/' that takes the place of "./Shaders/"; empty (the default) reads every
// path as it is given and keeps no list.
void SetShaderSourceDirectory(const std::string& directory);
// `path` with a leading "./Shaders/" replaced by the source directory, when one is set.
std::string ShaderSourcePath(const char* path);
// Called by every build with the files it reads; kept once each while a source directory is set.
void RecordShaderFiles(const ShaderFiles& files);
const std::vector<ShaderFiles>& BuiltShaderFiles();

#pragma once
// The program's UTF-8 paths as std::filesystem's and back, on every system, and the file a path
// finally names.

#include <filesystem>
#include <string>

std::filesystem::path Utf8Path(const std::string& text);
std::string Utf8Text(const std::filesystem::path& path);

// The file `path` names once its links are followed, even when the file a link leads to does
// not exist (yet): a save then makes it there, and leaves the link a link.
std::filesystem::path FileNamed(const std::string& path);

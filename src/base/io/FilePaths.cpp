#include "io/FilePaths.h"

#include <system_error>

namespace fs = std::filesystem;

fs::path Utf8Path(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string Utf8Text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FileNamed(const std::string& path) {
    fs::path file = Utf8Path(path);
    std::error_code failure;
    if (fs::is_symlink(fs::symlink_status(file, failure))) {
        const fs::path link = fs::read_symlink(file, failure);
        if (!failure) file = link.is_absolute() ? link : file.parent_path() / link;
    }
    const fs::path resolved = fs::weakly_canonical(file, failure);
    return failure ? file : resolved;
}

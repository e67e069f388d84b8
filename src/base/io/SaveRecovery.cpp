#include "io/SaveRecovery.h"

#include "io/FileCalls.h"
#include "io/SaveNames.h"
#include "io/FilePaths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The copies of dead saves of `file`; their half-written temporaries go on the way.
std::vector<fs::path> CopiesOfDeadSaves(const fs::path& file) {
    const std::string name = Utf8Text(file.filename());
    std::vector<fs::path> copies;
    std::error_code failure;
    for (fs::directory_iterator it(file.parent_path(), failure), end; !failure && it != end; it.increment(failure)) {
        SavingNameParts parts;
        std::error_code statFailure;
        if (!ParseSavingName(Utf8Text(it->path().filename()), name, parts) ||
            !fs::is_regular_file(it->symlink_status(statFailure)) || ProcessRunning(parts.process))
            continue;
        if (parts.copy)
            copies.push_back(it->path());
        else
            RemoveFile(Utf8Text(it->path()));
    }
    return copies;
}

fs::file_time_type Written(const fs::path& file) {
    std::error_code failure;
    return fs::last_write_time(file, failure);
}

}  // namespace

std::vector<std::string> RecoverSaves(const std::string& path) {
    const fs::path file = FileNamed(path);
    std::vector<fs::path> copies = CopiesOfDeadSaves(file);
    std::vector<std::string> messages;
    std::error_code failure;
    if (!copies.empty() && !fs::exists(fs::symlink_status(file, failure))) {
        const auto newest = std::max_element(copies.begin(), copies.end(), [](const fs::path& a, const fs::path& b) {
            return Written(a) < Written(b);
        });
        std::string reason;
        if (RenameToNewName(Utf8Text(*newest), Utf8Text(file), reason)) {
            messages.push_back(Utf8Text(file) + " was missing after a save that did not finish; restored from " +
                               Utf8Text(*newest));
            copies.erase(newest);
        }
    }
    for (const fs::path& copy : copies)
        messages.push_back("a save of " + Utf8Text(file) + " that did not finish left a copy of a text in " +
                           Utf8Text(copy) + "; it is kept for you to compare and remove");
    return messages;
}

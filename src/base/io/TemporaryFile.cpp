#include "io/TemporaryFile.h"

#include "io/FilePaths.h"
#include "io/SaveNames.h"
#include "io/TemporaryCleanup.h"

#include <utility>

namespace {

// Enough for as many saves of one file at once in one process, and for what killed ones left.
constexpr unsigned kNameAttempts = 64;

}  // namespace

TemporaryFile::~TemporaryFile() { Remove(); }

bool TemporaryFile::Create(const std::string& of, std::string& error, Access access) {
    Remove();
    target = of;
    std::string reason;
    bool taken = true;
    for (unsigned number = 0; file == kNoFile && taken && number < kNameAttempts; ++number) {
        path = SavingName(target, ThisProcess(), number);
        file = CreateExclusive(path, taken, reason);
    }
    if (file == kNoFile) return Fail(reason, error);
    owned = true;
    slot = RegisterTemporary(path);
    const bool given = access == Access::kPrivate ? MakePrivate(file, reason) : TakeOwnerAndMode(file, target, reason);
    return given || Fail(reason, error);
}

bool TemporaryFile::Write(const std::string& bytes, std::string& error) {
    std::string reason;
    return WriteAll(file, bytes, reason) || Fail(reason, error);
}

bool TemporaryFile::Finish(std::string& error) {
    std::string reason;
    const bool finished = SyncAndClose(file, reason);
    file = kNoFile;
    return finished || Fail(reason, error);
}

bool TemporaryFile::CommitAs(const std::string& destination, std::string& error) {
    std::string reason;
    if (!RenameOver(path, destination, reason)) return Fail(reason, error);
    Disown();
    path.clear();
    return true;
}

bool TemporaryFile::KeepAs(const std::string& name, std::string& error) {
    std::string reason;
    if (!RenameToNewName(path, name, reason)) return Fail(reason, error);
    Disown();
    path = name;
    return true;
}

void TemporaryFile::Remove() {
    Close();
    if (!owned) return;
    RemoveFile(path);
    Disown();
}

void TemporaryFile::Disown() {
    owned = false;
    ForgetTemporary(std::exchange(slot, -1));
}

bool TemporaryFile::Fail(const std::string& reason, std::string& error) {
    error = "cannot save " + target + ": " + reason;
    Remove();
    return false;
}

void TemporaryFile::Close() {
    if (file != kNoFile) CloseFile(std::exchange(file, kNoFile));
}

bool SaveFile(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string target = Utf8Text(FileNamed(path));
    TemporaryFile temporary;
    return temporary.Create(target, error) && temporary.Write(bytes, error) && temporary.Finish(error) &&
           temporary.CommitAs(target, error);
}

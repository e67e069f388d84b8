#pragma once
// The system's part of a guarded save (io/SafeReplace.h), one implementation per system (posix/,
// win32/). Every error is "<what>: <the system's own reason>".

#include "io/SafeReplace.h"

#include <string>

// The file a save of `path` changes: symbolic links resolved, a regular file that its owner has
// not made read-only and that this user may write.
bool ResolveSaveTarget(const std::string& path, std::string& target, std::string& error);

enum class ExchangeResult {
    kExchanged,    // each name now gives the other's file
    kUnsupported,  // the file system cannot exchange two names in one step (NFS, FAT)
    kFailed,       // nothing changed; the reason is in `error`
};

// Once exchanged, `other` names the file that was the target's; a system that swaps through a
// third name may leave it there.
ExchangeResult ExchangeFiles(const std::string& target, std::string& other, std::string& error);

// A file that a rename of a new one over it would not keep as it is (another owner, more links,
// an ACL or other attributes) is saved in place instead, after a copy aside, as text editors do:
// `outcome` says how. False when a rename keeps it, and the save is the caller's to make.
bool SavedInPlace(const std::string& target, const std::string& expected, const std::string& bytes,
                  ReplaceOutcome& outcome, std::string& error);

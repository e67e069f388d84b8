#pragma once
// Saving a file that someone else may save at the same moment (a text editor beside the
// timeline editor). The caller read the file, made its change, and asks to replace the text it
// read: the new text is written whole beside the file (io/TemporaryFile.h), the file is read again
// and, only if it still holds the text the change was made on, the two are swapped in one step.
// The text swapped out is checked too: if another save landed within the swap itself, its file
// goes back in place at once. Either way the caller is told, to make its change again on the text
// that is there. Readers only ever see a whole file.
//
// Where the file system cannot swap two files in one step (NFS, FAT), the new file is renamed
// over the old one just after the check: the file never goes missing, but a save that lands
// between the check and the rename is overwritten.
//
// Only the file itself changes: a symbolic link is written through to the file it names and
// stays a link; the file keeps its mode, owner and group. A file that a rename would change
// otherwise (another owner, more than one link, an ACL or extended attributes) is written in
// place after a copy of its text is put aside beside it, as text editors do; a crash leaves that
// copy, and io/SaveRecovery.h finds it. A file that is not meant to be written (no write
// permission for its owner, or none for this user) is refused and stays as it is.

#include <string>

enum class ReplaceOutcome {
    kReplaced,  // the file holds the new text
    kChanged,   // the file held another text than the expected one, and still does
    kRefused,   // the system refused the save (the reason is in `error`); the file is as it was
};

ReplaceOutcome ReplaceIfUnchanged(const std::string& path, const std::string& expected, const std::string& bytes,
                                  std::string& error);

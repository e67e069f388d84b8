#pragma once
// Saving a file that someone else may save at the same moment (a text editor beside the
// timeline editor). The caller read the file, made its change, and asks to replace the text it
// read: the new text is written whole beside the file, then the two are swapped in one step, and
// the text swapped out is checked. If it is not the text the change was made on, another save
// landed in between: its file goes back in place and the caller is told, to make its change
// again on that one. The save never loses the other save, and readers only ever see a whole file.
//
// Only the file itself changes: a symbolic link is written through to the file it names and
// stays a link; the file keeps its mode, owner and group. A file that is not meant to be written
// (no write permission for its owner, or none for this user) is refused and stays as it is.

#include <string>

enum class ReplaceOutcome {
    kReplaced,  // the file holds the new text
    kChanged,   // the file held another text than the expected one, and still does
    kRefused,   // the system refused the save (the reason is in `error`); the file is as it was
};

ReplaceOutcome ReplaceIfUnchanged(const std::string& path, const std::string& expected, const std::string& bytes,
                                  std::string& error);

// Removes what saves of `path` that never finished (their program was killed) left beside the
// file it names, when no program that is still running made them. Called when a program that
// saves it starts.
void RemoveStaleSaves(const std::string& path);

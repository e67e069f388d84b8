#pragma once
// What saves of a file that never finished (their process was killed, the machine stopped) left
// beside it, dealt with when a program that saves it starts, as a database recovers its journal:
// a temporary that was still being written goes, since the file it was to replace is still there;
// a whole copy (the text an exchange was about to swap out, the copy aside of an in-place save,
// what earlier versions' three renames left) is never deleted. It takes the file's place when the
// file is missing, and is otherwise kept for the user to compare. Files of saves still running
// are left alone.

#include <string>
#include <vector>

// One line for the log per copy restored or kept, naming where it is.
std::vector<std::string> RecoverSaves(const std::string& path);

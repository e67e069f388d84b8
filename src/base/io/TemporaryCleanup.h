#pragma once
// The temporary files this process is writing, removed when it ends (io/ProcessEnd.h) however it
// ends, as git's tempfile does. The names are kept in a fixed table of plain strings, which a
// signal handler can walk without taking a lock or allocating; a fork's child never removes its
// parent's files.

#include <string>

// The slot that stands for `path`, or -1 when the table is full or the path too long: the file
// is then removed by its owner only.
int RegisterTemporary(const std::string& path);
// Left alone from now on; -1 is no slot.
void ForgetTemporary(int slot);

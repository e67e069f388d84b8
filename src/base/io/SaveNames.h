#pragma once
// The names the files a save makes beside the file it saves are given, and what a name tells the
// next start about a file a killed save left:
//   NAME.saving-PID-N       a temporary while it is written: never the only copy of anything, so
//                           it goes once its process is gone.
//   NAME.saving-PID-N-ROLE  a whole copy that may be the only one left of some text: the new text
//                           about to be exchanged ("-swap"), the copy of an in-place save
//                           ("-aside"), or what earlier versions' three renames left ("-old").
// N is the first number that no file beside has, so that two saves of one file in one process
// each find their own, and a test knows the names the code uses.

#include <string>

std::string SavingName(const std::string& target, unsigned long process, unsigned number);

// The copy `temporary` becomes once it may hold the only copy of a text.
std::string CopyName(const std::string& temporary, const char* role);

struct SavingNameParts {
    unsigned long process = 0;
    bool copy = false;  // a "-ROLE" name
};

// False when `entry` is no name a save of the file named `name` (the same folder) gives.
bool ParseSavingName(const std::string& entry, const std::string& name, SavingNameParts& parts);

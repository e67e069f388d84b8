#pragma once
// A file's whole bytes as text, read and written without the engine's own readers, so that a
// test checks what is on disk by other means than the code under test.

#include <filesystem>
#include <string>

// "" when the file cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

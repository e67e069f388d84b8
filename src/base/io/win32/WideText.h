#pragma once
// Paths and messages between the program's UTF-8 and the system's UTF-16.

#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

std::wstring Wide(const std::string& text);
std::string Narrow(const wchar_t* text);
// The system's own words for `code`, without the closing period and line break.
std::string SystemReason(DWORD code);

#pragma once
// The stand-in for the Win32, GDI, WGL and kernel32 services the engine uses.
// One interface, one backend per platform (today SDL2, in sdl2/). Nothing above this
// header includes SDL: the engine sees only these types and functions.

#include <cstddef>
#include <cstdint>

namespace platform {

// ---- kernel32: files ---------------------------------------------------------------

// A file opened for writing; -1 is the invalid handle (INVALID_HANDLE_VALUE).
using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// CreateFileW with GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS: creates or truncates.
FileHandle CreateFileForWriting(const char* path);
// WriteFile: one write per call, nothing buffered. Returns false when the write failed.
bool WriteFile(FileHandle file, const void* bytes, uint32_t size, uint32_t* written);
// CloseHandle.
void CloseHandle(FileHandle file);

// MultiByteToWideChar: narrow text is UTF-8 here. Converts `byteCount` bytes of `text`
// (include the terminator to get it converted too) into UTF-16. With `out` null, returns
// the number of code units needed; otherwise the number written, or 0 when `outCapacity`
// is too small. Malformed sequences become U+FFFD.
int MultiByteToWideChar(const char* text, int byteCount, char16_t* out, int outCapacity);

// ---- kernel32: time ----------------------------------------------------------------

// GetTickCount: milliseconds since the program started (not since boot), so that the
// value held as a 32-bit float stays precise for the whole run.
uint32_t GetTickCount();
// Sleep.
void Sleep(uint32_t milliseconds);

}  // namespace platform

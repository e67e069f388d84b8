#pragma once
// The system's part of io/ProcessEnd.h, one implementation per system (posix/, win32/). All of it
// is safe inside a signal handler but SignalsThatEnd and HandleIfDefault.

#include <span>

// The signals whose default action ends the process at once.
std::span<const int> SignalsThatEnd();
// Installs `handler` where the signal still has its default action; a handler the program set,
// or an ignored signal, stays.
void HandleIfDefault(int signal, void (*handler)(int));
// Ends the process as `signal` would have, once the handler that calls it returns.
void EndBy(int signal);
void RemoveFileAtEnd(const char* path);
unsigned long ProcessAtEnd();

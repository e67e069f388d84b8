#pragma once
// Ctrl-C and SIGTERM end a capture between two frames. Installed before the engine starts, so that
// the window layer leaves these signals to us rather than posing them as a closed window.

void CatchInterrupts();
bool Interrupted();

#pragma once
// Ctrl-C and SIGTERM end a capture between two frames. Installed before the engine starts, so that
// the window layer leaves these signals to us rather than posing them as a closed window.

void CatchInterrupts();
bool Interrupted();
// For a process that draws one segment of a larger capture: the capture's death reaches it as
// SIGTERM, so that nothing of a killed run keeps writing into the parts folder.
void EndWithParent();

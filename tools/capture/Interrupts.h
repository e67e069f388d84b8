#pragma once
// Ctrl-C and SIGTERM end a capture between two frames. Installed before the engine starts, so that
// the window layer leaves these signals to us rather than posing them as a closed window.

void CatchInterrupts();
bool Interrupted();
// The signal caught (SIGINT or SIGTERM), 0 before one; the exit status is 128 more, as a shell
// reports a program the signal ended.
int InterruptSignal();
// For a process that draws one segment of a larger capture, started by process `parent`: it ends
// at once with its parent, as a killed one, so that nothing of a killed run keeps writing into the
// parts folder, whatever frame it is drawing. What it leaves there, the next run clears. False when
// the parent has already gone.
bool EndWithParent(int parent);

#pragma once
// The last thing a process does, however it ends: `cleanup` runs at exit, and on a signal whose
// default action would end the process at once (then the signal ends it as it would have). A
// signal the program already handles or ignores keeps its handler: the program ends by its own
// path (the capture tool stops between two frames, the window layer closes the window), and its
// exit runs `cleanup`. Set up once, by the first caller.

// `cleanup` may run inside a signal handler: it may only make the calls of io/EndingSignals.h
// and others that are async-signal-safe.
void CallAtProcessEnd(void (*cleanup)());

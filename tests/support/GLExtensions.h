#pragma once
// GLEW, loaded once per process on a hidden window of its own that stays until the end, as
// start-up does. Needs gLogger.

// False when there is no display or GLEW could not start.
bool TestExtensionsLoaded();

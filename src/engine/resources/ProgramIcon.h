#pragma once
// The window icon from the program's own resources.

#include "platform/Platform.h"

// Gives the window the built-in icon in every size it holds. False when the icon images could
// not be decoded or the window system refused them; the window then keeps its default icon.
bool ApplyProgramIcon(platform::WindowHandle window);

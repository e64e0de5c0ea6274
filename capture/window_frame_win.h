// The rectangle an active-window copy takes: the frame the user sees.
#pragma once

#include <windows.h>

// The visible frame of `hwnd` in screen coordinates. With the desktop window manager the window
// rectangle also holds invisible resize borders, so its own frame bounds are asked for where
// the system has them; elsewhere, or when that fails, the window rectangle.
void window_frame_rect(HWND hwnd, RECT* rect);

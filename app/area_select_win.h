// The full-screen popup in which the fixed area is dragged with the mouse, and the main
// window's timers that open it, confirm the area and cancel.
#pragma once

#include <windows.h>

extern const char AREA_WINDOW_CLASS[];

LRESULT CALLBACK area_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Timers 91, 92 and 93 of the main window; false for any other timer.
bool on_area_timer(UINT_PTR id);

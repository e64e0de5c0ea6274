// The main window at the scale of the display it is on.
#pragma once

#include <windows.h>

#include "app/dpi_scale.h"

// The DPI the main window is drawn at: the display's at start-up, then each new one the system
// names (WM_DPICHANGED) as the window moves to a display of another scale.
extern int main_window_dpi;

// The DPI of the display `hwnd` is on, where the system tells it per window (Windows 10 and
// later), else the screen's.
int window_dpi(HWND hwnd);

// The size the main window (of style `style`) has at main_window_dpi.
DpiSize main_window_size_now(HWND hwnd, DWORD style);

// WM_DPICHANGED: the new DPI, and the rectangle the system suggests for it.
void on_dpi_changed(HWND hwnd, WPARAM wparam, LPARAM lparam);

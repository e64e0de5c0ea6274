// The shell's own entry points: the main window procedure and the end of start-up.
#pragma once

#include <windows.h>

#include "base/process_win.h"

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Start-up has loaded and repaired the settings and shown the window; the message loop follows.
void start_up_finished();

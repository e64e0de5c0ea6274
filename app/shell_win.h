// Process-wide state of the application shell and the functions other modules call on it.
#pragma once

#include <windows.h>

// Room for any directory the ANSI interface can report, plus the file name after it.
constexpr int DIR_BUF = MAX_PATH;
constexpr int PATH_BUF = MAX_PATH + 16;

extern HINSTANCE instance_handle;
extern HANDLE instance_mutex;
extern HWND main_window;
extern char program_dir[DIR_BUF];
extern char settings_path[PATH_BUF];
extern char help_path[PATH_BUF];
extern char printer_name_shown[120];
extern int os_platform;  // 1 Windows 95 family, 2 Windows NT
extern DWORD start_tick;
extern int auto_timer_running;

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Start-up has loaded and repaired the settings and shown the window; the message loop follows.
void start_up_finished();

// Invalidates the status line and repaints it before returning.
void refresh_status();

// Error beep and message box for a failed step: "text\nstep(ERR=n)". Returns 0.
int show_step_error(const char* text, const char* step);
// The same with the code taken right after the failing call, where a cleanup runs before the
// box and would change the last error.
int show_step_error_code(const char* text, const char* step, DWORD error);

// Error beep and a message box with the program's caption; by default without owner and with
// the error icon.
void show_error_box(const char* text, HWND owner = NULL, UINT icon = MB_ICONHAND);

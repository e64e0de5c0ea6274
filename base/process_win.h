// The process-wide state every part of the program shares, and the message boxes every part
// shows. The shell sets most of it up at start-up; the subsystems read it.
#pragma once

#include <windows.h>

#include <cstdint>

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

// The main window's state and the capture's progress, shown by the status line.
extern int main_state;
extern int adjust_percent;

// What the copy sequence noted at the hot key; the print job draws through the same window.
extern int capture_active_window;  // 1 the foreground window, 0 the full screen
extern HWND capture_target;        // the foreground window, or the main window
extern RECT capture_target_rect;   // the foreground window's rectangle at the hot key
extern RECT saved_main_rect;       // where the main window was before it was hidden
// Size of the image to copy, and afterwards of the image on the clipboard (also set by the
// BMP loader for a loaded file).
extern int16_t capture_width;
extern int16_t capture_height;

// Invalidates the status line and repaints it before returning (the main window draws it).
void refresh_status();

// Error beep and message box for a failed step: "text\nstep(ERR=n)". Returns 0.
int show_step_error(const char* text, const char* step);
// The same with the code taken right after the failing call, where a cleanup runs before the
// box and would change the last error.
int show_step_error_code(const char* text, const char* step, DWORD error);

// Error beep and a message box with the program's caption; by default without owner and with
// the error icon.
void show_error_box(const char* text, HWND owner = NULL, UINT icon = MB_ICONHAND);

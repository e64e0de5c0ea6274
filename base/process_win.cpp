// The process-wide state and the message boxes every part of the program shares.
#include "base/process_win.h"

#include <stdio.h>

#include "base/ids.h"

HINSTANCE instance_handle;
HANDLE instance_mutex;
HWND main_window;
char program_dir[DIR_BUF];
char settings_path[PATH_BUF];
char help_path[PATH_BUF];
char printer_name_shown[120];
int os_platform;
DWORD start_tick;
int auto_timer_running;

int main_state;
int adjust_percent;

int capture_active_window;
HWND capture_target;
RECT capture_target_rect;
RECT saved_main_rect;
int16_t capture_width;
int16_t capture_height;

void show_error_box(const char* text, HWND owner, UINT icon)
{
    MessageBeep(MB_ICONHAND);
    MessageBoxA(owner, text, APP_TITLE, icon);
}

int show_step_error(const char* text, const char* step)
{
    return show_step_error_code(text, step, GetLastError());
}

int show_step_error_code(const char* text, const char* step, DWORD error)
{
    char message[200];
    snprintf(message, sizeof message, "%s\n%s(ERR=%d)", text, step, (int)error);
    show_error_box(message);
    return 0;
}

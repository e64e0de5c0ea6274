// Message boxes shared by every module.
#include <stdio.h>

#include "app/ids.h"
#include "app/shell_win.h"

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

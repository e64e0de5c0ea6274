// Message boxes shared by every module.
#include <stdio.h>

#include "app/shell_win.h"
#include "app/status.h"

void show_error_box(const char* text)
{
    MessageBeep(MB_ICONHAND);
    MessageBoxA(NULL, text, APP_TITLE, MB_ICONHAND);
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

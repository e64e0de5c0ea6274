// KAVREL.EXE's entry point (linked into it alone): WinMain with the arguments Windows gives
// a windowed program, then exit through CRTDLL.DLL, which runs its exit functions.
#include <windows.h>

#include <stdlib.h>

#include "base/runtime_win.h"

// The command line after the program's name, which may be quoted. A double-byte character's
// second byte is never a blank or '"', so a byte-wise scan is safe.
static char* arguments_after_program_name(char* line)
{
    bool quoted = false;
    while (*line && (quoted || (unsigned char)*line > ' ')) {
        if (*line == '"')
            quoted = !quoted;
        line++;
    }
    while (*line && (unsigned char)*line <= ' ')
        line++;
    return line;
}

// The stack Windows starts a thread with is aligned to 4 bytes; the compiler assumes 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup()
{
    start_runtime();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(WinMain(GetModuleHandleA(NULL), NULL, arguments_after_program_name(GetCommandLineA()),
                 show));
}

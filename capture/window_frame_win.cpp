// The visible frame of a window. dwmapi.dll exists from Windows Vista on: it is loaded from the
// system folder by its full path when asked for, so the program loads everywhere and takes no
// DLL of that name from another folder.
#include "capture/window_frame_win.h"

#include <string.h>

typedef LONG(WINAPI* WindowAttributeCall)(HWND, DWORD, void*, DWORD);

static const DWORD EXTENDED_FRAME_BOUNDS = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS

static bool frame_bounds(HWND hwnd, RECT* rect)
{
    char path[MAX_PATH + 16];
    UINT len = GetSystemDirectoryA(path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return false;
    strcpy(path + len, path[len - 1] == '\\' ? "dwmapi.dll" : "\\dwmapi.dll");
    HMODULE dll = LoadLibraryA(path);
    if (!dll)
        return false;
    WindowAttributeCall call = reinterpret_cast<WindowAttributeCall>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DwmGetWindowAttribute")));
    RECT bounds = {};
    // A failure (no composition, a window the manager does not draw) or an empty answer: the
    // window rectangle is right there.
    bool taken = call && call(hwnd, EXTENDED_FRAME_BOUNDS, &bounds, sizeof bounds) >= 0 &&
                 bounds.right > bounds.left && bounds.bottom > bounds.top;
    FreeLibrary(dll);
    if (taken)
        *rect = bounds;
    return taken;
}

void window_frame_rect(HWND hwnd, RECT* rect)
{
    if (!frame_bounds(hwnd, rect))
        GetWindowRect(hwnd, rect);
}

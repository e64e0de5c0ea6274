// The main window at the display's scale. The per-window calls come with Windows 10 and are
// looked up when needed; every older system has the screen's DPI and a frame that the window
// measures from itself.
#include "app/dpi_win.h"

int main_window_dpi = BASE_DPI;

typedef UINT(WINAPI* DpiForWindowCall)(HWND);
typedef BOOL(WINAPI* AdjustRectForDpiCall)(RECT*, DWORD, BOOL, DWORD, UINT);

// USER32 is loaded: the program imports it.
static FARPROC user_call(const char* name)
{
    HMODULE user = GetModuleHandleA("USER32.DLL");
    return user ? GetProcAddress(user, name) : NULL;
}

int window_dpi(HWND hwnd)
{
    DpiForWindowCall call =
        reinterpret_cast<DpiForWindowCall>(reinterpret_cast<void*>(user_call("GetDpiForWindow")));
    int dpi = call ? (int)call(hwnd) : 0;
    if (dpi > 0)
        return dpi;
    HDC screen = GetDC(NULL);
    dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(NULL, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

// Window size less client size, as the system frames this window now.
static DpiSize frame_now(HWND hwnd)
{
    const long probe = 1000;
    RECT rc = {0, 0, probe, probe};
    DefWindowProcA(hwnd, WM_NCCALCSIZE, FALSE, (LPARAM)&rc);
    return {probe - (rc.right - rc.left), probe - (rc.bottom - rc.top)};
}

// The frame at 96 DPI: asked for where the system can frame at another scale than its own,
// else the frame at this scale scaled back.
static DpiSize frame_at_base(DWORD style, DpiSize frame)
{
    AdjustRectForDpiCall call = reinterpret_cast<AdjustRectForDpiCall>(
        reinterpret_cast<void*>(user_call("AdjustWindowRectExForDpi")));
    RECT rc = {0, 0, 0, 0};
    if (call && call(&rc, style, FALSE, 0, BASE_DPI))
        return {rc.right - rc.left, rc.bottom - rc.top};
    return {(frame.width * BASE_DPI + main_window_dpi / 2) / main_window_dpi,
            (frame.height * BASE_DPI + main_window_dpi / 2) / main_window_dpi};
}

DpiSize main_window_size_now(HWND hwnd, DWORD style)
{
    if (main_window_dpi == BASE_DPI)
        return {MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT};
    DpiSize frame = frame_now(hwnd);
    return main_window_size(main_window_dpi, frame, frame_at_base(style, frame));
}

void on_dpi_changed(HWND hwnd, WPARAM wparam, LPARAM lparam)
{
    int dpi = HIWORD(wparam);
    if (dpi > 0)
        main_window_dpi = dpi;
    const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
    if (suggested)
        SetWindowPos(hwnd, NULL, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd, NULL, TRUE);
}

// A stand-in for the mail sender SendKDUX.EXE, which lies outside Kavrel-DUX: the system tests
// put it in the program folder. It notes in SENDKDUX.LOG beside itself when it started, with
// which command line and in which folder, and when the notification message 1691 reached it,
// then ends. Without a notification it ends after 20 seconds.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "base/ids.h"

static const UINT_PTR GIVE_UP_TIMER = 1;
static const UINT GIVE_UP_MS = 20000;
static char log_path[MAX_PATH];

static void log_line(const char* kind, const char* text)
{
    FILE* f = fopen(log_path, "ab");
    if (!f)
        return;
    fprintf(f, "%s %lu %s\r\n", kind, (unsigned long)GetTickCount(), text);
    fclose(f);
}

static LRESULT CALLBACK standin_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == UM_MAIL_NOTIFY) {
        char params[64];
        snprintf(params, sizeof params, "%lu %lu", (unsigned long)wparam, (unsigned long)lparam);
        log_line("notified", params);
        PostQuitMessage(0);
        return 0;
    }
    if (msg == WM_TIMER && wparam == GIVE_UP_TIMER) {
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    GetModuleFileNameA(NULL, log_path, sizeof log_path);
    char* slash = strrchr(log_path, '\\');
    strcpy(slash ? slash + 1 : log_path, "SENDKDUX.LOG");
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    log_line("started", GetCommandLineA());
    log_line("folder", folder);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = standin_proc;
    wc.hInstance = instance;
    wc.lpszClassName = "SendKDUXStandIn";
    RegisterClassA(&wc);
    // A hidden top-level window: it takes the broadcast like any other.
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "SendKDUX stand-in", WS_OVERLAPPED, 0, 0, 10,
                                10, NULL, NULL, instance, NULL);
    SetTimer(hwnd, GIVE_UP_TIMER, GIVE_UP_MS, NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return (int)msg.wParam;
}

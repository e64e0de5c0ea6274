// The notification-icon record and its call exist on Windows 95 and NT 4.0, not on NT 3.51,
// whose shell has no notification area: the call is looked up when it is first needed, so the
// program still loads there.
#include "app/tray_win.h"

#include <shellapi.h>

#include "app/shell_win.h"
#include "base/ids.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

static constexpr UINT TRAY_ICON_ID = 876;
// The record as the shells of Windows 95 and NT 4.0 know it: a tip of 64 characters.
static constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
static constexpr int TRAY_TIP_CHARS = 64;
static_assert(TRAY_RECORD_SIZE == 88, "the first shells' notification-icon record");

typedef BOOL(WINAPI* NotifyIconCall)(DWORD, PNOTIFYICONDATAA);

// SHELL32 is loaded already (the program imports it for dropped files).
static NotifyIconCall notify_icon_call()
{
    static bool looked_up;
    static NotifyIconCall call;
    if (!looked_up) {
        HMODULE shell = GetModuleHandleA("SHELL32.DLL");
        call = shell ? reinterpret_cast<NotifyIconCall>(
                           reinterpret_cast<void*>(GetProcAddress(shell, "Shell_NotifyIconA")))
                     : NULL;
        looked_up = true;
    }
    return call;
}

static bool notify_icon(DWORD message, NOTIFYICONDATAA* data)
{
    NotifyIconCall call = notify_icon_call();
    return call && call(message, data);
}

static NOTIFYICONDATAA tray_icon_data;
static bool tray_icon_added;
// Start-up or command 9 asked for the icon, and no double click has brought the window back:
// a task bar that comes (back) gets the icon.
static bool tray_wanted;
static UINT taskbar_created_message;

static void fill_tray_icon_data()
{
    tray_icon_data = NOTIFYICONDATAA{};
    tray_icon_data.cbSize = TRAY_RECORD_SIZE;
    tray_icon_data.hWnd = main_window;
    tray_icon_data.uID = TRAY_ICON_ID;
    tray_icon_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tray_icon_data.uCallbackMessage = UM_TRAY_NOTIFY;
    tray_icon_data.hIcon = LoadIconA(instance_handle, "Kavrel");
    GetWindowTextA(main_window, tray_icon_data.szTip, TRAY_TIP_CHARS);
}

int move_into_tray()
{
    // Without a notification area the program stays a window and the file keeps what it says.
    if (!notify_icon_call())
        return 0;
    tray_wanted = true;
    if (!taskbar_created_message)
        taskbar_created_message = RegisterWindowMessageA("TaskbarCreated");
    fill_tray_icon_data();
    // No task bar yet, or a shell that is restarting: hidden without an icon, the program
    // could not be reached at all. It stays a window, and the file keeps what it says.
    if (!notify_icon(NIM_ADD, &tray_icon_data)) {
        tray_icon_added = false;
        return 0;
    }
    tray_icon_added = true;
    ShowWindow(main_window, SW_HIDE);
    settings.tray_mode = 1;
    return save_settings();
}

bool in_tray()
{
    return tray_icon_added;
}

bool on_taskbar_created(UINT message)
{
    if (message == 0 || message != taskbar_created_message)
        return false;
    if (!tray_wanted)
        return true;
    if (!tray_icon_added) {
        move_into_tray();
        return true;
    }
    // A restarted shell has lost the icon. Where it cannot be had again (and is not still
    // there), the window comes back instead.
    if (!notify_icon(NIM_ADD, &tray_icon_data) && !notify_icon(NIM_MODIFY, &tray_icon_data)) {
        tray_icon_added = false;
        ShowWindow(main_window, SW_SHOWNORMAL);
    }
    return true;
}

void on_tray_notify(LPARAM mouse_message)
{
    if (mouse_message != WM_LBUTTONDBLCLK)
        return;
    notify_icon(NIM_DELETE, &tray_icon_data);
    tray_icon_added = false;
    tray_wanted = false;
    settings.tray_mode = 0;
    save_settings();
    ShowWindow(main_window, SW_SHOWNORMAL);
}

void come_back()
{
    // Without "TaskbarCreated" (the shells before Internet Explorer 4) a lost icon is never
    // added again: the window comes back as a double click on the icon brings it.
    if (tray_wanted)
        on_tray_notify(WM_LBUTTONDBLCLK);
    else if (IsIconic(main_window) || !IsWindowVisible(main_window))
        ShowWindow(main_window, SW_RESTORE);
    SetForegroundWindow(main_window);
}

void remove_tray_icon()
{
    if (!tray_icon_added)
        return;
    notify_icon(NIM_DELETE, &tray_icon_data);
    tray_icon_added = false;
}

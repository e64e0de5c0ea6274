// The notification-area icon; see tray_win.h. One record adds and deletes the icon, so both
// name the same window and id.
#include "app/tray_win.h"

#include <shellapi.h>

#include "app/ids.h"
#include "app/shell_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

static constexpr UINT TRAY_ICON_ID = 876;
// The record as the shells of Windows 95 and NT 4.0 know it: a tip of 64 characters.
static constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
static constexpr int TRAY_TIP_CHARS = 64;
static_assert(TRAY_RECORD_SIZE == 88, "the first shells' notification-icon record");

static NOTIFYICONDATAA tray_icon_data;
static bool tray_icon_added;

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
    fill_tray_icon_data();
    Shell_NotifyIconA(NIM_ADD, &tray_icon_data);
    tray_icon_added = true;
    ShowWindow(main_window, SW_HIDE);
    settings.tray_mode = 1;
    return save_settings(0);
}

void on_tray_notify(LPARAM mouse_message)
{
    if (mouse_message != WM_LBUTTONDBLCLK)
        return;
    Shell_NotifyIconA(NIM_DELETE, &tray_icon_data);
    tray_icon_added = false;
    settings.tray_mode = 0;
    save_settings(0);
    ShowWindow(main_window, SW_SHOWNORMAL);
}

void remove_tray_icon()
{
    if (!tray_icon_added)
        return;
    Shell_NotifyIconA(NIM_DELETE, &tray_icon_data);
    tray_icon_added = false;
}

// The main window: status line, system commands, hot-key installation and the exit sequence.
// It is the dispatcher of the whole program; each message goes to a short handler.
#include <stdio.h>

#include "app/area_select_win.h"
#include "app/copy_sequence_win.h"
#include "app/dde_server_win.h"
#include "app/dpi_win.h"
#include "app/hint_popup_win.h"
#include "app/shell_win.h"
#include "app/status.h"
#include "app/tray_win.h"
#include "base/ids.h"
#include "files/mail_win.h"
#include "print/printer_dialog_win.h"
#include "settings/basic_dialog_win.h"
#include "settings/extended_dialog_win.h"
#include "settings/hotkey_dialog_win.h"
#include "settings/hotkeys.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

// Sent by Windows 8.1 and later (WINVER 0x0603), which the headers of this program's level lack.
static const UINT DPI_CHANGED_MESSAGE = 0x02E0;  // WM_DPICHANGED

void refresh_status()
{
    StatusMetrics m = status_metrics(main_window_dpi);
    RECT status_rect = {0, 0, m.refresh_right, m.refresh_bottom};
    InvalidateRect(main_window, &status_rect, TRUE);
    UpdateWindow(main_window);
}

static void on_create(HWND hwnd)
{
    DragAcceptFiles(hwnd, TRUE);
    reset_copy_sequence();
    main_state = STANDBY;
    dde_server_window = NULL;
    PostMessageA(hwnd, UM_REGISTER_HOTKEYS, 0, 0);
    PostMessageA(hwnd, UM_REFRESH_STATUS, 0, 0);
}

static void on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    StatusMetrics m = status_metrics(main_window_dpi);
    LOGFONTA lf = {};
    lf.lfHeight = m.font_height;
    lf.lfWidth = m.font_width;
    strcpy(lf.lfFaceName, "ROMAN");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);

    long current = drop_count == 0 ? 1 : drop_index + 1;
    long total = drop_count == 0 ? 1 : drop_count;
    StatusLook look = status_look(main_state, settings.output_device, current, total,
                                  adjust_percent);
    const char* caption = look.caption;
    if (!IsIconic(hwnd)) {
        SetTextColor(dc, RGB(look.red, look.green, look.blue));
        TextOutA(dc, m.x, m.y, look.line, (int)strlen(look.line));
        caption = APP_TITLE;
    }
    // Setting an unchanged caption would only repaint the frame.
    char shown[64];
    if (GetWindowTextA(hwnd, shown, sizeof shown) == 0 || strcmp(shown, caption) != 0)
        SetWindowTextA(hwnd, caption);

    SelectObject(dc, old_font);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
}

// The hot keys are those of the loaded settings. A message box shown while start-up loads them
// (the load error) runs a message loop that would otherwise install them from an empty record.
static bool settings_ready;
static bool hotkeys_deferred;

void start_up_finished()
{
    settings_ready = true;
    if (hotkeys_deferred)
        PostMessageA(main_window, UM_REGISTER_HOTKEYS, 0, 0);
}

// Each hot key that cannot be had is named on its own; the others still work.
static void register_hotkeys()
{
    if (!settings_ready) {
        hotkeys_deferred = true;
        return;
    }
    for (const Hotkey& h : HOTKEYS) {
        if (RegisterHotKey(main_window, h.id, settings.*h.mod, settings.*h.vk))
            continue;
        char text[200];
        snprintf(text, sizeof text, "%s\n%s", h.failure_line, HOTKEY_TAKEN_TEXT);
        MessageBoxA(NULL, text, APP_TITLE, MB_ICONEXCLAMATION);
    }
}

static void on_help(UINT command, ULONG_PTR data)
{
    MessageBeep(MB_OK);
    WinHelpA(main_window, help_path, command, data);
}

// Each dialog command starts from a clear guard, whatever an earlier dialog left in it.
static void open_dialog(void (*open)())
{
    settings_busy = 0;
    MessageBeep(MB_OK);
    open();
}

static LRESULT on_syscommand(HWND hwnd, WPARAM command, LPARAM lparam)
{
    switch (command) {
    case CMD_USAGE:
        open_dialog(open_usage_box);
        return 0;
    case CMD_PRINTER_SETUP:
        open_dialog(open_printer_setup_dialog);
        return 0;
    case CMD_BASIC_SETTINGS:
        open_dialog(open_basic_settings_dialog);
        return 0;
    case CMD_EXTENDED_SETTINGS:
        open_dialog(open_extended_settings_dialog);
        return 0;
    case CMD_HOTKEY_SETUP:
        open_dialog(open_hotkey_dialog);
        return 0;
    case CMD_HELP:
        settings_busy = 0;
        on_help(HELP_INDEX, 0);
        return 0;
    case CMD_HELP_SEARCH:
        settings_busy = 0;
        on_help(HELP_KEY, (ULONG_PTR) "");
        return 0;
    case CMD_TRAY:
        settings_busy = 0;
        move_into_tray();
        return 0;
    case CMD_LINKED_APP:
        open_dialog(open_linked_app_dialog);
        return 0;
    default:
        return DefWindowProcA(hwnd, WM_SYSCOMMAND, command, lparam);
    }
}

// Stores the placement into what was last saved, so unsaved changes in memory are not written.
static void on_destroy()
{
    if (auto_timer_running == 1)
        KillTimer(main_window, TIMER_AUTO_OUTPUT);
    for (const Hotkey& h : HOTKEYS)
        UnregisterHotKey(main_window, h.id);
    remove_tray_icon();
    // A close within the second after a launch: the mail sender is still told.
    KillTimer(main_window, TIMER_MAIL_NOTIFY);
    post_mail_notification();
    CloseHandle(instance_mutex);
    instance_mutex = NULL;
    if (load_settings() >= 0) {
        WINDOWPLACEMENT wp = {};
        static_assert(sizeof wp == 44, "the placement record of every Win32 system");
        wp.length = sizeof wp;
        GetWindowPlacement(main_window, &wp);
        settings.window_show_cmd = show_cmd_to_store(wp.showCmd);
        settings.window_left = wp.rcNormalPosition.left;
        settings.window_top = wp.rcNormalPosition.top;
        settings.window_right = wp.rcNormalPosition.right;
        settings.window_bottom = wp.rcNormalPosition.bottom;
        save_settings();
        WinHelpA(main_window, help_path, HELP_QUIT, 0);
    }
    PostQuitMessage(0);
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    // A registered message: no case label can name it.
    if (on_taskbar_created(msg))
        return 0;
    switch (msg) {
    case WM_CREATE:
        main_window = hwnd;
        on_create(hwnd);
        return 0;
    case WM_PAINT:
        on_paint(hwnd);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        on_destroy();
        return 0;
    case WM_COMMAND:
        return 0;
    case WM_TIMER:
        if (!on_sequence_timer(wparam))
            on_area_timer(wparam);
        return 0;
    case WM_HOTKEY:
        on_hotkey((int)wparam);
        return 0;
    case WM_DROPFILES:
        on_drop_files((HDROP)wparam);
        return 0;
    case UM_CAPTURE:
        on_capture(false);
        return 0;
    case UM_CAPTURE_NOW:
        on_capture(true);
        return 0;
    case UM_OUTPUT:
        on_output(wparam);
        return 0;
    case UM_NEXT_DROPPED_FILE:
        on_next_dropped_file(wparam);
        return 0;
    case WM_DDE_INITIATE:
        on_dde_initiate((HWND)wparam, lparam);
        return 0;
    case UM_REMOTE_REQUEST:
        on_remote_request((HWND)wparam, lparam);
        return 0;
    case WM_SYSCOMMAND:
        return on_syscommand(hwnd, wparam, lparam);
    case UM_REGISTER_HOTKEYS:
        register_hotkeys();
        return 0;
    case UM_REFRESH_STATUS:
        refresh_status();
        return 0;
    case UM_TRAY_NOTIFY:
        on_tray_notify(lparam);
        return 0;
    case DPI_CHANGED_MESSAGE:
        on_dpi_changed(hwnd, wparam, lparam);
        return 0;
    case UM_COME_BACK:
        come_back();
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

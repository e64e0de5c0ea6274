// Entry point: one instance, the window classes, the main window and its system menu, the
// settings file, then the message loop.
#include "app/area_select_win.h"
#include "app/dde_server_win.h"
#include "app/dpi_win.h"
#include "app/shell_win.h"
#include "app/status.h"
#include "app/tray_win.h"
#include "base/ids.h"
#include "base/path.h"
#include "print/printer_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

static const DWORD MAIN_WINDOW_STYLE = WS_SYSMENU | WS_MINIMIZEBOX;

struct SystemMenuItem {
    UINT command;  // 0: separator
    const char* text;
};

static const SystemMenuItem SYSTEM_MENU_ITEMS[] = {
    {0, NULL},
    {CMD_TRAY, "タスクバー(&B)"},
    {CMD_USAGE, "使用方法(&U)"},
    {CMD_PRINTER_SETUP, "プリンター設定(&P)"},
    {CMD_BASIC_SETTINGS, "設定(&T)"},
    {CMD_EXTENDED_SETTINGS, "拡張機能(&V)"},
    {CMD_HOTKEY_SETUP, "キー設定(&K)"},
    {0, NULL},
    {CMD_HELP, "ヘルプ(&H)"},
    {CMD_HELP_SEARCH, "ヘルプ<検索>(&S)"},
};

// Another instance holds the mutex: this one calls it back and ends. Two starts racing past the open both
// reach the create; the later one sees ERROR_ALREADY_EXISTS and ends too.
static bool take_instance_mutex()
{
    HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, APP_TITLE);
    if (other) {
        CloseHandle(other);
        return false;
    }
    instance_mutex = CreateMutexA(NULL, FALSE, APP_TITLE);
    if (!instance_mutex)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(instance_mutex);
        instance_mutex = NULL;
        return false;
    }
    return true;
}

// A second start: the running instance comes back to the user (its window restored, out of the
// notification area). Only the foreground process may hand the foreground on today, so this one,
// just started by the user, allows it where the call exists (Windows 98, 2000 and later).
static void call_running_instance()
{
    HWND running = FindWindowA(APP_TITLE, NULL);
    if (!running)
        return;
    typedef BOOL(WINAPI * AllowForegroundCall)(DWORD);
    HMODULE user = GetModuleHandleA("USER32.DLL");
    AllowForegroundCall allow =
        user ? reinterpret_cast<AllowForegroundCall>(
                   reinterpret_cast<void*>(GetProcAddress(user, "AllowSetForegroundWindow")))
             : NULL;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    if (allow && process)
        allow(process);
    PostMessageA(running, UM_COME_BACK, 0, 0);
}

static bool register_class(const char* name, WNDPROC proc, UINT style, HICON icon,
                           HCURSOR cursor, HBRUSH background)
{
    WNDCLASSA wc = {};
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance_handle;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

static bool register_classes()
{
    return register_class(APP_TITLE, main_window_proc, CS_VREDRAW | CS_HREDRAW | CS_BYTEALIGNCLIENT,
                          LoadIconA(instance_handle, "Kavrel"), LoadCursorA(NULL, IDC_ARROW),
                          (HBRUSH)GetStockObject(LTGRAY_BRUSH)) &&
           register_class(DDE_SERVER_CLASS, dde_server_proc, 0, NULL, NULL, NULL) &&
           register_class(AREA_WINDOW_CLASS, area_window_proc, 0, NULL, LoadCursorA(NULL, IDC_SIZE),
                          NULL);
}

static void append_system_menu()
{
    HMENU menu = GetSystemMenu(main_window, FALSE);
    for (const SystemMenuItem& item : SYSTEM_MENU_ITEMS) {
        if (item.command == 0)
            AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
        else
            AppendMenuA(menu, MF_STRING, item.command, item.text);
    }
}

// The settings and help files live in the directory current at start-up, however long it is.
static bool build_paths()
{
    memset(program_dir, 0, sizeof program_dir);
    memset(settings_path, 0, sizeof settings_path);
    memset(help_path, 0, sizeof help_path);
    memset(printer_name_shown, 0, sizeof printer_name_shown);
    DWORD len = GetCurrentDirectoryA(sizeof program_dir, program_dir);
    if (len == 0 || len >= sizeof program_dir)
        return false;
    return join_path_into(settings_path, sizeof settings_path, program_dir, len, "KAVREL.INI") &&
           join_path_into(help_path, sizeof help_path, program_dir, len, "KAVREL.HLP");
}

static int query_platform()
{
    OSVERSIONINFOA info = {};
    static_assert(sizeof info == 148, "the version record GetVersionExA takes everywhere");
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return (int)info.dwPlatformId;
}

// 180 x 42 at 96 DPI; on a display of another scale, the same client area scaled, so the status
// line is whole there too. (A top-level window without WS_POPUP always has a caption.)
static void place_main_window()
{
    main_window_dpi = window_dpi(main_window);
    DpiSize size = main_window_size_now(main_window, MAIN_WINDOW_STYLE | WS_CAPTION);
    SetWindowPos(main_window, HWND_BOTTOM, settings.window_left, settings.window_top, size.width,
                 size.height, SWP_NOACTIVATE);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    instance_handle = instance;
    if (!take_instance_mutex()) {
        call_running_instance();
        return 0;
    }
    if (!register_classes())
        return 0;
    main_window = CreateWindowExA(0, APP_TITLE, APP_TITLE, MAIN_WINDOW_STYLE, 1, 1,
                                  MAIN_WINDOW_WIDTH, 0, NULL, NULL, instance_handle, NULL);
    if (!main_window)
        return 0;
    append_system_menu();

    reset_settings(settings);
    if (!build_paths())
        return 0;
    os_platform = query_platform();

    int loaded = load_settings();
    if (loaded == -2)
        return 0;
    repair_loaded_settings(settings);
    place_main_window();
    // A new settings file starts with the system's default printer.
    if (loaded < 0) {
        refresh_default_printer(1);
        save_settings();
    }

    start_tick = GetTickCount();
    auto_timer_running = 0;
    if (settings.auto_output == 1) {
        SetTimer(main_window, TIMER_AUTO_OUTPUT, AUTO_OUTPUT_MS, NULL);
        auto_timer_running = 1;
    }
    main_state = STANDBY;
    settings.window_show_cmd = show_cmd_at_start(settings.window_show_cmd);
    ShowWindow(main_window, settings.window_show_cmd);
    if (settings.tray_mode == 1)
        move_into_tray();
    start_up_finished();

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

// The notification-area icon goes when the main window is destroyed, seen while the window
// still exists: Wine's shell drops the icons of a destroyed window by itself, so a look after
// the program ended cannot tell whether the program removed its icon.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <stddef.h>
#include <stdio.h>

#include "app/shell_win.h"
#include "app/tray_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "tests/module/module_harness_win.h"
#include "tests/system/harness_win.h"

namespace {

// Whether the shell holds icon 876 of `window`: a change of nothing succeeds only then.
bool icon_in_tray(HWND window)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = window;
    nid.uID = 876;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

// A stand-in main window, with the default settings saved in a folder of its own.
HWND stand_in_with_default_settings(const char* folder)
{
    std::string dir = fresh_work_dir(folder);
    snprintf(settings_path, sizeof settings_path, "%s\\KAVREL.INI", dir.c_str());
    reset_settings(settings);
    repair_loaded_settings(settings);
    if (save_settings() != 0)
        return NULL;
    return make_stand_in_main_window(600, 500, 180, 42, RGB(192, 192, 192));
}

}  // namespace

TEST(TrayIcon, GoesWhenTheMainWindowIsDestroyedNotAfter)
{
    HWND window = stand_in_with_default_settings("tray-icon");
    ASSERT_TRUE(window);
    ASSERT_FALSE(icon_in_tray(window));
    ASSERT_EQ(move_into_tray(), 0);
    ASSERT_TRUE(icon_in_tray(window)) << "no icon to remove";
    // The main window's own handling of its destruction, with the window still there.
    instance_mutex = NULL;
    main_window_proc(window, WM_DESTROY, 0, 0);
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit posted";
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(icon_in_tray(window)) << "the icon would outlive the program";
    destroy_stand_in_main_window();
}

// The shell refuses an icon it already holds for the window (as it refuses every icon while
// the task bar is missing): the program stays a window, and takes the tray when the task bar
// announces itself.
TEST(TrayIcon, RefusedIconKeepsTheWindowUntilTheTaskBarComes)
{
    HWND window = stand_in_with_default_settings("tray-refused");
    ASSERT_TRUE(window);
    NOTIFYICONDATAA taken{};
    taken.cbSize = sizeof taken;
    taken.hWnd = window;
    taken.uID = 876;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &taken));
    Bytes before = read_file(settings_path);

    move_into_tray();
    EXPECT_TRUE(IsWindowVisible(window)) << "hidden without an icon of its own";
    EXPECT_EQ(read_file(settings_path), before) << "the tray stored without an icon";
    EXPECT_EQ(settings.tray_mode, 0);

    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &taken));
    main_window_proc(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(icon_in_tray(window)) << "no icon when the task bar came";
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(i32_at(read_file(settings_path), offsetof(SettingsRecord, tray_mode)), 1);

    instance_mutex = NULL;
    main_window_proc(window, WM_DESTROY, 0, 0);
    MSG quit;
    PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
    destroy_stand_in_main_window();
}

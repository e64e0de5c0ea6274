// The settings file held open by another program while the dialogs and the tray save it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>

#include "base/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"
#include "tests/system/settings_dialogs_win.h"

namespace {

#define AT(field) offsetof(SettingsRecord, field)

// The settings file held open without sharing, as another program may hold it.
struct HeldFile {
    HANDLE handle;
    explicit HeldFile(const std::string& path)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL))
    {
    }
    ~HeldFile() { release(); }
    void release()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
};

const char CANNOT_SAVE[] = "ユーザー情報が出力できません";

}  // namespace

TEST(SettingsFile, HeldOpenByAnotherProgramEverySaveSaysSoAndTheFileAndProgramSurvive)
{
    Bytes start = default_settings_file();
    put_i32(start, AT(window_show_cmd), SW_SHOWNORMAL);
    Session s("settings-held", start);
    HWND main = s.k.ready();
    ASSERT_TRUE(main);
    Bytes before = s.ini();
    {
        SCOPED_TRACE("extended settings, OK");
        HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
        ASSERT_TRUE(dlg);
        click(dlg, IDC_EXT_PRINT_TITLE);
        HeldFile held(ini_path(s.dir));
        ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
        click(dlg, IDOK);
        EXPECT_EQ(answer_box(s.k), CANNOT_SAVE);
        EXPECT_TRUE(wait_gone(dlg)) << "the dialog stayed";
        held.release();
        ASSERT_TRUE(s.k.idle());
        EXPECT_EQ(s.ini(), before) << "the file changed";
    }
    {
        SCOPED_TRACE("printer setup, register");
        HWND dlg = open_from_system_menu(s.k, CMD_PRINTER_SETUP, "プリンター設定");
        ASSERT_TRUE(dlg);
        HeldFile held(ini_path(s.dir));
        click(dlg, IDOK);
        EXPECT_EQ(answer_box(s.k), CANNOT_SAVE);
        EXPECT_TRUE(wait_gone(dlg));
        held.release();
        ASSERT_TRUE(s.k.idle());
        EXPECT_EQ(s.ini(), before);
    }
    {
        SCOPED_TRACE("basic settings, OK: it reads the file first");
        HWND dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
        ASSERT_TRUE(dlg);
        click(dlg, IDC_BASIC_INVERT);
        HeldFile held(ini_path(s.dir));
        click(dlg, IDOK);
        EXPECT_EQ(answer_box(s.k).rfind("ユーザー情報が取得できません\n<ERR=", 0), 0u);
        ASSERT_TRUE(s.k.idle());
        EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog closed";
        held.release();
        click(dlg, IDCANCEL);
        EXPECT_TRUE(wait_gone(dlg));
        ASSERT_TRUE(s.k.idle());
        EXPECT_EQ(s.ini(), before);
    }
    {
        SCOPED_TRACE("into the tray");
        HeldFile held(ini_path(s.dir));
        PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
        EXPECT_EQ(answer_box(s.k), CANNOT_SAVE);
        held.release();
        ASSERT_TRUE(s.k.idle());
        EXPECT_EQ(s.ini(), before);
    }
    EXPECT_FALSE(s.k.wait_exit(0)) << "the program ended";
    // Still working, now in the tray: a dialog opens and saves once the file is free.
    PostMessageA(main, WM_SYSCOMMAND, CMD_EXTENDED_SETTINGS, 0);
    HWND dlg = wait_dialog_titled(s.k, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(box_once_idle(s.k), "");
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(s.k.wait_exit(START_TIMEOUT_MS));
}


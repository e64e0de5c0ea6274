// The hot key setup dialog SETHOTKEY, driven from outside: rows tried and stored, and the keys
// the program holds afterwards.
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

}  // namespace

TEST(HotkeySetup, TheSameKeyTwiceFailsTheLaterRowOnlyAndOkStaysOpen)
{
    Session s("hotkey-twice", default_settings_file());
    // Started up: its hot keys are installed, the ones the dialog takes away and puts back.
    ASSERT_TRUE(s.k.ready());
    HWND dlg = open_from_system_menu(s.k, CMD_HOTKEY_SETUP, HOTKEY_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_MOD), 0);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_KEY), 0);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_CANCEL_KEY), 17 + ('P' - 'A'));
    EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_KEYS_ACTIVE_KEY, CB_GETCOUNT, 0, 0), 43);
    EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_KEYS_ACTIVE_MOD, CB_GETCOUNT, 0, 0), 3);

    select_item(dlg, IDC_KEYS_FULL_MOD, 1);  // Alt + Print Screen, as row 2
    click(dlg, IDC_KEYS_ALL_TEST);
    EXPECT_EQ(answer_box(s.k),
              "ホットキー(アクティブ画面コピー)の設定に失敗しました\n"
              "他のホットキーで既に使用されています");
    EXPECT_EQ(box_once_idle(s.k), "") << "no other row failed, and not all succeeded";

    Bytes before = s.ini();
    click(dlg, IDOK);
    EXPECT_EQ(answer_box(s.k),
              "ホットキー(アクティブ画面コピー)の設定に失敗しました\n"
              "他のホットキーで既に使用されています");
    ASSERT_TRUE(s.k.idle());
    EXPECT_TRUE(IsWindowVisible(dlg)) << "OK stays open at the first failure";
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_mod)), 1);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_vk)), VK_SNAPSHOT);
    // Row 1 is installed now: nobody else can have Alt + Print Screen.
    EXPECT_FALSE(RegisterHotKey(NULL, 1, MOD_ALT, VK_SNAPSHOT));

    // A different key for row 2; the second OK must not trip over row 1 installed by the first.
    select_item(dlg, IDC_KEYS_ACTIVE_MOD, 2);
    click(dlg, IDOK);
    EXPECT_EQ(box_once_idle(s.k), "");
    EXPECT_TRUE(wait_gone(dlg));
    ini = wait_settings_changed(s.dir, ini);
    EXPECT_EQ(i32_at(ini, AT(hotkey_active_mod)), MOD_CONTROL);
    EXPECT_TRUE(s.k.close());
}


TEST(HotkeySetup, NewKeysWorkAtOnceAfterOk)
{
    std::string dir = fresh_work_dir("hotkey-new");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    HWND dlg = open_from_system_menu(k, CMD_HOTKEY_SETUP, HOTKEY_CAPTION);
    ASSERT_TRUE(dlg);
    // The program has no hot keys while the dialog is open.
    ASSERT_TRUE(RegisterHotKey(NULL, 7, 0, VK_SNAPSHOT));
    UnregisterHotKey(NULL, 7);
    select_item(dlg, IDC_KEYS_FULL_MOD, 2);
    select_item(dlg, IDC_KEYS_FULL_KEY, 5 + 8);  // F9
    click(dlg, IDC_KEYS_FULL_TEST);
    EXPECT_EQ(answer_box(k), "ホットキー(全画面コピー)の設定に成功しました");
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    // The OK ended, the program holds its new keys.
    EXPECT_EQ(box_once_idle(k), "");
    Bytes stored = wait_settings(
        dir, [](const Bytes& ini) { return i32_at(ini, AT(hotkey_full_mod)) == MOD_CONTROL; });
    EXPECT_EQ(i32_at(stored, AT(hotkey_full_mod)), MOD_CONTROL);
    EXPECT_EQ(i32_at(stored, AT(hotkey_full_vk)), VK_F9);
    press_keys({VK_CONTROL, VK_F9});
    Bytes bmp = wait_for_bmp(numbered_output(dir, 0), 20000);
    ASSERT_GE(bmp.size(), 54u) << "Ctrl+F9 made no copy";
    EXPECT_EQ(i32_at(bmp, 18), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_TRUE(k.close());
}


TEST(HotkeySetup, DefaultsThenCancelKeepsTheStoredKeysAndInstallsThem)
{
    // Shift (flags 4) and F13 are stored but offered by no list.
    Bytes start = with_hotkeys(default_settings_file(), MOD_SHIFT, VK_F13);
    Session s("hotkey-cancel", start);
    // Started up: its hot keys are installed, the ones the dialog takes away and puts back.
    ASSERT_TRUE(s.k.ready());
    HWND dlg = open_from_system_menu(s.k, CMD_HOTKEY_SETUP, HOTKEY_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_MOD), -1);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_KEY), -1);
    click(dlg, IDC_KEYS_DEFAULTS);
    ASSERT_TRUE(s.k.idle()) << "the defaults were not taken";
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_MOD), 0);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_KEY), 0);
    Bytes before = s.ini();
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(box_once_idle(s.k), "");
    EXPECT_EQ(s.ini(), before);
    EXPECT_FALSE(RegisterHotKey(NULL, 1, MOD_SHIFT, VK_F13)) << "Cancel did not re-install";
    EXPECT_FALSE(RegisterHotKey(NULL, 2, MOD_ALT, 'P'));
    EXPECT_TRUE(s.k.close());
}


TEST(HotkeySetup, OkWithoutSelectionStoresUnknown)
{
    Session s("hotkey-unknown", with_hotkeys(default_settings_file(), MOD_SHIFT, VK_SNAPSHOT));
    // Started up: its hot keys are installed, the ones the dialog takes away and puts back.
    ASSERT_TRUE(s.k.ready());
    HWND dlg = open_from_system_menu(s.k, CMD_HOTKEY_SETUP, HOTKEY_CAPTION);
    ASSERT_TRUE(dlg);
    Bytes before = s.ini();
    click(dlg, IDOK);
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_mod)), -1);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_vk)), VK_SNAPSHOT);
    // Whether the system takes -1 as modifier flags is its own affair; answer what comes.
    if (!box_once_idle(s.k).empty()) {
        click(dlg, IDCANCEL);
        box_once_idle(s.k);
    }
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(s.k.close());
}


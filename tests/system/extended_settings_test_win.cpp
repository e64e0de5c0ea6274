// The extended settings dialog SETTING2, driven from outside: opened through the system menu,
// its controls set as a user would set them, and the settings file read afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "base/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"
#include "tests/system/settings_dialogs_win.h"

namespace {

#define AT(field) offsetof(SettingsRecord, field)

// Moves the pointer to the middle of the screen and, once it is there, right-clicks.
bool right_click_middle_of_screen()
{
    INPUT in[3] = {};
    in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
    in[0].mi.dx = in[0].mi.dy = 32768;
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    POINT at{};
    for (DWORD t = GetTickCount(); GetTickCount() - t < 5000; Sleep(10))
        if (GetCursorPos(&at) && abs(at.x - x) <= 1 && abs(at.y - y) <= 1)
            break;
    if (abs(at.x - x) > 1 || abs(at.y - y) > 1)
        return false;
    SendInput(2, &in[1], sizeof(INPUT));
    return true;
}


constexpr int FONT_COLOUR_LIST = 0x473;  // the font dialog's colour list (cmb4)

HWND wait_font_dialog(const Kavrel& k, HWND settings_dialog)
{
    return wait_dialog(k, [&](HWND h) {
        return h != settings_dialog && GetDlgItem(h, FONT_COLOUR_LIST) != NULL;
    });
}

// Picks a colour in the font dialog as a user's choice in the list arrives.
bool pick_colour(HWND font_dialog, COLORREF colour)
{
    HWND list = GetDlgItem(font_dialog, FONT_COLOUR_LIST);
    // The dialog fills the list as it sets itself up.
    int count = 0;
    for (DWORD t = GetTickCount(); GetTickCount() - t < (DWORD)DIALOG_TIMEOUT_MS; Sleep(20))
        if ((count = (int)SendMessageA(list, CB_GETCOUNT, 0, 0)) > 0)
            break;
    for (int i = 0; i < count; i++) {
        if ((COLORREF)SendMessageA(list, CB_GETITEMDATA, i, 0) != colour)
            continue;
        SendMessageA(list, CB_SETCURSEL, i, 0);
        SendMessageA(font_dialog, WM_COMMAND, MAKEWPARAM(FONT_COLOUR_LIST, CBN_SELCHANGE),
                     (LPARAM)list);
        return true;
    }
    return false;
}

}  // namespace

TEST(ExtendedSettings, ShowsTheRecordAndStoresFieldsWithTheirLimits)
{
    Bytes start = default_settings_file();
    put_i32(start, AT(processing_speed), 7);  // no such item
    put_i32(start, AT(auto_interval_minutes), 0);
    put_i32(start, AT(output_device), 2);
    Session s("extended-fields", start);
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(selected_item(dlg, IDC_EXT_OUTPUT_DEVICE), 2);
    EXPECT_EQ(selected_item(dlg, IDC_EXT_PROCESSING_SPEED), -1);
    EXPECT_EQ(control_text(dlg, IDC_EXT_INTERVAL_MINUTES), "003") << "raised before shown";
    EXPECT_EQ(control_text(dlg, IDC_EXT_AFTER_START_MINUTES), "01");
    EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_EXT_TITLE_POSITION, CB_GETCOUNT, 0, 0), 6);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_WRITE_SYSINFO)));
    // The hint time is the Windows 95 family's only.
    const bool family95 = windows_95_family();
    EXPECT_EQ(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_HINT_TIME)) != 0, family95);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_HINT_TIME_LABEL)) != 0, family95);

    set_control_text(dlg, IDC_EXT_INTERVAL_MINUTES, "1");
    set_control_text(dlg, IDC_EXT_AFTER_START_MINUTES, "0");
    set_control_text(dlg, IDC_EXT_AUTO_HOUR, "1234");
    set_control_text(dlg, IDC_EXT_AUTO_MINUTE, "-5");
    set_control_text(dlg, IDC_EXT_AREA_LEFT, "-7");
    set_control_text(dlg, IDC_EXT_AREA_RIGHT, "");
    set_control_text(dlg, IDC_EXT_AREA_TOP, "");
    set_control_text(dlg, IDC_EXT_AREA_BOTTOM, "1234567890123");
    // Set from outside, past the edit's limit: only 40 bytes are taken, never half a character.
    std::string title = std::string(39, 'T') + "題名です";
    set_control_text(dlg, IDC_EXT_TITLE_TEXT, title);
    select_item(dlg, IDC_EXT_TIMESTAMP_POSITION, 5);
    select_item(dlg, IDC_EXT_FILE_NAME_MODE, 1);
    click(dlg, IDC_EXT_PRINT_TIMESTAMP);
    click(dlg, IDC_EXT_AUTO_INTERVAL);

    Bytes before = s.ini();
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(auto_interval_minutes)), 3);
    EXPECT_EQ(i32_at(ini, AT(auto_after_start_minutes)), 1);
    EXPECT_EQ(i32_at(ini, AT(auto_hour)), 123);
    EXPECT_EQ(i32_at(ini, AT(auto_minute)), -5) << "not range-checked";
    EXPECT_EQ(i32_at(ini, AT(area_left)), 0);
    EXPECT_EQ(i32_at(ini, AT(area_right)), 1);
    EXPECT_EQ(i32_at(ini, AT(area_top)), 0);
    EXPECT_EQ(i32_at(ini, AT(area_bottom)), 123456789);
    EXPECT_EQ(i32_at(ini, AT(processing_speed)), -1);
    EXPECT_EQ(i32_at(ini, AT(timestamp_position)), 5);
    EXPECT_EQ(i32_at(ini, AT(file_name_mode)), 1);
    EXPECT_EQ(i32_at(ini, AT(print_timestamp)), 1);
    EXPECT_EQ(i32_at(ini, AT(auto_interval)), 1);
    EXPECT_EQ(i32_at(ini, AT(output_device)), 2);
    std::string stored(reinterpret_cast<const char*>(&ini[AT(title_text)]), 50);
    EXPECT_EQ(stored, std::string(39, 'T') + std::string(11, '\0'));
    EXPECT_TRUE(s.k.close());
}


TEST(ExtendedSettings, AnInvalidFixedAreaIsRefusedAndAValidOneSaved)
{
    Session s("extended-area", default_settings_file());
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    click(dlg, IDC_EXT_USE_FIXED_AREA);
    set_control_text(dlg, IDC_EXT_AREA_LEFT, "100");
    set_control_text(dlg, IDC_EXT_AREA_RIGHT, "100");
    set_control_text(dlg, IDC_EXT_AREA_TOP, "5");
    set_control_text(dlg, IDC_EXT_AREA_BOTTOM, "6");
    Bytes before = s.ini();
    click(dlg, IDOK);
    HWND box = open_message_box(s.k, BOX_TIMEOUT_MS);
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box), "指定座標位置に誤りがあります。\nチェックしてください！");
    EXPECT_EQ(GetWindow(box, GW_OWNER), dlg);
    press_ok(box);
    ASSERT_TRUE(wait_gone(box));
    ASSERT_TRUE(s.k.idle());
    EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog stays open";
    EXPECT_EQ(s.ini(), before);

    set_control_text(dlg, IDC_EXT_AREA_RIGHT, "101");
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(use_fixed_area)), 1);
    EXPECT_EQ(i32_at(ini, AT(area_left)), 100);
    EXPECT_EQ(i32_at(ini, AT(area_right)), 101);
    EXPECT_EQ(i32_at(ini, AT(area_top)), 5);
    EXPECT_EQ(i32_at(ini, AT(area_bottom)), 6);

    // A refused OK and then Cancel leave the record alone: the move into the tray, which saves
    // the record from memory, stores the area saved before.
    dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    set_control_text(dlg, IDC_EXT_AREA_RIGHT, "100");
    click(dlg, IDOK);
    EXPECT_EQ(answer_box(s.k), "指定座標位置に誤りがあります。\nチェックしてください！");
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    ASSERT_TRUE(s.k.idle());
    HWND main = s.k.main_window();
    before = s.ini();
    PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
    ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(tray_mode)), 1);
    EXPECT_EQ(i32_at(ini, AT(area_left)), 100);
    EXPECT_EQ(i32_at(ini, AT(area_right)), 101);
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(s.k.wait_exit(START_TIMEOUT_MS));
}


TEST(ExtendedSettings, HiddenOptionsKeepTheirStoredValuesAndTheHintTimeIsTheWindows95FamilysOnly)
{
    Bytes start = default_settings_file();
    put_i32(start, AT(file_compression), 1);
    put_i32(start, AT(write_sysinfo), 1);
    put_i32(start, AT(hint_close_time), 2);
    Session s("extended-hidden", start);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_FILE_COMPRESSION)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_WRITE_SYSINFO)));
    EXPECT_EQ(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_HINT_TIME)) != 0, !nt);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(dlg, IDC_EXT_HINT_TIME_LABEL)) != 0, !nt);
    if (!nt) {
        EXPECT_EQ(selected_item(dlg, IDC_EXT_HINT_TIME), 2);
        select_item(dlg, IDC_EXT_HINT_TIME, 1);
    }
    click(dlg, IDC_EXT_PRINT_TITLE);  // something to save
    Bytes before = s.ini();
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(print_title)), 1);
    EXPECT_EQ(i32_at(ini, AT(file_compression)), 1);
    EXPECT_EQ(i32_at(ini, AT(write_sysinfo)), 1);
    EXPECT_EQ(i32_at(ini, AT(hint_close_time)), nt ? 2 : 1)
        << (nt ? "changed on NT" : "not taken on the Windows 95 family");
    EXPECT_TRUE(s.k.close());
}


TEST(ExtendedSettings, PickAreaSavesTheFirstGroupAndTheHiddenOptionsButNoAutomaticOutput)
{
    Bytes start = default_settings_file();
    put_i32(start, AT(auto_hour), 5);
    put_i32(start, AT(auto_minute), 6);
    put_i32(start, AT(auto_interval_minutes), 40);
    put_i32(start, AT(auto_after_start_minutes), 50);
    put_i32(start, AT(auto_full_screen), 1);
    put_i32(start, AT(write_sysinfo), 1);
    Session s("extended-pick-area", start);
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    // The first group.
    click(dlg, IDC_EXT_PRINT_TITLE);
    select_item(dlg, IDC_EXT_TITLE_POSITION, 4);
    set_control_text(dlg, IDC_EXT_TITLE_TEXT, "AREA");
    click(dlg, IDC_EXT_PRINT_TIMESTAMP);
    select_item(dlg, IDC_EXT_TIMESTAMP_POSITION, 3);
    select_item(dlg, IDC_EXT_PROCESSING_SPEED, 1);
    click(dlg, IDC_EXT_CAPTURE_SOUND);
    select_item(dlg, IDC_EXT_OUTPUT_DEVICE, 1);
    select_item(dlg, IDC_EXT_FILE_NAME_MODE, 2);
    click(dlg, IDC_EXT_HIGH_SPEED_SCAN);
    click(dlg, IDC_EXT_USE_FIXED_AREA);
    // An inverted area: not checked on this road.
    set_control_text(dlg, IDC_EXT_AREA_LEFT, "300");
    set_control_text(dlg, IDC_EXT_AREA_RIGHT, "200");
    set_control_text(dlg, IDC_EXT_AREA_TOP, "60");
    set_control_text(dlg, IDC_EXT_AREA_BOTTOM, "70");
    // Then banding, and the automatic output, which this button does not take.
    click(dlg, IDC_EXT_USE_BANDING);
    click(dlg, IDC_EXT_AUTO_OUTPUT);
    click(dlg, IDC_EXT_EXIT_AFTER_PRINT);
    click(dlg, IDC_EXT_AUTO_ACTIVE_WINDOW);
    click(dlg, IDC_EXT_AUTO_AT_TIME);
    click(dlg, IDC_EXT_AUTO_INTERVAL);
    click(dlg, IDC_EXT_AUTO_AFTER_START);
    set_control_text(dlg, IDC_EXT_AUTO_HOUR, "21");
    set_control_text(dlg, IDC_EXT_AUTO_MINUTE, "22");
    set_control_text(dlg, IDC_EXT_INTERVAL_MINUTES, "23");
    set_control_text(dlg, IDC_EXT_AFTER_START_MINUTES, "24");
    Bytes before = s.ini();
    click(dlg, IDC_EXT_PICK_AREA);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(box_once_idle(s.k), "") << "the area was checked";
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(print_title)), 1);
    EXPECT_EQ(i32_at(ini, AT(title_position)), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&ini[AT(title_text)])), "AREA");
    EXPECT_EQ(i32_at(ini, AT(print_timestamp)), 1);
    EXPECT_EQ(i32_at(ini, AT(timestamp_position)), 3);
    EXPECT_EQ(i32_at(ini, AT(processing_speed)), 1);
    EXPECT_EQ(i32_at(ini, AT(capture_sound)), 1);
    EXPECT_EQ(i32_at(ini, AT(output_device)), 1);
    EXPECT_EQ(i32_at(ini, AT(file_name_mode)), 2);
    EXPECT_EQ(i32_at(ini, AT(high_speed_scan)), 1);
    EXPECT_EQ(i32_at(ini, AT(use_fixed_area)), 1);
    EXPECT_EQ(i32_at(ini, AT(area_left)), 300);
    EXPECT_EQ(i32_at(ini, AT(area_right)), 200);
    EXPECT_EQ(i32_at(ini, AT(area_top)), 60);
    EXPECT_EQ(i32_at(ini, AT(area_bottom)), 70);
    EXPECT_EQ(i32_at(ini, AT(use_banding)), 1);
    EXPECT_EQ(i32_at(ini, AT(write_sysinfo)), 1);
    // None of the automatic output.
    for (size_t field : {AT(auto_output), AT(exit_after_print), AT(auto_active_window),
                         AT(auto_at_time), AT(auto_interval), AT(auto_after_start)})
        EXPECT_EQ(i32_at(ini, field), 0) << "at " << field;
    EXPECT_EQ(i32_at(ini, AT(auto_full_screen)), 1);
    EXPECT_EQ(i32_at(ini, AT(auto_hour)), 5);
    EXPECT_EQ(i32_at(ini, AT(auto_minute)), 6);
    EXPECT_EQ(i32_at(ini, AT(auto_interval_minutes)), 40);
    EXPECT_EQ(i32_at(ini, AT(auto_after_start_minutes)), 50);
    // The selection it hands over to; cancelled, it stores nothing more.
    HWND area = wait_window(s.k.pi.dwProcessId, "MOUSEWIN", true, 10000);
    ASSERT_TRUE(area) << "no area selection followed";
    ASSERT_TRUE(s.k.idle());
    ASSERT_TRUE(right_click_middle_of_screen()) << "the pointer did not come to the middle";
    EXPECT_TRUE(wait_gone(area));
    EXPECT_EQ(box_once_idle(s.k), "");
    EXPECT_EQ(s.ini(), ini);
    EXPECT_TRUE(s.k.close());
}


TEST(ExtendedSettings, HelpOnAControlShowsItsLinesAndTheFastSettingClosesThem)
{
    Bytes start = default_settings_file();
    put_i32(start, AT(hint_close_time), 2);
    Session s("extended-hint", start);
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    RECT rc;
    GetWindowRect(GetDlgItem(dlg, IDC_EXT_PICK_AREA), &rc);
    HelpRequest help(dlg, IDC_EXT_PICK_AREA, rc.left + 5, rc.top + 5);
    HWND hint = wait_hint(s.k, dlg);
    ASSERT_TRUE(hint);
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE1), "マウスによって座標指定ができます。");
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE2), "設定は マウス左クリックで");
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE3), "キャンセルは マウス右クリックで");
    EXPECT_TRUE(wait_gone(hint, 10000)) << "the popup did not close by itself";
    EXPECT_TRUE(help.answered(5000));
    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(s.k.close());
}


TEST(ExtendedSettings, ATitleFontInRedIsStoredByOkAndACancelledChoiceChangesNothing)
{
    // Copies go to a file, so that one taken while the dialog is open is seen to be done.
    Bytes start = output_settings(fresh_work_dir("extended-font"), 1, 0, 1);
    put_i32(start, AT(timestamp_color), 0x123456);
    Session s("extended-font", start);
    ASSERT_TRUE(s.k.ready());
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);

    click(dlg, IDC_EXT_TIMESTAMP_FONT);
    HWND fonts = wait_font_dialog(s.k, dlg);
    ASSERT_TRUE(fonts) << "no font dialog";
    EXPECT_EQ(GetWindow(fonts, GW_OWNER), s.k.main_window());
    click(fonts, IDCANCEL);
    ASSERT_TRUE(wait_gone(fonts));
    EXPECT_EQ(box_once_idle(s.k), "") << "cancel is silent";

    click(dlg, IDC_EXT_TITLE_FONT);
    fonts = wait_font_dialog(s.k, dlg);
    ASSERT_TRUE(fonts);
    ASSERT_TRUE(pick_colour(fonts, RGB(255, 0, 0))) << "no red in the list";
    Bytes before = s.ini();
    click(fonts, IDOK);
    ASSERT_TRUE(wait_gone(fonts));
    ASSERT_TRUE(s.k.idle());
    EXPECT_EQ(s.ini(), before) << "the font is saved only by OK";
    // A copy reloads the record from the file; the choice made in the open dialog stays.
    press_keys({VK_SNAPSHOT});
    EXPECT_GE(wait_for_bmp(numbered_output(s.dir, 0), 20000).size(), 54u) << "no copy";

    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ((uint32_t)i32_at(ini, AT(title_color)), 0x000000FFu);
    EXPECT_EQ(i32_at(ini, AT(timestamp_color)), 0x123456);
    EXPECT_NE(ini[AT(title_font) + offsetof(FontRecord, face_name)], 0) << "no face stored";
    EXPECT_NE(i32_at(ini, AT(title_font)), 0) << "no height stored";
    Bytes zero(sizeof(FontRecord), 0);
    EXPECT_TRUE(std::equal(zero.begin(), zero.end(), ini.begin() + AT(timestamp_font)));
    EXPECT_TRUE(s.k.close());
}

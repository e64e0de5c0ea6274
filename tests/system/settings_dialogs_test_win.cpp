// The settings dialogs SETTING, SETTING2 and SETHOTKEY and the usage box, driven from outside:
// opened through the system menu, their controls set as a user would set them, and the
// settings file read afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "app/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

namespace {

const char BASIC_CAPTION[] = "基本機能設定";
const char EXTENDED_CAPTION[] = "拡張機能";
const char HOTKEY_CAPTION[] = "キーセットアップ";

#define AT(field) offsetof(SettingsRecord, field)

// A started program over a settings file, and the dialog the test works with.
struct Session {
    std::string dir;
    Kavrel k;
    explicit Session(const std::string& name, const Bytes& ini)
        : dir(fresh_work_dir(name)), k((write_file(ini_path(dir), ini), dir))
    {
    }
    Bytes ini() const { return read_settings(dir); }
    int32_t at(size_t offset) const { return i32_at(ini(), offset); }
};

// Answers the message box that comes up; its text, or "" when none came.
std::string answer_box(const Kavrel& k, int timeout_ms = BOX_TIMEOUT_MS)
{
    HWND box = open_message_box(k, timeout_ms);
    if (!box)
        return "";
    std::string text = box_text(box);
    press_ok(box);
    wait_gone(box);
    return text;
}

void scroll(HWND dlg, int bar, int code, int thumb = 0)
{
    SendMessageA(dlg, WM_HSCROLL, MAKEWPARAM(code, thumb), (LPARAM)GetDlgItem(dlg, bar));
}

// The hint popup: a dialog without caption holding the three lines, other than `over`.
HWND wait_hint(const Kavrel& k, HWND over, int timeout_ms = DIALOG_TIMEOUT_MS)
{
    return wait_dialog(
        k,
        [&](HWND h) {
            return h != over && GetDlgItem(h, IDC_HINT_LINE1) &&
                   !(GetWindowLongA(h, GWL_STYLE) & WS_CAPTION);
        },
        timeout_ms);
}

Bytes with_hotkeys(Bytes ini, uint32_t full_mod, uint32_t full_vk)
{
    put_i32(ini, AT(hotkey_full_mod), (int32_t)full_mod);
    put_i32(ini, AT(hotkey_full_vk), (int32_t)full_vk);
    return ini;
}

}  // namespace

TEST(BasicSettings, AFreshRecordFitsToPaperAndOkStoresTheDialogsValues)
{
    Session s("basic-fresh", default_settings_file());
    HWND dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), s.k.main_window());
    EXPECT_FALSE(is_checked(dlg, IDC_BASIC_PROPORTIONAL));
    EXPECT_TRUE(is_checked(dlg, IDC_BASIC_FIT_TO_PAPER));
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BRIGHTNESS_VALUE), "0");

    set_control_text(dlg, IDC_BASIC_MARGIN_TOP, "123456");
    set_control_text(dlg, IDC_BASIC_MARGIN_LEFT, "-20");
    scroll(dlg, IDC_BASIC_BRIGHTNESS, SB_THUMBTRACK, 0);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BRIGHTNESS_VALUE), "-255");
    scroll(dlg, IDC_BASIC_RED, SB_THUMBPOSITION, 510);
    scroll(dlg, IDC_BASIC_RED, SB_LINERIGHT);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_RED_VALUE), "255") << "stays at +255";
    scroll(dlg, IDC_BASIC_GREEN, SB_THUMBTRACK, 5);
    scroll(dlg, IDC_BASIC_GREEN, SB_PAGELEFT);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_GREEN_VALUE), "-255") << "-250 pages to -255";
    scroll(dlg, IDC_BASIC_BLUE, SB_PAGERIGHT);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BLUE_VALUE), "10");
    scroll(dlg, IDC_BASIC_THRESHOLD, SB_THUMBTRACK, 100);
    scroll(dlg, IDC_BASIC_THRESHOLD, SB_PAGERIGHT);
    click(dlg, IDC_BASIC_INVERT);

    Bytes before = s.ini();
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(proportional_print)), 0);
    EXPECT_EQ(i32_at(ini, AT(fit_to_paper)), 1);
    EXPECT_EQ(i32_at(ini, AT(punch_margin_top)), 12345);
    EXPECT_EQ(i32_at(ini, AT(punch_margin_left)), -20);
    EXPECT_EQ(i32_at(ini, AT(brightness)), -255);
    EXPECT_EQ(i32_at(ini, AT(red_level)), 255);
    EXPECT_EQ(i32_at(ini, AT(green_level)), -255);
    EXPECT_EQ(i32_at(ini, AT(blue_level)), 10);
    EXPECT_EQ(i32_at(ini, AT(binarize_threshold)), 100);
    EXPECT_EQ(i32_at(ini, AT(invert_image)), 1);
    EXPECT_EQ(ini.size(), SETTINGS_FILE_SIZE);
    EXPECT_TRUE(s.k.close());
}

TEST(BasicSettings, ResetThenCancelSavesNothingAndResetThenOkSavesZeros)
{
    Bytes start = default_settings_file();
    for (size_t field : {AT(brightness), AT(red_level), AT(green_level), AT(blue_level),
                         AT(reserved_d72), AT(reserved_d80)})
        put_i32(start, field, 40);
    put_i32(start, AT(proportional_print), 1);
    Session s("basic-reset", start);
    HWND dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(is_checked(dlg, IDC_BASIC_PROPORTIONAL));
    EXPECT_EQ(control_text(dlg, IDC_BASIC_GREEN_VALUE), "40");
    Bytes before = s.ini();
    click(dlg, IDC_BASIC_RESET);
    pump_messages(300);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BRIGHTNESS_VALUE), "0");
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BLUE_VALUE), "0");
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    pause_ms(500);
    EXPECT_EQ(s.ini(), before) << "Cancel saved";
    // The tray saves the record from memory: it must still hold what the file holds.
    HWND main = s.k.main_window();
    PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
    Bytes in_tray = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(in_tray, AT(tray_mode)), 1);
    for (size_t field : {AT(brightness), AT(red_level), AT(green_level), AT(blue_level),
                         AT(reserved_d72), AT(reserved_d80)})
        EXPECT_EQ(i32_at(in_tray, field), 40) << "the cancelled reset was saved, at " << field;
    before = in_tray;

    // From the tray the window is hidden; its system menu commands still open the dialog.
    PostMessageA(main, WM_SYSCOMMAND, CMD_BASIC_SETTINGS, 0);
    dlg = wait_dialog_titled(s.k, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_RED_VALUE), "40") << "the file's values again";
    click(dlg, IDC_BASIC_RESET);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    for (size_t field : {AT(brightness), AT(red_level), AT(green_level), AT(blue_level),
                         AT(reserved_d72), AT(reserved_d80)})
        EXPECT_EQ(i32_at(ini, field), 0) << "at " << field;
    EXPECT_EQ(i32_at(ini, AT(proportional_print)), 1);
    EXPECT_EQ(i32_at(ini, AT(fit_to_paper)), 0);
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(s.k.wait_exit(START_TIMEOUT_MS));
}

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

namespace {

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

int scroll_pos(HWND dlg, int bar)
{
    return (int)SendDlgItemMessageA(dlg, bar, SBM_GETPOS, 0, 0);
}

// What SETTING shows and stores: every field a value of its own, so that two controls swapped
// show or store the wrong one.
struct BasicValues {
    int proportional, top, left, invert, black, binarize, threshold, brightness, red, green, blue;
};

void put_basic(Bytes& ini, const BasicValues& v)
{
    put_i32(ini, AT(proportional_print), v.proportional);
    put_i32(ini, AT(fit_to_paper), !v.proportional);
    put_i32(ini, AT(punch_margin_top), v.top);
    put_i32(ini, AT(punch_margin_left), v.left);
    put_i32(ini, AT(invert_image), v.invert);
    put_i32(ini, AT(black_emphasis), v.black);
    put_i32(ini, AT(binarize), v.binarize);
    put_i32(ini, AT(binarize_threshold), v.threshold);
    put_i32(ini, AT(brightness), v.brightness);
    put_i32(ini, AT(red_level), v.red);
    put_i32(ini, AT(green_level), v.green);
    put_i32(ini, AT(blue_level), v.blue);
}

void expect_basic_shown(HWND dlg, const BasicValues& v)
{
    EXPECT_EQ(is_checked(dlg, IDC_BASIC_PROPORTIONAL), v.proportional == 1);
    EXPECT_EQ(is_checked(dlg, IDC_BASIC_FIT_TO_PAPER), v.proportional != 1);
    EXPECT_EQ(control_text(dlg, IDC_BASIC_MARGIN_TOP), std::to_string(v.top));
    EXPECT_EQ(control_text(dlg, IDC_BASIC_MARGIN_LEFT), std::to_string(v.left));
    EXPECT_EQ(is_checked(dlg, IDC_BASIC_INVERT), v.invert == 1);
    EXPECT_EQ(is_checked(dlg, IDC_BASIC_BLACK_EMPHASIS), v.black == 1);
    EXPECT_EQ(is_checked(dlg, IDC_BASIC_BINARIZE), v.binarize == 1);
    EXPECT_EQ(scroll_pos(dlg, IDC_BASIC_THRESHOLD), v.threshold);
    const struct {
        int bar, text, value;
    } bars[] = {{IDC_BASIC_BRIGHTNESS, IDC_BASIC_BRIGHTNESS_VALUE, v.brightness},
                {IDC_BASIC_RED, IDC_BASIC_RED_VALUE, v.red},
                {IDC_BASIC_GREEN, IDC_BASIC_GREEN_VALUE, v.green},
                {IDC_BASIC_BLUE, IDC_BASIC_BLUE_VALUE, v.blue}};
    for (const auto& b : bars) {
        EXPECT_EQ(scroll_pos(dlg, b.bar), b.value + 255) << "bar " << b.bar;
        EXPECT_EQ(control_text(dlg, b.text), std::to_string(b.value)) << "text " << b.text;
    }
}

void set_check(HWND dlg, int id, int value)
{
    if (is_checked(dlg, id) != (value == 1))
        click(dlg, id);
}

void enter_basic(HWND dlg, const BasicValues& v)
{
    click(dlg, v.proportional ? IDC_BASIC_PROPORTIONAL : IDC_BASIC_FIT_TO_PAPER);
    set_control_text(dlg, IDC_BASIC_MARGIN_TOP, std::to_string(v.top));
    set_control_text(dlg, IDC_BASIC_MARGIN_LEFT, std::to_string(v.left));
    set_check(dlg, IDC_BASIC_INVERT, v.invert);
    set_check(dlg, IDC_BASIC_BLACK_EMPHASIS, v.black);
    set_check(dlg, IDC_BASIC_BINARIZE, v.binarize);
    scroll(dlg, IDC_BASIC_THRESHOLD, SB_THUMBPOSITION, v.threshold);
    scroll(dlg, IDC_BASIC_BRIGHTNESS, SB_THUMBPOSITION, v.brightness + 255);
    scroll(dlg, IDC_BASIC_RED, SB_THUMBPOSITION, v.red + 255);
    scroll(dlg, IDC_BASIC_GREEN, SB_THUMBPOSITION, v.green + 255);
    scroll(dlg, IDC_BASIC_BLUE, SB_THUMBPOSITION, v.blue + 255);
    pump_messages(200);
}

void expect_basic_stored(const Bytes& ini, const BasicValues& v)
{
    EXPECT_EQ(i32_at(ini, AT(proportional_print)), v.proportional);
    EXPECT_EQ(i32_at(ini, AT(fit_to_paper)), !v.proportional);
    EXPECT_EQ(i32_at(ini, AT(punch_margin_top)), v.top);
    EXPECT_EQ(i32_at(ini, AT(punch_margin_left)), v.left);
    EXPECT_EQ(i32_at(ini, AT(invert_image)), v.invert);
    EXPECT_EQ(i32_at(ini, AT(black_emphasis)), v.black);
    EXPECT_EQ(i32_at(ini, AT(binarize)), v.binarize);
    EXPECT_EQ(i32_at(ini, AT(binarize_threshold)), v.threshold);
    EXPECT_EQ(i32_at(ini, AT(brightness)), v.brightness);
    EXPECT_EQ(i32_at(ini, AT(red_level)), v.red);
    EXPECT_EQ(i32_at(ini, AT(green_level)), v.green);
    EXPECT_EQ(i32_at(ini, AT(blue_level)), v.blue);
}

void right_click_middle_of_screen()
{
    INPUT in[3] = {};
    in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
    in[0].mi.dx = in[0].mi.dy = 32768;
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    pump_messages(300);
    SendInput(2, &in[1], sizeof(INPUT));
}

const char CANNOT_SAVE[] = "ユーザー情報が出力できません";

}  // namespace

TEST(BasicSettings, EveryControlShowsItsOwnFieldAndOkStoresEachIntoItsOwn)
{
    const BasicValues first{1, 11, 22, 1, 0, 0, 33, 44, -55, 66, -77};
    const BasicValues second{0, 101, -102, 0, 1, 0, 93, -104, 105, -106, 107};
    const BasicValues third{1, 7, 8, 0, 0, 1, 9, 10, -11, 12, -13};
    Bytes start = default_settings_file();
    put_basic(start, first);
    for (size_t i = 0; i < 52; i++)
        start[AT(reserved_d16) + i] = (unsigned char)(0xA0 + i);
    Session s("basic-every-control", start);
    HWND dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    {
        SCOPED_TRACE("shown from the first values");
        expect_basic_shown(dlg, first);
    }
    enter_basic(dlg, second);
    Bytes before = s.ini();
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes ini = wait_settings_changed(s.dir, before);
    {
        SCOPED_TRACE("stored from the second values");
        expect_basic_stored(ini, second);
    }
    EXPECT_TRUE(std::equal(&ini[AT(reserved_d16)], &ini[AT(reserved_d16)] + 52,
                           &start[AT(reserved_d16)]))
        << "the reserved bytes were not kept";

    dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    {
        SCOPED_TRACE("shown from the second values");
        expect_basic_shown(dlg, second);
    }
    enter_basic(dlg, third);
    // Another program changes the file while the dialog is open: OK reads it again first.
    Bytes other = s.ini();
    put_i32(other, AT(output_device), 2);
    put_i32(other, AT(auto_hour), 17);
    put_i32(other, AT(brightness), 200);
    write_file(ini_path(s.dir), other);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    ini = wait_settings_changed(s.dir, other);
    {
        SCOPED_TRACE("stored from the third values");
        expect_basic_stored(ini, third);
    }
    EXPECT_EQ(i32_at(ini, AT(output_device)), 2) << "the other program's change was lost";
    EXPECT_EQ(i32_at(ini, AT(auto_hour)), 17) << "the other program's change was lost";
    EXPECT_TRUE(s.k.close());
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
    EXPECT_EQ(open_message_box(s.k, 500), (HWND)NULL) << "the area was checked";
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
    HWND area = NULL;
    for (DWORD t = GetTickCount(); !area && GetTickCount() - t < 10000; pump_messages(50))
        area = FindWindowA("MOUSEWIN", NULL);
    ASSERT_TRUE(area) << "no area selection followed";
    pump_messages(500);
    right_click_middle_of_screen();
    EXPECT_TRUE(wait_gone(area));
    pump_messages(500);
    EXPECT_EQ(s.ini(), ini);
    EXPECT_TRUE(s.k.close());
}

TEST(SettingsFile, HeldOpenByAnotherProgramEverySaveSaysSoAndTheFileAndProgramSurvive)
{
    Bytes start = default_settings_file();
    put_i32(start, AT(window_show_cmd), SW_SHOWNORMAL);
    Session s("settings-held", start);
    HWND main = s.k.main_window();
    ASSERT_TRUE(main);
    pump_messages(1000);
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
        pump_messages(300);
        EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog closed";
        held.release();
        click(dlg, IDCANCEL);
        EXPECT_TRUE(wait_gone(dlg));
        EXPECT_EQ(s.ini(), before);
    }
    {
        SCOPED_TRACE("into the tray");
        HeldFile held(ini_path(s.dir));
        PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
        EXPECT_EQ(answer_box(s.k), CANNOT_SAVE);
        held.release();
        EXPECT_EQ(s.ini(), before);
    }
    EXPECT_FALSE(s.k.wait_exit(0)) << "the program ended";
    // Still working, now in the tray: a dialog opens and saves once the file is free.
    PostMessageA(main, WM_SYSCOMMAND, CMD_EXTENDED_SETTINGS, 0);
    HWND dlg = wait_dialog_titled(s.k, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(answer_box(s.k, 1000), "");
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(s.k.wait_exit(START_TIMEOUT_MS));
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

TEST(BasicSettings, F1OnTheFocusedControlOpensItsHint)
{
    Session s("basic-f1", default_settings_file());
    HWND dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    pump_messages(500);
    SetForegroundWindow(dlg);
    press_keys({VK_F1});  // the focus starts on "等比印刷"
    HWND hint = wait_hint(s.k, dlg);
    ASSERT_TRUE(hint) << "no hint popup";
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE1),
              "チェックすると、画面と縦横の比率を合わせて印刷します");
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE2),
              "(プリンタードライバーによっては合わない場合があります)");
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE3), "");
    pause_ms(1500);
    EXPECT_TRUE(IsWindowVisible(hint)) << "no close time set: it stays";
    click(hint, IDOK);
    EXPECT_TRUE(wait_gone(hint));
    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(s.k.close());
}

TEST(HotkeySetup, TheSameKeyTwiceFailsTheLaterRowOnlyAndOkStaysOpen)
{
    Session s("hotkey-twice", default_settings_file());
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
    EXPECT_EQ(answer_box(s.k, 1500), "") << "no other row failed, and not all succeeded";

    Bytes before = s.ini();
    click(dlg, IDOK);
    EXPECT_EQ(answer_box(s.k),
              "ホットキー(アクティブ画面コピー)の設定に失敗しました\n"
              "他のホットキーで既に使用されています");
    EXPECT_TRUE(IsWindowVisible(dlg)) << "OK stays open at the first failure";
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_mod)), 1);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_vk)), VK_SNAPSHOT);
    // Row 1 is installed now: nobody else can have Alt + Print Screen.
    EXPECT_FALSE(RegisterHotKey(NULL, 1, MOD_ALT, VK_SNAPSHOT));

    // A different key for row 2; the second OK must not trip over row 1 installed by the first.
    select_item(dlg, IDC_KEYS_ACTIVE_MOD, 2);
    click(dlg, IDOK);
    EXPECT_EQ(answer_box(s.k, 1500), "");
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
    EXPECT_EQ(answer_box(k, 1000), "");
    Bytes stored = wait_settings(
        dir, [](const Bytes& ini) { return i32_at(ini, AT(hotkey_full_mod)) == MOD_CONTROL; });
    EXPECT_EQ(i32_at(stored, AT(hotkey_full_mod)), MOD_CONTROL);
    EXPECT_EQ(i32_at(stored, AT(hotkey_full_vk)), VK_F9);
    pump_messages(500);
    press_keys({VK_CONTROL, VK_F9});
    Bytes bmp = wait_for_bmp(dir + "\\OUT.BMP", 20000);
    ASSERT_GE(bmp.size(), 54u) << "Ctrl+F9 made no copy";
    EXPECT_EQ(i32_at(bmp, 18), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_TRUE(k.close());
}

TEST(HotkeySetup, DefaultsThenCancelKeepsTheStoredKeysAndInstallsThem)
{
    // Shift (flags 4) and F13 are stored but offered by no list.
    Bytes start = with_hotkeys(default_settings_file(), MOD_SHIFT, VK_F13);
    Session s("hotkey-cancel", start);
    HWND dlg = open_from_system_menu(s.k, CMD_HOTKEY_SETUP, HOTKEY_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_MOD), -1);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_KEY), -1);
    click(dlg, IDC_KEYS_DEFAULTS);
    pump_messages(300);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_MOD), 0);
    EXPECT_EQ(selected_item(dlg, IDC_KEYS_FULL_KEY), 0);
    Bytes before = s.ini();
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(answer_box(s.k, 1000), "");
    EXPECT_EQ(s.ini(), before);
    EXPECT_FALSE(RegisterHotKey(NULL, 1, MOD_SHIFT, VK_F13)) << "Cancel did not re-install";
    EXPECT_FALSE(RegisterHotKey(NULL, 2, MOD_ALT, 'P'));
    EXPECT_TRUE(s.k.close());
}

TEST(HotkeySetup, OkWithoutSelectionStoresUnknown)
{
    Session s("hotkey-unknown", with_hotkeys(default_settings_file(), MOD_SHIFT, VK_SNAPSHOT));
    HWND dlg = open_from_system_menu(s.k, CMD_HOTKEY_SETUP, HOTKEY_CAPTION);
    ASSERT_TRUE(dlg);
    Bytes before = s.ini();
    click(dlg, IDOK);
    Bytes ini = wait_settings_changed(s.dir, before);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_mod)), -1);
    EXPECT_EQ(i32_at(ini, AT(hotkey_full_vk)), VK_SNAPSHOT);
    // Whether the system takes -1 as modifier flags is its own affair; answer what comes.
    if (!answer_box(s.k, 2000).empty()) {
        click(dlg, IDCANCEL);
        answer_box(s.k, 2000);
    }
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(s.k.close());
}

TEST(UsageBox, ShowsTheDefaultKeysWhateverIsConfigured)
{
    Session s("usage", with_hotkeys(default_settings_file(), MOD_CONTROL, VK_F9));
    HWND dlg = open_from_system_menu(s.k, CMD_USAGE, "使用方法");
    ASSERT_TRUE(dlg);
    std::string texts;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        texts += window_text(c) + "\n";
    EXPECT_NE(texts.find(" [Print Screen] キーで画面のハードコピーの印刷をします"), std::string::npos);
    EXPECT_NE(texts.find(" Drag&&Drop による連続印刷の中止は [Alt]+{P] です"), std::string::npos);
    EXPECT_NE(texts.find("Windows NT 3.51"), std::string::npos);
    press_key(GetDlgItem(dlg, IDOK), VK_ESCAPE);
    EXPECT_TRUE(wait_gone(dlg)) << "Escape closes the usage box";
    EXPECT_TRUE(s.k.close());
}

namespace {

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
    int count = (int)SendMessageA(list, CB_GETCOUNT, 0, 0);
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

TEST(ExtendedSettings, ATitleFontInRedIsStoredByOkAndACancelledChoiceChangesNothing)
{
    // Copies go to a file, so that one taken while the dialog is open is seen to be done.
    Bytes start = output_settings(fresh_work_dir("extended-font"), 1, 0, 1);
    put_i32(start, AT(timestamp_color), 0x123456);
    Session s("extended-font", start);
    HWND dlg = open_from_system_menu(s.k, CMD_EXTENDED_SETTINGS, EXTENDED_CAPTION);
    ASSERT_TRUE(dlg);

    click(dlg, IDC_EXT_TIMESTAMP_FONT);
    HWND fonts = wait_font_dialog(s.k, dlg);
    ASSERT_TRUE(fonts) << "no font dialog";
    EXPECT_EQ(GetWindow(fonts, GW_OWNER), s.k.main_window());
    click(fonts, IDCANCEL);
    ASSERT_TRUE(wait_gone(fonts));
    EXPECT_EQ(answer_box(s.k, 500), "") << "cancel is silent";

    click(dlg, IDC_EXT_TITLE_FONT);
    fonts = wait_font_dialog(s.k, dlg);
    ASSERT_TRUE(fonts);
    pump_messages(300);
    ASSERT_TRUE(pick_colour(fonts, RGB(255, 0, 0))) << "no red in the list";
    Bytes before = s.ini();
    click(fonts, IDOK);
    ASSERT_TRUE(wait_gone(fonts));
    pause_ms(500);
    EXPECT_EQ(s.ini(), before) << "the font is saved only by OK";
    // A copy reloads the record from the file; the choice made in the open dialog stays.
    press_keys({VK_SNAPSHOT});
    EXPECT_GE(wait_for_bmp(s.dir + "\\OUT.BMP", 20000).size(), 54u) << "no copy";

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

// The basic settings dialog SETTING, driven from outside: opened through the system menu, its
// controls set as a user would set them, and the settings file read afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "app/hint_popup.h"
#include "base/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"
#include "tests/system/settings_dialogs_win.h"

namespace {

#define AT(field) offsetof(SettingsRecord, field)

void scroll(HWND dlg, int bar, int code, int thumb = 0)
{
    SendMessageA(dlg, WM_HSCROLL, MAKEWPARAM(code, thumb), (LPARAM)GetDlgItem(dlg, bar));
}


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

// The focused control of the thread that owns `hwnd`.
HWND focus_of(HWND hwnd)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, NULL), &info);
    return info.hwndFocus;
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
    ASSERT_TRUE(s.k.idle()) << "the reset was not taken";
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BRIGHTNESS_VALUE), "0");
    EXPECT_EQ(control_text(dlg, IDC_BASIC_BLUE_VALUE), "0");
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    ASSERT_TRUE(s.k.idle());
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
    ASSERT_TRUE(s.k.idle()) << "the entries were not taken";
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
    ASSERT_TRUE(s.k.idle()) << "the entries were not taken";
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


// F1 reaches the program as WM_HELP for the control with the focus where the system has the
// help key; NT 3.x has none, and there the program's own F1 filter opens the hint of the control
// under the pointer. The pointer rests on another control than the focus, so either way shows
// whose hint came, and only one may come: a second would follow the first at once.
TEST(BasicSettings, F1OpensOneHintOfTheFocusOrOnNt3OfTheControlUnderThePointer)
{
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    const bool system_has_help_key = v.dwMajorVersion >= 4;
    Session s("basic-f1", default_settings_file());
    ASSERT_TRUE(s.k.ready());
    HWND dlg = open_from_system_menu(s.k, CMD_BASIC_SETTINGS, BASIC_CAPTION);
    ASSERT_TRUE(dlg);
    // F1 goes to the focus of the active window: the dialog's, which starts on "等比印刷".
    SetForegroundWindow(dlg);
    HWND first = GetDlgItem(dlg, IDC_BASIC_PROPORTIONAL);
    for (DWORD t = GetTickCount(); GetTickCount() - t < (DWORD)DIALOG_TIMEOUT_MS; Sleep(20))
        if (GetForegroundWindow() == dlg && focus_of(dlg) == first)
            break;
    ASSERT_EQ(GetForegroundWindow(), dlg);
    ASSERT_EQ(focus_of(dlg), first);
    RECT invert;
    GetWindowRect(GetDlgItem(dlg, IDC_BASIC_INVERT), &invert);
    POINT over = {(invert.left + invert.right) / 2, (invert.top + invert.bottom) / 2};
    ASSERT_TRUE(SetCursorPos(over.x, over.y));
    press_keys({VK_F1});
    HWND hint = wait_hint(s.k, dlg);
    ASSERT_TRUE(hint) << "no hint popup";
    if (system_has_help_key) {
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE1),
                  "チェックすると、画面と縦横の比率を合わせて印刷します");
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE2),
                  "(プリンタードライバーによっては合わない場合があります)");
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE3), "");
    } else {
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE1), "チェックすると、画像の色を全て反転します");
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE2),
                  "ただし、タイトル印刷と印字時刻印刷の印字文字色には影響しません");
    }
    // What F1 left in the queue is handled before a request posted after it is answered.
    ASSERT_TRUE(s.k.taken_by_now());
    int hints = 0;
    for (HWND h : windows_of(s.k.pi.dwProcessId, "#32770", true))
        if (GetDlgItem(h, IDC_HINT_LINE1) && !(GetWindowLongA(h, GWL_STYLE) & WS_CAPTION))
            hints++;
    EXPECT_EQ(hints, 1) << "one F1, more than one hint";
    // Past the longest close time there is, and a second for its timer to come round.
    EXPECT_FALSE(wait_gone(hint, HINT_CLOSE_NORMAL_MS + 1000)) << "no close time set: it stays";
    click(hint, IDOK);
    EXPECT_TRUE(wait_gone(hint));
    ASSERT_TRUE(s.k.taken_by_now());
    EXPECT_FALSE(wait_hint(s.k, dlg, 0)) << "a second hint after the first closed";
    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(s.k.close());
}


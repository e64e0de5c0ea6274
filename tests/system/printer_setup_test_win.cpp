// The printer setup dialog SETPRINTER and the hint popup, driven from outside: the system
// command opens it, its buttons store the choice and a printer from the system's print setup
// dialog in KAVREL.INI, and help requests bring up hints by the pointer.
#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>
#include <winspool.h>

#include <algorithm>
#include <cstddef>

#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

namespace {

constexpr int CMD_PRINTER_SETUP = 2;
const char SETPRINTER_CAPTION[] = "プリンター設定";

// Settings file offsets the tests look at.
constexpr size_t OFF_DEVMODE = offsetof(SettingsRecord, printer_devmode);
constexpr size_t OFF_DM_SIZE = OFF_DEVMODE + offsetof(DEVMODEA, dmSize);
constexpr size_t OFF_DM_DRIVER_EXTRA = OFF_DEVMODE + offsetof(DEVMODEA, dmDriverExtra);
constexpr size_t OFF_DRIVER_EXTRA = offsetof(SettingsRecord, printer_driver_extra);
constexpr size_t OFF_DEVNAMES = offsetof(SettingsRecord, printer_devnames);
constexpr size_t OFF_HINT_CLOSE_TIME = offsetof(SettingsRecord, hint_close_time);
constexpr size_t OFF_DRIVER_NAME = offsetof(SettingsRecord, printer_driver_name);
constexpr size_t OFF_PRINTER_CHOICE = offsetof(SettingsRecord, printer_choice);

int u16_at(const Bytes& data, size_t offset)
{
    return data[offset] | (data[offset + 1] << 8);
}

void put_u16(Bytes& data, size_t offset, int value)
{
    data[offset] = (unsigned char)(value & 0xFF);
    data[offset + 1] = (unsigned char)((value >> 8) & 0xFF);
}

// The default printer as this process sees it: what "プリンター指定" then OK should store.
struct DefaultPrinter {
    Bytes devmode;      // the whole returned device mode
    Bytes devnames;     // the whole returned DEVNAMES
    std::string driver_path;
};

DefaultPrinter query_default_printer()
{
    DefaultPrinter p;
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgA(&pd))
        return p;
    auto* dm = static_cast<unsigned char*>(GlobalLock(pd.hDevMode));
    p.devmode.assign(dm, dm + GlobalSize(pd.hDevMode));
    GlobalUnlock(pd.hDevMode);
    auto* dn = static_cast<unsigned char*>(GlobalLock(pd.hDevNames));
    p.devnames.assign(dn, dn + GlobalSize(pd.hDevNames));
    GlobalUnlock(pd.hDevNames);
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);

    HANDLE printer = NULL;
    if (OpenPrinterA((char*)p.devmode.data(), &printer, NULL)) {
        DWORD needed = 0;
        GetPrinterDriverA(printer, NULL, 2, NULL, 0, &needed);
        Bytes info(needed);
        if (GetPrinterDriverA(printer, NULL, 2, info.data(), needed, &needed))
            p.driver_path = reinterpret_cast<DRIVER_INFO_2A*>(info.data())->pDriverPath;
        ClosePrinter(printer);
    }
    return p;
}

// The settings file once the printer choice saved is `choice`.
Bytes choice_saved(const std::string& dir, int32_t choice)
{
    return wait_settings(
        dir, [&](const Bytes& ini) { return i32_at(ini, OFF_PRINTER_CHOICE) == choice; });
}

// Opens "プリンター指定" and waits for the system's print setup dialog over the main window.
HWND open_print_setup(const Kavrel& k, HWND setprinter)
{
    click(setprinter, IDC_PRINTER_CHOOSE);
    return wait_dialog(k, [&](HWND h) { return h != setprinter && !GetDlgItem(h, 0xFFFF); });
}

HWND focus_of(HWND hwnd)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, NULL), &info);
    return info.hwndFocus;
}

}  // namespace

TEST(PrinterSetupDialog, OpensOverTheMainWindowWithItsControls)
{
    std::string dir = fresh_work_dir("setprinter-look");
    Kavrel k(dir);
    HWND main = k.main_window();
    ASSERT_TRUE(main);
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg) << "no SETPRINTER";
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main)) << "not modal";

    EXPECT_EQ(control_text(dlg, IDC_PRINTER_STORED), "プリンターを指定");
    EXPECT_EQ(control_text(dlg, IDC_PRINTER_DEFAULT), "デフォルトのプリンターを使用");
    EXPECT_EQ(control_text(dlg, IDC_PRINTER_CHOOSE), "プリンター指定");
    EXPECT_EQ(control_text(dlg, IDOK), "登録");
    EXPECT_EQ(control_text(dlg, IDCANCEL), "ｷｬﾝｾﾙ");
    EXPECT_EQ(focus_of(dlg), GetDlgItem(dlg, IDOK));

    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(k.close());
}

TEST(PrinterSetupDialog, ChoiceIsSavedByRegisterAndSurvivesARestart)
{
    std::string dir = fresh_work_dir("setprinter-choice");
    {
        Kavrel k(dir);
        HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
        ASSERT_TRUE(dlg);
        EXPECT_TRUE(is_checked(dlg, IDC_PRINTER_STORED)) << "a first start uses the stored printer";
        EXPECT_FALSE(is_checked(dlg, IDC_PRINTER_DEFAULT));
        click(dlg, IDC_PRINTER_DEFAULT);
        click(dlg, IDOK);
        ASSERT_TRUE(wait_gone(dlg));
        ASSERT_TRUE(k.idle());
        EXPECT_FALSE(message_box_made(k));
        EXPECT_EQ(i32_at(choice_saved(dir, 2), OFF_PRINTER_CHOICE), 2);
        ASSERT_TRUE(k.close());
    }
    Kavrel k(dir);
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(is_checked(dlg, IDC_PRINTER_DEFAULT));
    EXPECT_FALSE(is_checked(dlg, IDC_PRINTER_STORED));

    // Cancel keeps what was saved, whatever the radios show.
    click(dlg, IDC_PRINTER_STORED);
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(i32_at(read_settings(dir), OFF_PRINTER_CHOICE), 2);

    dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(is_checked(dlg, IDC_PRINTER_DEFAULT)) << "cancel changed the choice in memory";
    click(dlg, IDC_PRINTER_STORED);
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    EXPECT_EQ(i32_at(choice_saved(dir, 1), OFF_PRINTER_CHOICE), 1);
    EXPECT_TRUE(k.close());
}

TEST(PrinterSetupDialog, ChosenPrinterIsStoredAsTheSystemDescribesIt)
{
    SKIP_WHERE_NOTHING_PRINTS();
    std::string printer = session_printer();
    ASSERT_FALSE(printer.empty())
        << "KAVREL_PRINTER is not set (run under scripts/wine-session.sh)";
    DefaultPrinter pdf = query_default_printer();
    ASSERT_GE(pdf.devmode.size(), 156u) << "no default printer";
    ASSERT_EQ((const char*)pdf.devmode.data(), printer);
    ASSERT_GE(pdf.devnames.size(), 8u);
    ASSERT_FALSE(pdf.driver_path.empty());

    std::string dir = fresh_work_dir("setprinter-choose");
    Kavrel k(dir);
    HWND main = k.main_window();
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);
    HWND setup = open_print_setup(k, dlg);
    ASSERT_TRUE(setup) << "no print setup dialog";
    EXPECT_EQ(GetWindow(setup, GW_OWNER), main) << "owned by the main window";
    EXPECT_TRUE(IsWindowEnabled(dlg)) << "SETPRINTER stays usable meanwhile";
    PostMessageA(setup, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(wait_gone(setup));

    Bytes ini = wait_settings(dir, [](const Bytes& d) { return d[OFF_DRIVER_NAME] != 0; });
    ASSERT_EQ(ini.size(), 5968u);
    ASSERT_TRUE(k.idle());
    HWND box = message_box_made(k);
    EXPECT_FALSE(box) << box_text(box);
    EXPECT_EQ((const char*)&ini[OFF_DEVMODE], printer);
    EXPECT_EQ(u16_at(ini, OFF_DM_SIZE), 156);
    EXPECT_TRUE(std::equal(ini.begin(), ini.begin() + 156, pdf.devmode.begin()))
        << "block A is not the system's device mode";
    int extra = u16_at(ini, OFF_DM_DRIVER_EXTRA);
    ASSERT_EQ((size_t)extra, pdf.devmode.size() - 156) << "dmDriverExtra";
    EXPECT_TRUE(std::equal(ini.begin() + OFF_DRIVER_EXTRA, ini.begin() + OFF_DRIVER_EXTRA + extra,
                           pdf.devmode.begin() + 156));
    for (size_t i = OFF_DRIVER_EXTRA + extra; i < OFF_DEVNAMES; i++)
        ASSERT_EQ(ini[i], 0) << "block B past the driver bytes, byte " << i;
    EXPECT_TRUE(std::equal(ini.begin() + OFF_DEVNAMES, ini.begin() + OFF_DEVNAMES + 8,
                           pdf.devnames.begin()))
        << "block C is not the head of the system's DEVNAMES";

    std::string driver = (const char*)&ini[OFF_DRIVER_NAME];
    EXPECT_EQ(driver, pdf.driver_path.substr(0, pdf.driver_path.find('.')));
    ASSERT_GE(driver.size(), 6u);
    EXPECT_EQ(driver.substr(driver.size() - 6), "wineps");
    EXPECT_EQ(i32_at(ini, OFF_PRINTER_CHOICE), 1) << "the radios are not read by this button";

    // Cancel after a successful choice keeps the new printer.
    ASSERT_TRUE(IsWindowVisible(dlg));
    click(dlg, IDCANCEL);
    ASSERT_TRUE(wait_gone(dlg));
    ASSERT_TRUE(k.close());
    ini = read_settings(dir);
    ASSERT_EQ(ini.size(), 5968u);
    EXPECT_EQ((const char*)&ini[0], printer);
}

TEST(PrinterSetupDialog, CancellingThePrintSetupChangesNothingUntilALaterSave)
{
    std::string dir = fresh_work_dir("setprinter-cancel");
    const Bytes before = default_settings_file();  // stored setup all zero, dmSize 0
    write_file(ini_path(dir), before);
    Kavrel k(dir);
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);
    HWND setup = open_print_setup(k, dlg);
    ASSERT_TRUE(setup);
    PostMessageA(setup, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(wait_gone(setup));
    ASSERT_TRUE(k.idle());
    HWND box = message_box_made(k);
    EXPECT_FALSE(box) << box_text(box);
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(read_settings(dir), before);

    // The size set before the dialog stays in memory and goes out with the next save.
    click(dlg, IDOK);
    ASSERT_TRUE(wait_gone(dlg));
    Bytes after = wait_settings_changed(dir, before);
    EXPECT_EQ(u16_at(after, OFF_DM_SIZE), 156);
    put_u16(after, OFF_DM_SIZE, 0);
    EXPECT_EQ(after, before) << "more than dmSize changed";
    EXPECT_TRUE(k.close());
}

TEST(HintPopup, ShowsTheControlsLinesByThePointerAndClosesOnEnterNotEscape)
{
    std::string dir = fresh_work_dir("hint-keys");
    Kavrel k(dir);
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);

    HelpRequest help(dlg, IDC_PRINTER_CHOOSE, 300, 200);
    HWND hint = wait_dialog_with_control(k, IDC_HINT_LINE1);
    ASSERT_TRUE(hint) << "no hint popup";
    EXPECT_EQ(GetWindow(hint, GW_OWNER), dlg);
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE1), "指定するプリンターを設定します。");
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE2), "プリンター設定ダイアログが表示されます。");
    EXPECT_EQ(control_text(hint, IDC_HINT_LINE3), "");
    EXPECT_EQ(control_text(hint, IDOK), "閉じる");
    RECT rc;
    GetWindowRect(hint, &rc);
    EXPECT_EQ(rc.left, 290);
    EXPECT_EQ(rc.top, 190);
    EXPECT_EQ(focus_of(hint), GetDlgItem(hint, IDOK));

    press_key(GetDlgItem(hint, IDOK), VK_ESCAPE);
    ASSERT_TRUE(k.idle());  // the popup's own loop answers after it has taken the key
    EXPECT_TRUE(IsWindowVisible(hint)) << "Escape closed the popup";
    EXPECT_FALSE(help.answered(0));
    press_key(GetDlgItem(hint, IDOK), VK_RETURN);
    EXPECT_TRUE(wait_gone(hint, 5000)) << "Enter did not close the popup";
    EXPECT_TRUE(help.answered(5000));
    EXPECT_TRUE(IsWindowVisible(dlg)) << "the popup took SETPRINTER with it";

    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(k.close());
}

TEST(HintPopup, NearTheLowerRightCornerSitsAboveAndLeftAndClosesOnAClick)
{
    std::string dir = fresh_work_dir("hint-corner");
    Kavrel k(dir);
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);
    int screen_w = GetSystemMetrics(SM_CXSCREEN);
    int screen_h = GetSystemMetrics(SM_CYSCREEN);
    {
        HelpRequest help(dlg, IDC_PRINTER_STORED, screen_w - 24, screen_h - 28);
        HWND hint = wait_dialog_with_control(k, IDC_HINT_LINE1);
        ASSERT_TRUE(hint);
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE1), "指定したプリンターで出力します。");
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE2), "");
        RECT rc;
        GetWindowRect(hint, &rc);
        EXPECT_EQ(rc.right, screen_w - 14);
        EXPECT_EQ(rc.bottom, screen_h - 18);
        EXPECT_GE(rc.left, 0);
        EXPECT_GE(rc.top, 0);

        // A click on the popup beside its button.
        PostMessageA(hint, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        PostMessageA(hint, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        EXPECT_TRUE(wait_gone(hint, 5000)) << "a click did not close the popup";
        EXPECT_TRUE(help.answered(5000));
    }
    {
        HelpRequest help(dlg, IDC_PRINTER_DEFAULT, 100, 100);
        HWND hint = wait_dialog_with_control(k, IDC_HINT_LINE1);
        ASSERT_TRUE(hint);
        EXPECT_EQ(control_text(hint, IDC_HINT_LINE1), "システムのデファルトプリンターで出力します。");
        click(hint, IDOK);
        EXPECT_TRUE(wait_gone(hint, 5000)) << "its button did not close the popup";
        EXPECT_TRUE(help.answered(5000));
    }
    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(k.close());
}

TEST(HintPopup, NoneForOtherControlsOrMenuItems)
{
    std::string dir = fresh_work_dir("hint-none");
    Kavrel k(dir);
    HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
    ASSERT_TRUE(dlg);
    for (int id : {IDOK, IDCANCEL}) {
        HelpRequest help(dlg, id, 300, 200);
        EXPECT_TRUE(help.answered(5000)) << "control " << id;
    }
    HelpRequest menu(dlg, IDC_PRINTER_CHOOSE, 300, 200, HELPINFO_MENUITEM);
    EXPECT_TRUE(menu.answered(5000)) << "a menu item's request";
    EXPECT_FALSE(wait_dialog_with_control(k, IDC_HINT_LINE1, 0));
    click(dlg, IDCANCEL);
    EXPECT_TRUE(wait_gone(dlg));
    EXPECT_TRUE(k.close());
}

// Timed from a moment no later than the program sets its timer (before the request that opens
// the popup) to one no earlier than the popup went (when the test sees it gone): that span is
// at least the set time however the machine is loaded, and at most the set time with the
// popup's opening and the test's noticing on top.
TEST(HintPopup, ClosesByItselfAfterTheSetTime)
{
    struct Case {
        int setting;
        int close_ms;
        int gone_by_ms;
    };
    const Case cases[] = {{2, 3000, 4500}, {1, 6000, 7500}};
    for (const Case& c : cases) {
        SCOPED_TRACE("hint_close_time " + std::to_string(c.setting));
        std::string dir = fresh_work_dir("hint-timer");
        Bytes ini = default_settings_file();
        put_i32(ini, OFF_HINT_CLOSE_TIME, c.setting);
        write_file(ini_path(dir), ini);
        Kavrel k(dir);
        HWND dlg = open_from_system_menu(k, CMD_PRINTER_SETUP, SETPRINTER_CAPTION);
        ASSERT_TRUE(dlg);
        DWORD asked = GetTickCount();
        HelpRequest help(dlg, IDC_PRINTER_CHOOSE, 300, 200);
        HWND hint = wait_dialog_with_control(k, IDC_HINT_LINE1);
        ASSERT_TRUE(hint);
        EXPECT_TRUE(wait_gone(hint, c.gone_by_ms + 5000)) << "never closed";
        int open_ms = (int)(GetTickCount() - asked);
        EXPECT_GE(open_ms, c.close_ms) << "closed too early";
        EXPECT_LE(open_ms, c.gone_by_ms) << "closed too late";
        EXPECT_TRUE(help.answered(5000));
        click(dlg, IDCANCEL);
        EXPECT_TRUE(wait_gone(dlg));
        EXPECT_TRUE(k.close());
    }
}

namespace {

// Prints the screen and waits for its page; the program's boxes meanwhile, answered.
std::vector<std::string> print_a_page(const std::string& dir, const Bytes& ini, bool* printed)
{
    write_file(ini_path(dir), ini);
    std::set<std::string> pdfs = printed_pdfs();
    Kavrel k(dir);
    EXPECT_TRUE(k.ready());
    press_keys({VK_SNAPSHOT});
    std::vector<std::string> boxes = answer_boxes_until_idle(k);
    std::string pdf = wait_for_new_pdf(pdfs, boxes.empty() ? 60000 : 0);
    *printed = !pdf.empty();
    if (*printed)
        DeleteFileA(pdf.c_str());
    EXPECT_TRUE(k.close());
    return boxes;
}

}  // namespace

// The device mode keeps 31 bytes of a printer's name. A printer of 40 characters still prints:
// as the stored printer (found again as the one whose name begins with those 31), and as the
// default printer (the print dialog names it whole).
TEST(LongPrinterName, APrinterOfFortyCharactersPrintsStoredAndAsTheDefault)
{
    SKIP_WHERE_NOTHING_PRINTS();
    const char* long_name = getenv("KAVREL_LONG_PRINTER");
    ASSERT_TRUE(long_name && strlen(long_name) == 40)
        << "KAVREL_LONG_PRINTER is not set (run under scripts/wine-session.sh)";
    const std::string printer = long_name;
    std::string dir = fresh_work_dir("long-printer-name");
    {
        SCOPED_TRACE("the stored printer");
        Bytes ini = output_settings(dir, 0, 0, 1);
        put_i32(ini, OFF_PRINTER_CHOICE, 1);
        memcpy(&ini[OFF_DEVMODE], printer.data(), 31);  // what the device mode keeps
        put_u16(ini, OFF_DM_SIZE, 156);
        bool printed = false;
        std::vector<std::string> boxes = print_a_page(dir, ini, &printed);
        EXPECT_TRUE(boxes.empty()) << boxes[0];
        EXPECT_TRUE(printed) << "no page";
    }
    {
        SCOPED_TRACE("the default printer");
        std::string session = session_printer();
        ASSERT_TRUE(SetDefaultPrinterA(printer.c_str())) << GetLastError();
        bool printed = false;
        std::vector<std::string> boxes =
            print_a_page(dir, output_settings(dir, 0, 0, 1), &printed);
        SetDefaultPrinterA(session.c_str());
        EXPECT_TRUE(boxes.empty()) << boxes[0];
        EXPECT_TRUE(printed) << "no page";
        Bytes ini = read_settings(dir);
        EXPECT_EQ(std::string((const char*)&ini[OFF_DEVMODE]), printer.substr(0, 31))
            << "the default printer was not the long-named one, or the stored record changed";
    }
}

// The main window as a user meets it: its system menu opened from the keyboard, and what its
// caption and status line say while an output runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <set>

#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

namespace {

constexpr int OUTPUT_TIMEOUT_MS = 30000;
const char IDLE_CAPTION[] = "Kavrel-DUX 2.07";

#define AT(field) offsetof(SettingsRecord, field)

// Opens the system menu as a user does, Alt+Space over the active main window, and picks an
// item by its mnemonic once the menu is up; false when it did not come up.
bool pick_from_system_menu(const Kavrel& k, HWND main, WORD mnemonic)
{
    SetForegroundWindow(main);
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != main && GetTickCount() - start < 5000)
        pump_messages(20);
    press_keys({VK_MENU, VK_SPACE});
    if (!wait_window(k.pi.dwProcessId, "#32768", true, 5000))
        return false;
    press_keys({mnemonic});
    return true;
}

bool status_line_has(HWND main, COLORREF colour)
{
    RECT rc;
    GetClientRect(main, &rc);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    const int w = 150, h = 20;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    bool found = false;
    const auto* px = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < w * h && !found; i++)
        found = abs(px[4 * i + 2] - GetRValue(colour)) < 30 &&
                abs(px[4 * i + 1] - GetGValue(colour)) < 30 &&
                abs(px[4 * i] - GetBValue(colour)) < 30;
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return found;
}

// The line is drawn by the program and reaches the screen in its own time: a state that lasts
// is waited for.
bool wait_status_line(HWND main, COLORREF colour)
{
    DWORD start = GetTickCount();
    while (!status_line_has(main, colour)) {
        if (GetTickCount() - start > 5000)
            return false;
        pump_messages(20);
    }
    return true;
}

// The client area of a window as the screen shows it, and where the pixels near one colour lie
// in it (their bounding box, rows and columns inclusive; `found` false when there are none).
struct Ink {
    int width = 0, height = 0;
    bool found = false;
    int left = 0, top = 0, right = -1, bottom = -1;
};

Ink ink_in_client(HWND hwnd, COLORREF colour)
{
    Ink ink;
    RECT rc;
    GetClientRect(hwnd, &rc);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    ink.width = rc.right;
    ink.height = rc.bottom;
    if (ink.width <= 0 || ink.height <= 0)
        return ink;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = ink.width;
    bi.bmiHeader.biHeight = -ink.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, ink.width, ink.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const unsigned char*>(bits);
    ink.left = ink.width;
    ink.top = ink.height;
    for (int y = 0; y < ink.height; y++)
        for (int x = 0; x < ink.width; x++) {
            const unsigned char* p = px + 4 * ((size_t)y * ink.width + x);
            if (abs(p[2] - GetRValue(colour)) < 60 && abs(p[1] - GetGValue(colour)) < 60 &&
                abs(p[0] - GetBValue(colour)) < 60) {
                ink.found = true;
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ink;
}

// Owns the clipboard, so that the next capture, which empties it, asks this window to let go.
// The copy request has loaded the settings by then, and nothing loads them again before the
// printer step: the settings file is taken here, without sharing, so that that step stops in
// its load message until the test lets the file go.
struct SettingsHeldFromCapture {
    static SettingsHeldFromCapture* current;
    std::string ini;
    HWND own = NULL;
    HANDLE held = INVALID_HANDLE_VALUE;

    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_DESTROYCLIPBOARD && current && current->held == INVALID_HANDLE_VALUE)
            current->held = CreateFileA(current->ini.c_str(), GENERIC_READ, 0, NULL,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    explicit SettingsHeldFromCapture(const std::string& ini_file) : ini(ini_file)
    {
        current = this;
        WNDCLASSA wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "KavrelClipboardOwner";
        RegisterClassA(&wc);
        own = CreateWindowExA(0, wc.lpszClassName, NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                              wc.hInstance, NULL);
    }
    // Whether the clipboard is now this window's.
    bool own_clipboard()
    {
        if (!own || !OpenClipboard(own))
            return false;
        EmptyClipboard();
        HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 2);
        if (text) {
            memcpy(GlobalLock(text), "x", 2);
            GlobalUnlock(text);
            SetClipboardData(CF_TEXT, text);
        }
        CloseClipboard();
        return GetClipboardOwner() == own;
    }
    void release()
    {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    }
    ~SettingsHeldFromCapture()
    {
        release();
        DestroyWindow(own);
        current = nullptr;
    }
};
SettingsHeldFromCapture* SettingsHeldFromCapture::current;

// Every caption the main window showed while the test waited, and the program's message box
// the test waited for (other than `not_this`), while it pumps this thread's messages: the
// clipboard owner above must answer the program at once.
HWND wait_box_noting_captions(const Kavrel& k, HWND main, std::set<std::string>& captions,
                              HWND not_this = NULL)
{
    DWORD start = GetTickCount();
    do {
        captions.insert(window_text(main));
        for (HWND box : windows_of(k.pi.dwProcessId, "#32770", true))
            if (box != not_this && is_message_box(box))
                return box;
        pump_messages(10);
    } while (GetTickCount() - start < (DWORD)OUTPUT_TIMEOUT_MS);
    return NULL;
}

// Minimised, the caption follows the copy: "ADJUST n%" and "waiting" from the capture, then the
// name of each output step as it runs.
bool caption_of_a_copy(const std::string& c, int device)
{
    return c == IDLE_CAPTION || c == "waiting" || c.rfind("ADJUST ", 0) == 0 ||
           (c == "SPOOL" && device != 1) || (c == "SAVE" && device != 0);
}

}  // namespace

TEST(SystemMenu, AltSpaceAndEachMnemonicOpenTheirDialogsAndBMovesIntoTheTray)
{
    std::string dir = fresh_work_dir("system-menu-keys");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    const struct {
        WORD key;
        const char* caption;
    } items[] = {{'U', "使用方法"},     {'P', "プリンター設定"}, {'T', "基本機能設定"},
                 {'V', "拡張機能"},     {'K', "キーセットアップ"}};
    for (const auto& item : items) {
        SCOPED_TRACE(item.caption);
        ASSERT_TRUE(pick_from_system_menu(k, main, item.key)) << "no system menu";
        HWND dlg = wait_dialog(k, [](HWND) { return true; }, 5000);
        ASSERT_TRUE(dlg) << "nothing opened";
        EXPECT_EQ(window_text(dlg), item.caption);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        if (window_text(dlg) == "使用方法")
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(wait_gone(dlg));
        ASSERT_TRUE(k.idle());
    }
    EXPECT_EQ(i32_at(read_settings(dir), AT(tray_mode)), 0);
    ASSERT_TRUE(pick_from_system_menu(k, main, 'B')) << "no system menu";
    DWORD start = GetTickCount();
    while (IsWindowVisible(main) && GetTickCount() - start < 5000)
        pump_messages(100);
    EXPECT_FALSE(IsWindowVisible(main)) << "B did not move the program into the tray";
    Bytes in_tray =
        wait_settings(dir, [](const Bytes& ini) { return i32_at(ini, AT(tray_mode)) == 1; });
    EXPECT_EQ(i32_at(in_tray, AT(tray_mode)), 1);
    EXPECT_FALSE(k.message_box(0));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(k.wait_exit(START_TIMEOUT_MS));
}

// Each output step is held in a message box of its own while the test looks: the file step
// by an output file the test holds open, the printer step by the settings file it holds (see
// SettingsHeldFromCapture). Both boxes come from inside the step, so the step's caption and
// the red line are what the program shows while that step runs.
TEST(StatusLine, MinimisedCaptionNamesEachOutputStepWhileItRunsAndTheShownLineIsRed)
{
    const char* const running[] = {"SPOOL", "SAVE", "SPOOL"};
    for (int device = 0; device < 3; device++) {
        for (bool minimised : {true, false}) {
            SCOPED_TRACE(std::string(running[device]) + (minimised ? " minimised" : " shown"));
            if (device != 1 && wine_cannot_print_here()) {
                printf("[   NOTE   ] %s: not tried, Wine prints nothing when it reports the "
                       "Windows 95 family\n", running[device]);
                continue;
            }
            const bool to_file = device != 0, to_printer = device != 1;
            std::string dir = fresh_work_dir("status-" + std::to_string(device));
            Bytes ini = output_settings(dir, device, 0, 1);  // the output file overwritten
            put_i32(ini, AT(window_show_cmd), minimised ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
            write_file(ini_path(dir), ini);
            std::set<std::string> pdfs = printed_pdfs();
            Kavrel k(dir);
            HWND main = k.ready();
            ASSERT_TRUE(main);
            ASSERT_EQ(IsIconic(main) != 0, minimised);
            if (!minimised) {
                EXPECT_TRUE(wait_status_line(main, RGB(0, 0, 250))) << "standby is blue";
            }
            SettingsHeldFromCapture settings_lock(ini_path(dir));
            if (to_printer) {
                ASSERT_TRUE(settings_lock.own_clipboard());
            }
            HANDLE output = INVALID_HANDLE_VALUE;
            if (to_file) {
                output = CreateFileA((numbered_output(dir, 0)).c_str(), GENERIC_WRITE, 0, NULL,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
                ASSERT_NE(output, INVALID_HANDLE_VALUE);
            }
            std::set<std::string> captions;
            auto expect_step_shown = [&](const char* step) {
                if (minimised) {
                    EXPECT_EQ(window_text(main), step) << "the running step is not named";
                } else {
                    EXPECT_TRUE(wait_status_line(main, RGB(250, 0, 0)))
                        << "the status line is not red while " << step << " runs";
                }
            };
            press_keys({VK_SNAPSHOT});
            HWND box = NULL;
            if (to_file) {
                box = wait_box_noting_captions(k, main, captions);
                ASSERT_TRUE(box) << "the held output file stopped nothing";
                EXPECT_EQ(box_text(box).rfind("出力ファイルが作成できません\n", 0), 0u)
                    << box_text(box);
                expect_step_shown("SAVE");
                CloseHandle(output);
                press_ok(box);
                ASSERT_TRUE(wait_gone(box));
                box = wait_box_noting_captions(k, main, captions);
                ASSERT_TRUE(box);
                EXPECT_EQ(box_text(box), "ファイル出力できませんでした");
                expect_step_shown("SAVE");
                press_ok(box);
                ASSERT_TRUE(wait_gone(box));
            }
            if (to_printer) {
                box = wait_box_noting_captions(k, main, captions);
                ASSERT_TRUE(box) << "the held settings file stopped nothing";
                ASSERT_NE(settings_lock.held, INVALID_HANDLE_VALUE)
                    << "the capture did not take the clipboard from the test";
                EXPECT_EQ(box_text(box), "ユーザー情報が取得できません\n<ERR=32>");
                expect_step_shown("SPOOL");
                settings_lock.release();
                press_ok(box);
                ASSERT_TRUE(wait_gone(box));
                std::string pdf = wait_for_new_pdf(pdfs, 60000);
                EXPECT_FALSE(pdf.empty()) << "the printer step did not go on";
                DeleteFileA(pdf.c_str());
            }
            ASSERT_TRUE(k.idle());
            captions.insert(window_text(main));
            for (const std::string& c : captions) {
                if (minimised) {
                    EXPECT_TRUE(caption_of_a_copy(c, device)) << c;
                } else {
                    EXPECT_EQ(c, IDLE_CAPTION) << "a shown window keeps its caption";
                }
            }
            EXPECT_EQ(window_text(main), IDLE_CAPTION);
            if (!minimised) {
                EXPECT_TRUE(wait_status_line(main, RGB(0, 0, 250))) << "back to standby";
            }
            EXPECT_FALSE(k.message_box(0));
            EXPECT_TRUE(k.close());
        }
    }
}

// On a display of any scale the status line is whole (the sessions at 144 and 192 DPI run this
// too): the window has the client area 180 x 42 gives at 96 DPI, scaled to the display, and
// the standby text lies inside it at its scaled size. A window moved to a display of another
// scale takes the rectangle the system suggests and draws the line at that scale.
TEST(StatusLine, IsWholeAtTheDisplaysScale)
{
    std::string dir = fresh_work_dir("status-dpi");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 0));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    HDC screen = GetDC(NULL);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    RECT window, client;
    GetWindowRect(main, &window);
    GetClientRect(main, &client);
    if (dpi == 96) {
        EXPECT_EQ(window.right - window.left, 180);
        EXPECT_EQ(window.bottom - window.top, 42);
    } else {
        RECT frame = {0, 0, 0, 0};
        ASSERT_TRUE(AdjustWindowRectExForDpi(&frame, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                             FALSE, 0, 96));
        long width_96 = 180 - (frame.right - frame.left);
        long height_96 = 42 - (frame.bottom - frame.top);
        EXPECT_NEAR(client.right, width_96 * dpi / 96, 1) << "at " << dpi << " DPI";
        EXPECT_NEAR(client.bottom, height_96 * dpi / 96, 1) << "at " << dpi << " DPI";
    }
    const COLORREF standby = RGB(0, 0, 250);
    auto whole_line = [&](int at_dpi, Ink* seen) {
        DWORD start = GetTickCount();
        do {
            *seen = ink_in_client(main, standby);
            // Capital letters of an 11-pixel font at 96 DPI are 7 or 8 pixels high.
            if (seen->found && seen->bottom - seen->top + 1 >= 6 * at_dpi / 96)
                break;
            pump_messages(20);
        } while (GetTickCount() - start < 5000);
        return seen->found && seen->top > 0 && seen->left > 0 && seen->bottom < seen->height - 1 &&
               seen->right < seen->width - 1 && seen->bottom - seen->top + 1 >= 6 * at_dpi / 96;
    };
    Ink ink;
    EXPECT_TRUE(whole_line(dpi, &ink))
        << "at " << dpi << " DPI the text's ink spans " << ink.left << "," << ink.top << " to "
        << ink.right << "," << ink.bottom << " of a " << ink.width << " x " << ink.height
        << " client area";

    // The message with its rectangle in the program's own memory, as the system sends it.
    const int new_dpi = dpi * 2;
    RECT suggested = {window.left, window.top, window.left + 2 * (window.right - window.left),
                      window.top + 2 * (window.bottom - window.top)};
    void* remote = VirtualAllocEx(k.pi.hProcess, NULL, sizeof suggested, MEM_COMMIT,
                                  PAGE_READWRITE);
    ASSERT_TRUE(remote);
    ASSERT_TRUE(WriteProcessMemory(k.pi.hProcess, remote, &suggested, sizeof suggested, NULL));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(main, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(new_dpi, new_dpi),
                                    (LPARAM)remote, SMTO_NORMAL, 10000, &answer));
    RECT moved;
    GetWindowRect(main, &moved);
    EXPECT_EQ(moved.right - moved.left, suggested.right - suggested.left);
    EXPECT_EQ(moved.bottom - moved.top, suggested.bottom - suggested.top);
    Ink larger;
    EXPECT_TRUE(whole_line(new_dpi, &larger))
        << "at " << new_dpi << " DPI the text's ink spans " << larger.left << "," << larger.top
        << " to " << larger.right << "," << larger.bottom << " of a " << larger.width << " x "
        << larger.height << " client area";
    EXPECT_GE(larger.right - larger.left, (ink.right - ink.left) * 3 / 2) << "drawn larger";
    VirtualFreeEx(k.pi.hProcess, remote, 0, MEM_RELEASE);
    EXPECT_TRUE(k.close());
}

// The notification-area icon of the real program, seen in the task bar of Wine's virtual
// desktop: system command 9 puts it there, a double click with the mouse brings the window
// back, and the choice outlives restarts.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/ids.h"
#include "settings/settings.h"
#include "tests/system/harness_win.h"

namespace {

constexpr size_t OFF_TRAY_MODE = offsetof(SettingsRecord, tray_mode);
constexpr size_t OFF_EXIT_AFTER_PRINT = offsetof(SettingsRecord, exit_after_print);
constexpr int WAIT_MS = 10000;

// The program's main window, shown or hidden.
HWND any_main_window(const Kavrel& k, int timeout_ms = START_TIMEOUT_MS)
{
    return wait_window(k.pi.dwProcessId, APP_TITLE, false, timeout_ms);
}

constexpr UINT TRAY_ICON_ID = 876;

// Asks the shell whether it holds the program's icon: a change of nothing to icon 876 of
// `main` succeeds only while that icon is in the notification area.
bool icon_in_tray(HWND main)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = main;
    nid.uID = TRAY_ICON_ID;
    nid.uFlags = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

bool wait_icon_in_tray(HWND main, bool present, int timeout_ms = WAIT_MS)
{
    DWORD start = GetTickCount();
    while (icon_in_tray(main) != present && GetTickCount() - start < (DWORD)timeout_ms)
        pump_messages(100);
    return icon_in_tray(main) == present;
}

// The right end of the task bar, where the shell draws its notification icons, as pixels.
struct TrayPixels {
    RECT area{};
    std::vector<uint32_t> pixels;
};

TrayPixels tray_pixels()
{
    TrayPixels shot;
    HWND bar = FindWindowA("Shell_TrayWnd", NULL);
    if (!bar)
        return shot;
    RECT rc;
    GetWindowRect(bar, &rc);
    shot.area = {rc.right - 64, rc.top, rc.right, rc.bottom};
    int w = shot.area.right - shot.area.left, h = shot.area.bottom - shot.area.top;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, shot.area.left, shot.area.top, SRCCOPY);
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    shot.pixels.assign(p, p + (size_t)w * h);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return shot;
}

// Where the task bar now differs from `empty`: the middle of the drawn icon, in screen
// coordinates, and how many pixels changed.
struct DrawnIcon {
    int changed = 0;
    POINT centre{};
};

DrawnIcon drawn_icon(const TrayPixels& empty)
{
    TrayPixels now = tray_pixels();
    DrawnIcon icon;
    if (now.pixels.size() != empty.pixels.size() || now.pixels.empty())
        return icon;
    int w = now.area.right - now.area.left;
    int left = w, right = -1, top = INT_MAX, bottom = -1;
    for (size_t i = 0; i < now.pixels.size(); i++) {
        if (((now.pixels[i] ^ empty.pixels[i]) & 0xFFFFFF) == 0)
            continue;
        int x = (int)(i % w), y = (int)(i / w);
        icon.changed++;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    if (icon.changed)
        icon.centre = {now.area.left + (left + right) / 2, now.area.top + (top + bottom) / 2};
    return icon;
}

// The task bar as it is once the shell has drawn the icon (`drawn`) or taken it away: the shell
// draws in its own time after the program's call.
DrawnIcon wait_drawn_icon(const TrayPixels& empty, bool drawn)
{
    DWORD start = GetTickCount();
    DrawnIcon icon = drawn_icon(empty);
    while ((icon.changed >= 20) != drawn && GetTickCount() - start < (DWORD)WAIT_MS) {
        pump_messages(50);
        icon = drawn_icon(empty);
    }
    return icon;
}

bool wait_visible(HWND hwnd, bool visible, int timeout_ms = WAIT_MS)
{
    DWORD start = GetTickCount();
    while ((IsWindowVisible(hwnd) != FALSE) != visible &&
           GetTickCount() - start < (DWORD)timeout_ms)
        pump_messages(50);
    return (IsWindowVisible(hwnd) != FALSE) == visible;
}

// The stored tray mode once it is `want`, or what the file says after WAIT_MS: the program
// saves right after it hides or shows its window, and a file read in the middle is cut short.
int32_t tray_mode_in_file(const std::string& dir, int32_t want)
{
    Bytes ini = wait_settings(
        dir, [&](const Bytes& d) { return i32_at(d, OFF_TRAY_MODE) == want; }, WAIT_MS);
    return i32_at(ini, OFF_TRAY_MODE);
}

enum class Click { Left, Right, Double };

// The mouse at `at` on the screen, clicked as a person would.
void click_icon(POINT at, Click how)
{
    int x = at.x, y = at.y;
    std::vector<INPUT> in;
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = (x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = (y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in.push_back(move);
    DWORD down = how == Click::Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    DWORD up = how == Click::Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    for (int i = 0; i < (how == Click::Double ? 2 : 1); i++) {
        INPUT press{};
        press.type = INPUT_MOUSE;
        press.mi.dwFlags = down;
        in.push_back(press);
        press.mi.dwFlags = up;
        in.push_back(press);
    }
    SendInput((UINT)in.size(), in.data(), sizeof(INPUT));
}

// Presses Print Screen until `path` holds a whole BMP file: a press that falls into the
// half second after the last output is lost by design, and a loaded machine stretches it.
Bytes print_screen_to(const std::string& path)
{
    Bytes bmp;
    for (int attempt = 0; attempt < 3 && bmp.size() < 54; attempt++) {
        press_keys({VK_SNAPSHOT});
        bmp = wait_for_bmp(path, 10000);
    }
    return bmp;
}

// Ends the program the way its Close item does, whether its window is shown or not.
bool close_program(const Kavrel& k)
{
    HWND main = any_main_window(k, 1000);
    if (!main)
        return false;
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    return k.wait_exit(START_TIMEOUT_MS);
}

}  // namespace

TEST(Tray, CommandNineMovesIntoTheNotificationAreaAndADoubleClickBringsTheWindowBack)
{
    std::string dir = fresh_work_dir("tray-round-trip");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    TrayPixels empty = tray_pixels();
    ASSERT_FALSE(empty.pixels.empty()) << "no task bar";
    {
        Kavrel k(dir);
        HWND main = k.ready();
        ASSERT_TRUE(main);
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_FALSE(icon_in_tray(main)) << "an icon before command 9";
        PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
        EXPECT_TRUE(wait_icon_in_tray(main, true)) << "no icon in the notification area";
        EXPECT_TRUE(wait_visible(main, false)) << "the window stayed";
        EXPECT_GE(wait_drawn_icon(empty, true).changed, 20) << "the task bar does not show the icon";
        EXPECT_EQ(tray_mode_in_file(dir, 1), 1);
        EXPECT_FALSE(k.message_box(0));
        ASSERT_TRUE(close_program(k));
    }
    // Whether the program removed its icon cannot be seen here: Wine's shell drops the icons
    // of a destroyed window by itself (tests/module/tray_icon_test_win.cpp looks before that).
    {
        Kavrel k(dir);
        HWND main = any_main_window(k);
        ASSERT_TRUE(main);
        ASSERT_TRUE(wait_icon_in_tray(main, true)) << "a restart did not come back in the tray";
        EXPECT_TRUE(wait_visible(main, false));
        DrawnIcon icon = wait_drawn_icon(empty, true);
        ASSERT_GE(icon.changed, 20) << "the task bar does not show the icon";
        ASSERT_TRUE(k.ready());

        // Single and right clicks are no way back. The shell passes each on to the program as
        // it takes the input; the program has ended what reached it once it answers.
        click_icon(icon.centre, Click::Left);
        click_icon(icon.centre, Click::Right);
        ASSERT_TRUE(k.idle());
        EXPECT_FALSE(IsWindowVisible(main)) << "a single or right click showed the window";
        EXPECT_TRUE(icon_in_tray(main));

        click_icon(icon.centre, Click::Double);
        EXPECT_TRUE(wait_visible(main, true)) << "a double click did not bring the window back";
        EXPECT_TRUE(wait_icon_in_tray(main, false)) << "the icon stayed";
        EXPECT_FALSE(IsIconic(main));
        EXPECT_EQ(tray_mode_in_file(dir, 0), 0);
        EXPECT_LT(wait_drawn_icon(empty, false).changed, 20)
            << "the task bar still shows the icon";
        ASSERT_TRUE(k.close());
    }
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main) << "the next start was not a window";
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(icon_in_tray(main));
    EXPECT_TRUE(k.close());
}

TEST(Tray, WindowIsHiddenAgainAfterEveryOutputAndTheProgramEndsFromTheTray)
{
    std::string dir = fresh_work_dir("tray-output");
    Bytes ini = output_settings(dir, 1, 1, 0);  // numbered files, the window hidden for copies
    put_i32(ini, OFF_TRAY_MODE, 1);
    write_file(ini_path(dir), ini);
    Kavrel k(dir);
    HWND main = any_main_window(k);
    ASSERT_TRUE(main);
    ASSERT_TRUE(wait_icon_in_tray(main, true));
    ASSERT_TRUE(wait_visible(main, false));
    ASSERT_TRUE(k.ready());

    for (int n : {0, 1}) {
        SCOPED_TRACE(numbered_output(dir, n));
        EXPECT_GE(print_screen_to(numbered_output(dir, n)).size(), 54u) << "no output";
        ASSERT_TRUE(k.idle());
        EXPECT_FALSE(IsWindowVisible(main)) << "the window stayed after the output";
        EXPECT_TRUE(icon_in_tray(main));
    }

    // The program ends by itself after an output, still in the tray.
    Bytes exit_ini = read_settings(dir);
    put_i32(exit_ini, OFF_EXIT_AFTER_PRINT, 1);
    write_file(ini_path(dir), exit_ini);
    bool ended = false;
    for (int attempt = 0; attempt < 3 && !ended; attempt++) {
        press_keys({VK_SNAPSHOT});
        ended = k.wait_exit(10000);
    }
    EXPECT_TRUE(ended) << "the exit after output did not come";
}

// A second start brings the running program back and ends: minimised, its window is restored
// and in front; in the notification area, it comes out as by a double click. The shells before
// Internet Explorer 4 send no "TaskbarCreated", so an icon a restarted shell lost stays lost:
// the test takes the icon away as such a shell would, and a second start is then the only way.
TEST(Tray, SecondStartBringsTheRunningProgramBackMinimisedOrInTheTray)
{
    std::string dir = fresh_work_dir("tray-second-start");
    write_file(ini_path(dir), output_settings(dir, 1, 0, 1));
    Kavrel k(dir);
    HWND main = k.ready();
    ASSERT_TRUE(main);
    auto start_again = [&] {
        Kavrel second(dir);
        DWORD code = 1;
        EXPECT_TRUE(second.wait_exit(START_TIMEOUT_MS, &code)) << "the second start stayed";
        EXPECT_EQ(code, 0u);
    };
    auto wait_restored = [&] {
        for (DWORD t = GetTickCount(); GetTickCount() - t < (DWORD)WAIT_MS; pump_messages(50))
            if (IsWindowVisible(main) && !IsIconic(main) && GetForegroundWindow() == main)
                break;
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_FALSE(IsIconic(main)) << "still minimised";
        EXPECT_EQ(GetForegroundWindow(), main) << "not in front";
    };
    {
        SCOPED_TRACE("minimised");
        SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_TRUE(IsIconic(main));
        start_again();
        wait_restored();
    }
    {
        SCOPED_TRACE("in the tray, the icon lost");
        PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
        ASSERT_TRUE(wait_icon_in_tray(main, true));
        ASSERT_TRUE(wait_visible(main, false));
        EXPECT_EQ(tray_mode_in_file(dir, 1), 1);
        NOTIFYICONDATAA nid{};
        nid.cbSize = sizeof nid;
        nid.hWnd = main;
        nid.uID = TRAY_ICON_ID;
        ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
        ASSERT_TRUE(k.idle());
        ASSERT_FALSE(IsWindowVisible(main)) << "no way back to test";
        start_again();
        wait_restored();
        EXPECT_FALSE(icon_in_tray(main));
        EXPECT_EQ(tray_mode_in_file(dir, 0), 0) << "as a double click, out of the tray for good";
    }
    {
        SCOPED_TRACE("in the tray, the icon there");
        PostMessageA(main, WM_SYSCOMMAND, CMD_TRAY, 0);
        ASSERT_TRUE(wait_icon_in_tray(main, true));
        ASSERT_TRUE(wait_visible(main, false));
        start_again();
        wait_restored();
        EXPECT_TRUE(wait_icon_in_tray(main, false)) << "the icon stayed";
        EXPECT_EQ(tray_mode_in_file(dir, 0), 0);
    }
    EXPECT_EQ(count_main_windows(), 1);
    EXPECT_FALSE(k.message_box(0));
    EXPECT_TRUE(k.close());
}

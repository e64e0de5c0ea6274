// The fixed area picked with the mouse: "画面指定" in the extended settings hands over to a
// popup over the whole screen, where a drag with the real mouse (SendInput) marks the area.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <thread>

#include "base/ids.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "tests/system/dialogs_win.h"
#include "tests/system/harness_win.h"

namespace {

#define AT(field) offsetof(SettingsRecord, field)

// The program's step between the selection's moves (its timers of 100 ms).
constexpr DWORD AREA_STEP_MS = 100;

void mouse(DWORD flags, int x = 0, int y = 0)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_MOVE) {
        in.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
        in.mi.dx = (x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = (y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &in, sizeof in);
    pause_ms(40);
}

// Moves the pointer and waits until the window system has it there, as a hand would rest before
// pressing; a press right after a move may otherwise be taken where the pointer was. (The
// position read back right is not enough: without the rest, a press was seen taken at the
// pointer's earlier place.)
void move_to(int x, int y)
{
    mouse(MOUSEEVENTF_MOVE, x, y);
    DWORD start = GetTickCount();
    POINT at{};
    while (GetCursorPos(&at) && (at.x != x || at.y != y) && GetTickCount() - start < 2000)
        mouse(MOUSEEVENTF_MOVE, x, y);
    pause_ms(200);
}

void drag(int x1, int y1, int x2, int y2)
{
    move_to(x1, y1);
    mouse(MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 8; i++)
        mouse(MOUSEEVENTF_MOVE, x1 + (x2 - x1) * i / 8, y1 + (y2 - y1) * i / 8);
    move_to(x2, y2);
    mouse(MOUSEEVENTF_LEFTUP);
}

HWND wait_area_window(int timeout_ms = 10000)
{
    DWORD start = GetTickCount();
    do {
        HWND hwnd = FindWindowA("MOUSEWIN", NULL);
        if (hwnd && IsWindowVisible(hwnd))
            return hwnd;
        Sleep(50);
    } while (GetTickCount() - start < (DWORD)timeout_ms);
    return NULL;
}

// Starts the area selection the way a user does, from the extended settings.
HWND start_selection(const Kavrel& k)
{
    HWND dlg = open_from_system_menu(k, CMD_EXTENDED_SETTINGS, "拡張機能");
    if (!dlg)
        return NULL;
    click(dlg, IDC_EXT_PICK_AREA);
    if (!wait_gone(dlg))
        return NULL;
    HWND area = wait_area_window();
    // Shown, and its thread back in its message loop: it takes the pointer from now on.
    if (area && !k.taken_by_now())
        return NULL;
    return area;
}

Bytes settings_with_area()
{
    Bytes ini = default_settings_file();
    put_i32(ini, AT(area_left), 10);
    put_i32(ini, AT(area_top), 20);
    put_i32(ini, AT(area_right), 30);
    put_i32(ini, AT(area_bottom), 40);
    return ini;
}

// A window of one colour, not topmost, painted by a thread of its own: the test's thread is
// waiting while the settings dialog closes over it, and the screen must show it again before
// the selection opens.
struct WindowBeneath {
    HWND hwnd = NULL;
    DWORD thread_id = 0;
    std::thread thread;
    WindowBeneath(int x, int y, int w, int h, COLORREF colour)
    {
        HANDLE shown = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread = std::thread([=] {
            thread_id = GetCurrentThreadId();
            hwnd = coloured_window(x, y, w, h, colour);
            SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            pump_messages(50);
            SetEvent(shown);
            MSG msg;
            while (GetMessageA(&msg, NULL, 0, 0) > 0)
                DispatchMessageA(&msg);
            DestroyWindow(hwnd);
        });
        WaitForSingleObject(shown, START_TIMEOUT_MS);
        CloseHandle(shown);
    }
    ~WindowBeneath()
    {
        while (!PostThreadMessageA(thread_id, WM_QUIT, 0, 0))
            Sleep(10);
        thread.join();
    }
};

// The screen as the popup shows it at `at`: the colour there once it is `colour`, or what it
// still is after a few seconds.
COLORREF screen_shows(POINT at, COLORREF colour)
{
    COLORREF shown = CLR_INVALID;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(50)) {
        HDC screen = GetDC(NULL);
        shown = GetPixel(screen, at.x, at.y);
        ReleaseDC(NULL, screen);
        if (shown == colour)
            break;
    }
    return shown;
}

}  // namespace

// The popup shows the screen as it was when the selection opened, a window beneath it
// included: under the desktop window manager (and under Wine) a popup that paints nothing
// shows black, and the user would drag blind.
TEST(AreaSelection, ADraggedRectangleIsStoredAfterYes)
{
    std::string dir = fresh_work_dir("area-drag");
    write_file(ini_path(dir), settings_with_area());
    Kavrel k(dir);
    ASSERT_TRUE(k.ready());
    const COLORREF beneath_colour = RGB(200, 40, 160);
    auto beneath = std::make_unique<WindowBeneath>(600, 400, 120, 90, beneath_colour);
    HWND area = start_selection(k);
    ASSERT_TRUE(area) << "no selection window";
    RECT rc;
    GetWindowRect(area, &rc);
    EXPECT_EQ(rc.right - rc.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rc.bottom - rc.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(screen_shows({660, 445}, beneath_colour), beneath_colour)
        << "the selection does not show the window beneath it";
    beneath.reset();

    drag(300, 260, 100, 120);  // dragged up and to the left: the corners still come in order
    HWND box = wait_dialog_titled(k, "範囲指定確認");
    ASSERT_TRUE(box) << "no confirmation";
    EXPECT_EQ(box_text(box),
              "指定 開始\n     X=100\n     Y=120\n指定 終了\n     X=300\n     Y=260\n\n"
              "この設定でいいですか？");
    EXPECT_FALSE(IsWindow(area)) << "the selection window is gone before the question";
    click(box, IDYES);
    ASSERT_TRUE(wait_gone(box));
    Bytes ini =
        wait_settings(dir, [](const Bytes& d) { return i32_at(d, AT(area_left)) == 100; });
    EXPECT_EQ(i32_at(ini, AT(area_left)), 100);
    EXPECT_EQ(i32_at(ini, AT(area_top)), 120);
    EXPECT_EQ(i32_at(ini, AT(area_right)), 300);
    EXPECT_EQ(i32_at(ini, AT(area_bottom)), 260);
    EXPECT_TRUE(k.close());
}

TEST(AreaSelection, NoStartsAgainAndARightClickLeavesTheAreaAsItWas)
{
    std::string dir = fresh_work_dir("area-cancel");
    write_file(ini_path(dir), settings_with_area());
    Kavrel k(dir);
    HWND area = start_selection(k);
    ASSERT_TRUE(area);
    Bytes saved = read_settings(dir);  // "画面指定" saved the dialog's values first

    drag(50, 60, 250, 160);
    HWND box = wait_dialog_titled(k, "範囲指定確認");
    ASSERT_TRUE(box);
    click(box, IDNO);
    ASSERT_TRUE(wait_gone(box));
    area = wait_area_window();
    ASSERT_TRUE(area) << "No did not start the selection again";
    ASSERT_TRUE(k.taken_by_now());

    // Released over a monitor left of and above this one, as the popup holding the mouse is
    // told it (one monitor here: the messages are posted): the corner stays on the screen.
    PostMessageA(area, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 260));
    PostMessageA(area, WM_LBUTTONUP, 0, MAKELPARAM(-40, -30));
    box = wait_dialog_titled(k, "範囲指定確認");
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box),
              "指定 開始\n     X=0\n     Y=0\n指定 終了\n     X=300\n     Y=260\n\n"
              "この設定でいいですか？");
    click(box, IDNO);
    ASSERT_TRUE(wait_gone(box));
    area = wait_area_window();
    ASSERT_TRUE(area);
    ASSERT_TRUE(k.taken_by_now());

    move_to(400, 300);
    mouse(MOUSEEVENTF_RIGHTDOWN);
    mouse(MOUSEEVENTF_RIGHTUP);
    EXPECT_TRUE(wait_gone(area));
    // The selection's end goes on one timer step after the window: past two steps, and with the
    // program answering after them, a question it asked would be up.
    for (DWORD gone = GetTickCount(); GetTickCount() - gone < 2 * AREA_STEP_MS;)
        Sleep(10);
    ASSERT_TRUE(k.taken_by_now());
    EXPECT_FALSE(wait_dialog_titled(k, "範囲指定確認", 0)) << "a right click asks nothing";
    Bytes ini = read_settings(dir);
    EXPECT_EQ(ini, saved);
    EXPECT_EQ(i32_at(ini, AT(area_left)), 10);
    EXPECT_EQ(i32_at(ini, AT(area_bottom)), 40);
    EXPECT_TRUE(k.close());
}

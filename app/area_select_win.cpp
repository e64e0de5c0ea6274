// Area selection: a popup over the whole screen with an inverting rubber band. It shows the
// screen as it was when the selection opened: from a copy taken then, since under the desktop
// window manager a window that paints nothing shows black, not what lies beneath it.
#include "app/area_select_win.h"

#include "app/area_select.h"
#include "app/shell_win.h"
#include "app/status.h"
#include "base/ids.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

const char AREA_WINDOW_CLASS[] = "MOUSEWIN";
static const unsigned AREA_STEP_MS = 100;

static HWND area_window;
static int area_anchor_x, area_anchor_y;
static int area_current_x, area_current_y;
static int area_dragging;
static int area_done;
// The screen the popup covers, and its copy while the popup lives (NULL when it could not be
// made: the popup then paints nothing, as it did on every system once).
static int area_width, area_height;
static HDC screen_copy;
static HBITMAP screen_copy_bitmap;
static HGDIOBJ screen_copy_default;

static void release_screen_copy()
{
    if (screen_copy) {
        SelectObject(screen_copy, screen_copy_default);
        DeleteDC(screen_copy);
    }
    if (screen_copy_bitmap)
        DeleteObject(screen_copy_bitmap);
    screen_copy = NULL;
    screen_copy_bitmap = NULL;
}

static void take_screen_copy(HDC screen)
{
    release_screen_copy();
    screen_copy_bitmap = CreateCompatibleBitmap(screen, area_width, area_height);
    if (!screen_copy_bitmap)
        return;
    screen_copy = CreateCompatibleDC(screen);
    if (!screen_copy) {
        release_screen_copy();
        return;
    }
    screen_copy_default = SelectObject(screen_copy, screen_copy_bitmap);
    BitBlt(screen_copy, 0, 0, area_width, area_height, screen, 0, 0, SRCCOPY);
}

// The pointer's place in the popup, kept on the screen it covers.
static void take_point(LPARAM lp, int* x, int* y)
{
    *x = (int)area_coordinate(LOWORD(lp), area_width);
    *y = (int)area_coordinate(HIWORD(lp), area_height);
}

// Drawn twice at the same place, the band restores what was under it.
static void draw_band(HDC dc)
{
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    int old_mode = SetROP2(dc, R2_NOT);
    Rectangle(dc, area_anchor_x, area_anchor_y, area_current_x, area_current_y);
    SetROP2(dc, old_mode);
    SelectObject(dc, old_brush);
}

static void draw_band(HWND hwnd)
{
    HDC dc = GetDC(hwnd);
    draw_band(dc);
    ReleaseDC(hwnd, dc);
}

// Ends the popup; the main window goes on with `timer` (confirm or cancel).
static void end_selection(HWND hwnd, int timer)
{
    SetTimer(main_window, timer, AREA_STEP_MS, NULL);
    DestroyWindow(hwnd);
}

static void on_button_down(HWND hwnd, LPARAM lp)
{
    take_point(lp, &area_current_x, &area_current_y);
    area_anchor_x = area_current_x;
    area_anchor_y = area_current_y;
    draw_band(hwnd);
    SetCapture(hwnd);
    SetCursor(LoadCursorA(NULL, IDC_CROSS));
    area_dragging = 1;
}

static void on_mouse_move(HWND hwnd, LPARAM lp)
{
    if (area_dragging != 1)
        return;
    SetCursor(LoadCursorA(NULL, IDC_CROSS));
    draw_band(hwnd);
    take_point(lp, &area_current_x, &area_current_y);
    draw_band(hwnd);
}

static void on_button_up(HWND hwnd, LPARAM lp)
{
    if (area_dragging != 1)
        return;
    draw_band(hwnd);
    ReleaseCapture();
    take_point(lp, &area_current_x, &area_current_y);
    area_dragging = 0;
    area_done = 1;
    end_selection(hwnd, TIMER_AREA_DONE);
}

static void on_right_button(HWND hwnd)
{
    if (area_dragging == 1) {
        area_dragging = 0;
        ReleaseCapture();
    }
    end_selection(hwnd, TIMER_AREA_CANCEL);
}

static void on_area_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (screen_copy)
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, screen_copy, ps.rcPaint.left, ps.rcPaint.top,
               SRCCOPY);
    if (area_done == 1) {
        RECT rc = {area_anchor_x, area_anchor_y, area_current_x, area_current_y};
        FillRect(dc, &rc, (HBRUSH)GetStockObject(BLACK_BRUSH));
    }
    if (area_dragging == 1)
        draw_band(dc);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK area_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_CREATE:
        area_dragging = 0;
        area_done = 0;
        return 0;
    case WM_LBUTTONDOWN:
        on_button_down(hwnd, lparam);
        return 0;
    case WM_MOUSEMOVE:
        on_mouse_move(hwnd, lparam);
        return 0;
    case WM_LBUTTONUP:
        on_button_up(hwnd, lparam);
        return 0;
    case WM_RBUTTONDOWN:
        on_right_button(hwnd);
        return 0;
    case WM_PAINT:
        on_area_paint(hwnd);
        return 0;
    case WM_DESTROY:
        release_screen_copy();
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

static void open_area_window()
{
    KillTimer(main_window, TIMER_AREA_START);
    main_state = SELECTING_AREA;
    refresh_status();
    HDC screen = GetDC(NULL);
    area_width = (int16_t)GetDeviceCaps(screen, HORZRES);
    area_height = (int16_t)GetDeviceCaps(screen, VERTRES);
    take_screen_copy(screen);
    ReleaseDC(NULL, screen);
    area_window = CreateWindowExA(0, AREA_WINDOW_CLASS, NULL, WS_POPUP | WS_VISIBLE, 0, 0,
                                  area_width, area_height, main_window, NULL, instance_handle,
                                  NULL);
    if (!area_window)
        release_screen_copy();
}

static void confirm_area()
{
    KillTimer(main_window, TIMER_AREA_DONE);
    AreaRect area =
        area_from_corners(area_anchor_x, area_anchor_y, area_current_x, area_current_y);
    char question[300];
    format_area_question(question, sizeof question, area);
    if (MessageBoxA(main_window, question, "範囲指定確認", MB_ICONQUESTION | MB_YESNO) != IDYES) {
        SetTimer(main_window, TIMER_AREA_START, AREA_STEP_MS, NULL);
        return;
    }
    if (load_settings() < 0)
        return;
    settings.area_left = area.left;
    settings.area_top = area.top;
    settings.area_right = area.right;
    settings.area_bottom = area.bottom;
    if (save_settings() == 0) {
        main_state = STANDBY;
        refresh_status();
    }
}

bool on_area_timer(UINT_PTR id)
{
    switch (id) {
    case TIMER_AREA_START:
        open_area_window();
        return true;
    case TIMER_AREA_DONE:
        confirm_area();
        return true;
    case TIMER_AREA_CANCEL:
        KillTimer(main_window, TIMER_AREA_CANCEL);
        main_state = STANDBY;
        refresh_status();
        return true;
    default:
        return false;
    }
}

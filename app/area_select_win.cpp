// Area selection: a transparent popup over the whole screen with an inverting rubber band; the
// screen as it was stays visible under it because the popup never erases its background.
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
    area_anchor_x = area_current_x = LOWORD(lp);
    area_anchor_y = area_current_y = HIWORD(lp);
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
    area_current_x = LOWORD(lp);
    area_current_y = HIWORD(lp);
    draw_band(hwnd);
}

static void on_button_up(HWND hwnd, LPARAM lp)
{
    if (area_dragging != 1)
        return;
    draw_band(hwnd);
    ReleaseCapture();
    area_current_x = LOWORD(lp);
    area_current_y = HIWORD(lp);
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
    int width = (int16_t)GetDeviceCaps(screen, HORZRES);
    int height = (int16_t)GetDeviceCaps(screen, VERTRES);
    ReleaseDC(NULL, screen);
    area_window = CreateWindowExA(0, AREA_WINDOW_CLASS, NULL, WS_POPUP | WS_VISIBLE, 0, 0, width,
                                  height, main_window, NULL, instance_handle, NULL);
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

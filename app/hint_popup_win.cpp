// The hint popup: three lines next to the pointer, closed by its button, Enter, a click or its
// timer. Escape leaves it open, so a key meant for the dialog below does not dismiss it.
#include "app/hint_popup_win.h"

#include <stdio.h>

#include "app/shell_win.h"
#include "res/resource.h"
#include "settings/settings.h"

HELPINFO help_request;
char hint_line1[HINT_LINE_BUF];
char hint_line2[HINT_LINE_BUF];
char hint_line3[HINT_LINE_BUF];

static void place_hint(HWND dlg)
{
    HDC dc = GetDC(dlg);
    int screen_w = GetDeviceCaps(dc, HORZRES);
    int screen_h = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(dlg, dc);
    RECT rc;
    GetWindowRect(dlg, &rc);
    HintPlace at = hint_position(help_request.MousePos.x, help_request.MousePos.y,
                                 rc.right - rc.left, rc.bottom - rc.top, screen_w, screen_h);
    SetWindowPos(dlg, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

static void on_hint_init(HWND dlg)
{
    SetDlgItemTextA(dlg, IDC_HINT_LINE1, hint_line1);
    SetDlgItemTextA(dlg, IDC_HINT_LINE2, hint_line2);
    SetDlgItemTextA(dlg, IDC_HINT_LINE3, hint_line3);
    place_hint(dlg);
    SetFocus(GetDlgItem(dlg, IDOK));
    unsigned close_ms = hint_close_ms(settings.hint_close_time);
    if (close_ms)
        SetTimer(dlg, TIMER_HINT_CLOSE, close_ms, NULL);
}

static void close_hint(HWND dlg)
{
    if (settings.hint_close_time > 0)
        KillTimer(dlg, TIMER_HINT_CLOSE);
    EndDialog(dlg, IDOK);
}

static INT_PTR CALLBACK hint_popup_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        on_hint_init(dlg);
        return FALSE;  // the focus is already on the close button
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK)
            close_hint(dlg);
        return TRUE;
    case WM_TIMER:
    case WM_LBUTTONDOWN:  // a click on the button itself arrives as IDOK
        close_hint(dlg);
        return TRUE;
    default:
        return FALSE;
    }
}

void open_hint_popup(HWND owner)
{
    DialogBoxParamA(instance_handle, "HELPDIALOG", owner, hint_popup_proc, 0);
}

static void set_line(char* line, const char* text)
{
    snprintf(line, HINT_LINE_BUF, "%s", text ? text : "");
}

void show_control_hint(HWND dialog, const HELPINFO* request, const ControlHint* table,
                       size_t count)
{
    help_request = *request;
    if (help_request.iContextType == HELP_FROM_MENU_ITEM)
        return;
    set_line(hint_line1, NULL);
    set_line(hint_line2, NULL);
    set_line(hint_line3, NULL);
    const ControlHint* hint = find_control_hint(table, count, help_request.iCtrlId);
    if (!hint)
        return;
    set_line(hint_line1, hint->line1);
    set_line(hint_line2, hint->line2);
    set_line(hint_line3, hint->line3);
    open_hint_popup(dialog);
}

INT_PTR dialog_message(const DialogHandlers& handlers, HWND dlg, UINT msg, WPARAM wparam,
                       LPARAM lparam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return handlers.init(dlg);
    case WM_COMMAND:
        handlers.command(dlg, LOWORD(wparam));
        return TRUE;
    case WM_HELP:
        show_control_hint(dlg, reinterpret_cast<const HELPINFO*>(lparam), handlers.hints,
                          handlers.hint_count);
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR CALLBACK usage_box_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(dlg, IDOK));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)
            EndDialog(dlg, LOWORD(wparam));
        return TRUE;
    default:
        return FALSE;
    }
}

void open_usage_box()
{
    DialogBoxParamA(instance_handle, "ABOUT", main_window, usage_box_proc, 0);
}

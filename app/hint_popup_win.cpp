// The hint popup: three lines next to the pointer, closed by its button, Enter, a click or its
// timer. Escape leaves it open, so a key meant for the dialog below does not dismiss it. And how
// every dialog of the program is opened: a template the system cannot make is said, and where
// the system sends no WM_HELP (NT 3.x: no title-bar "?", no help key) F1 asks for the hint.
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
    run_dialog("HELPDIALOG", owner, hint_popup_proc);
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

// The settings dialogs open now (a hint or a message box may stand over one), for the F1 hook.
struct OpenDialog {
    HWND dlg;
    const DialogHandlers* handlers;
};
static OpenDialog open_dialogs[4];
static int open_dialog_count;

static void opened(HWND dlg, const DialogHandlers& handlers)
{
    if (open_dialog_count < (int)(sizeof open_dialogs / sizeof open_dialogs[0]))
        open_dialogs[open_dialog_count++] = {dlg, &handlers};
}

static void closed(HWND dlg)
{
    for (int i = 0; i < open_dialog_count; i++) {
        if (open_dialogs[i].dlg == dlg) {
            open_dialogs[i] = open_dialogs[--open_dialog_count];
            return;
        }
    }
}

INT_PTR dialog_message(const DialogHandlers& handlers, HWND dlg, UINT msg, WPARAM wparam,
                       LPARAM lparam)
{
    switch (msg) {
    case WM_INITDIALOG:
        opened(dlg, handlers);
        return handlers.init(dlg);
    case WM_DESTROY:
        closed(dlg);
        return FALSE;
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
    run_dialog("ABOUT", main_window, usage_box_proc);
}

static const char DIALOG_FAILED[] = "ダイアログを開くことができません";

// Windows 95, NT 4.0 and later turn F1 into WM_HELP; NT 3.x has neither it nor the "?".
static bool system_sends_help()
{
    static int major;
    if (!major) {
        OSVERSIONINFOA info = {};
        info.dwOSVersionInfoSize = sizeof info;
        major = GetVersionExA(&info) ? (int)info.dwMajorVersion : 4;
    }
    return major >= 4;
}

// What a system with WM_HELP posts for F1 and turns into WM_HELP (not in the headers).
static constexpr UINT HELP_KEY_MESSAGE = 0x004D;

static HHOOK f1_hook;
static int f1_hook_users;

// The hint a request by F1 on the dialog below `hwnd` shows: of the control under the pointer,
// as the title bar's "?" picks it, else of the control with the focus, as WM_HELP names it.
static bool hint_by_f1(HWND hwnd)
{
    const OpenDialog* open = NULL;
    for (HWND h = hwnd; h && !open; h = GetParent(h))
        for (int i = 0; i < open_dialog_count; i++)
            if (open_dialogs[i].dlg == h)
                open = &open_dialogs[i];
    // A box or a hint over the dialog (which is disabled meanwhile) takes the key itself.
    if (!open || !IsWindowEnabled(open->dlg))
        return false;
    HWND dlg = open->dlg;
    HELPINFO request = {};
    request.cbSize = sizeof request;
    request.iContextType = HELPINFO_WINDOW;
    GetCursorPos(&request.MousePos);
    HWND control = WindowFromPoint(request.MousePos);
    while (control && control != dlg && GetParent(control) != dlg)
        control = GetParent(control);
    if (!control || control == dlg) {
        control = GetFocus();
        while (control && control != dlg && GetParent(control) != dlg)
            control = GetParent(control);
    }
    if (!control || control == dlg)
        return true;
    request.hItemHandle = control;
    request.iCtrlId = GetDlgCtrlID(control);
    // A system that reports 3.x and still has the help key (Wine) would open a second hint.
    MSG pending;
    while (PeekMessageA(&pending, NULL, HELP_KEY_MESSAGE, HELP_KEY_MESSAGE, PM_REMOVE)) {
    }
    show_control_hint(dlg, &request, open->handlers->hints, open->handlers->hint_count);
    return true;
}

static LRESULT CALLBACK f1_filter(int code, WPARAM wparam, LPARAM lparam)
{
    const MSG* msg = reinterpret_cast<const MSG*>(lparam);
    if (code == MSGF_DIALOGBOX && msg->message == WM_KEYDOWN && msg->wParam == VK_F1 &&
        hint_by_f1(msg->hwnd))
        return TRUE;
    return CallNextHookEx(f1_hook, code, wparam, lparam);
}

INT_PTR run_dialog(const char* name, HWND owner, DLGPROC proc)
{
    bool hook = !system_sends_help();
    if (hook && f1_hook_users++ == 0)
        f1_hook = SetWindowsHookExA(WH_MSGFILTER, f1_filter, NULL, GetCurrentThreadId());
    // -1, or 0 for an owner that is no window; none of the dialogs ends with 0 itself.
    INT_PTR result = DialogBoxParamA(instance_handle, name, owner, proc, 0);
    if (result == -1 || result == 0)
        show_step_error(DIALOG_FAILED, name);
    if (hook && --f1_hook_users == 0 && f1_hook) {
        UnhookWindowsHookEx(f1_hook);
        f1_hook = NULL;
    }
    return result;
}

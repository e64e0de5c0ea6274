// Helpers for the dialog tests; see dialogs_win.h.
#include "tests/system/dialogs_win.h"

#include <vector>

namespace {

DWORD WINAPI send_help(LPVOID arg)
{
    auto* request = static_cast<HelpRequest*>(arg);
    SendMessageA(request->dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&request->info));
    return 0;
}

}  // namespace

HWND wait_dialog(const Kavrel& k, const std::function<bool(HWND)>& match, int timeout_ms)
{
    DWORD start = GetTickCount();
    do {
        for (HWND hwnd : windows_of(k.pi.dwProcessId, "#32770", true)) {
            if (match(hwnd))
                return hwnd;
        }
        Sleep(50);
    } while (GetTickCount() - start < (DWORD)timeout_ms);
    return NULL;
}

HWND wait_dialog_titled(const Kavrel& k, const std::string& caption, int timeout_ms)
{
    return wait_dialog(k, [&](HWND h) { return window_text(h) == caption; }, timeout_ms);
}

HWND wait_dialog_with_control(const Kavrel& k, int id, int timeout_ms)
{
    return wait_dialog(k, [&](HWND h) { return GetDlgItem(h, id) != NULL; }, timeout_ms);
}

bool wait_gone(HWND hwnd, int timeout_ms)
{
    DWORD start = GetTickCount();
    do {
        if (!IsWindow(hwnd) || !IsWindowVisible(hwnd))
            return true;
        Sleep(50);
    } while (GetTickCount() - start < (DWORD)timeout_ms);
    return false;
}

HWND open_message_box(const Kavrel& k, int timeout_ms)
{
    return wait_dialog(k, [](HWND h) { return is_message_box(h); }, timeout_ms);
}

HWND open_from_system_menu(const Kavrel& k, int command, const std::string& caption)
{
    HWND main = k.main_window();
    if (!main)
        return NULL;
    PostMessageA(main, WM_SYSCOMMAND, command, 0);
    return wait_dialog_titled(k, caption);
}

std::string control_text(HWND dlg, int id)
{
    char text[512] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
}

void set_control_text(HWND dlg, int id, const std::string& text)
{
    SendDlgItemMessageA(dlg, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void select_item(HWND dlg, int id, int index)
{
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, (WPARAM)index, 0);
}

int selected_item(HWND dlg, int id)
{
    return (int)SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0);
}

bool is_checked(HWND dlg, int id)
{
    return SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void click(HWND dlg, int id)
{
    PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
}

void press_key(HWND hwnd, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

HelpRequest::HelpRequest(HWND dlg, int control, int x, int y, int context_type)
{
    info.cbSize = sizeof info;
    info.iContextType = context_type;
    info.iCtrlId = control;
    info.hItemHandle = GetDlgItem(dlg, control);
    info.MousePos.x = x;
    info.MousePos.y = y;
    dialog = dlg;
    thread = CreateThread(NULL, 0, send_help, this, 0, NULL);
}

HelpRequest::~HelpRequest()
{
    if (!thread)
        return;
    if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0)
        TerminateThread(thread, 1);
    CloseHandle(thread);
}

bool HelpRequest::answered(int timeout_ms) const
{
    return thread && WaitForSingleObject(thread, timeout_ms) == WAIT_OBJECT_0;
}

// Finding and working the program's dialogs from outside: by caption or by a control they
// hold, pressing their buttons and asking them for context help.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/system/harness_win.h"

constexpr int DIALOG_TIMEOUT_MS = 15000;

// The first visible dialog (#32770) of the program that `match` accepts, waiting for it.
HWND wait_dialog(const Kavrel& k, const std::function<bool(HWND)>& match,
                 int timeout_ms = DIALOG_TIMEOUT_MS);
HWND wait_dialog_titled(const Kavrel& k, const std::string& caption,
                        int timeout_ms = DIALOG_TIMEOUT_MS);
HWND wait_dialog_with_control(const Kavrel& k, int id, int timeout_ms = DIALOG_TIMEOUT_MS);
// True once the window no longer exists or is hidden.
bool wait_gone(HWND hwnd, int timeout_ms = DIALOG_TIMEOUT_MS);

// A message box (a dialog with the box's text line) of the program, waiting up to `timeout_ms`.
HWND open_message_box(const Kavrel& k, int timeout_ms = 0);

// Asks the main window for a system command, as its menu item would, and waits for the
// dialog with that caption.
HWND open_from_system_menu(const Kavrel& k, int command, const std::string& caption);

std::string control_text(HWND dlg, int id);
// Types into a control as WM_SETTEXT does, and picks an item of a drop-down list.
void set_control_text(HWND dlg, int id, const std::string& text);
void select_item(HWND dlg, int id, int index);
int selected_item(HWND dlg, int id);
bool is_checked(HWND dlg, int id);
// Presses a button as a click would; the dialog handles it in its own time.
void click(HWND dlg, int id);
// A key pressed while `hwnd` has the focus, as it arrives in the dialog's message loop.
void press_key(HWND hwnd, UINT vk);

// Sends WM_HELP for a control to a dialog, with the pointer at (x, y), from a thread of its
// own: the dialog answers only once the hint popup it opens has closed.
struct HelpRequest {
    HELPINFO info{};
    HWND dialog = NULL;
    HANDLE thread = NULL;
    HelpRequest(HWND dlg, int control, int x, int y, int context_type = HELPINFO_WINDOW);
    ~HelpRequest();
    HelpRequest(const HelpRequest&) = delete;
    HelpRequest& operator=(const HelpRequest&) = delete;
    // True once the dialog has answered the request.
    bool answered(int timeout_ms) const;
};

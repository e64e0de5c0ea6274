// The hint popup HELPDIALOG that the settings dialogs show for a control on a help request,
// and the usage box ABOUT.
#pragma once

#include <windows.h>

#include "app/hint_popup.h"

constexpr int HINT_LINE_BUF = 128;

// The request the popup is placed by, and the lines it shows; filled by the calling dialog.
extern HELPINFO help_request;
extern char hint_line1[HINT_LINE_BUF];
extern char hint_line2[HINT_LINE_BUF];
extern char hint_line3[HINT_LINE_BUF];

// Shows HELPDIALOG modally over `owner` with the current lines, next to help_request's pointer.
void open_hint_popup(HWND owner);

// A dialog's answer to WM_HELP: keeps the request, then shows the hint of the control it names
// from the dialog's table. Menu items and controls without a hint show nothing.
void show_control_hint(HWND dialog, const HELPINFO* request, const ControlHint* table,
                       size_t count);

// What a settings dialog does with the three messages they all handle alike.
struct DialogHandlers {
    INT_PTR (*init)(HWND dlg);          // the answer to WM_INITDIALOG
    void (*command)(HWND dlg, int id);  // a control, Enter or Escape
    const ControlHint* hints;           // WM_HELP: the dialog's hint table
    size_t hint_count;
};

// Dispatches WM_INITDIALOG, WM_COMMAND and WM_HELP; FALSE for anything else. A dialog open
// through it answers F1 where the system sends no WM_HELP (see run_dialog).
INT_PTR dialog_message(const DialogHandlers& handlers, HWND dlg, UINT msg, WPARAM wparam,
                       LPARAM lparam);

// Shows the usage box modally over the main window.
void open_usage_box();

// Shows the dialog template `name` modally over `owner`; DialogBoxParamA's result. A dialog the
// system cannot make is said in the step error box, the template's name as the step. Where the
// system sends no WM_HELP (NT 3.x), F1 in a dialog of dialog_message opens the hint meanwhile.
INT_PTR run_dialog(const char* name, HWND owner, DLGPROC proc);

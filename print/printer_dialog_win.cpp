// The printer setup dialog: the radio pair picks the printer every print job uses, and
// "プリンター指定" stores a printer chosen in the system's print setup dialog at once.
#include "print/printer_dialog_win.h"

#include <windows.h>

#include "app/hint_popup_win.h"
#include "base/process_win.h"
#include "print/printer_win.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

static const ControlHint PRINTER_HINTS[] = {
    {IDC_PRINTER_STORED, "指定したプリンターで出力します。", "", ""},
    {IDC_PRINTER_DEFAULT, "システムのデファルトプリンターで出力します。", "", ""},
    {IDC_PRINTER_CHOOSE, "指定するプリンターを設定します。",
     "プリンター設定ダイアログが表示されます。", ""},
};

static INT_PTR on_init(HWND dlg)
{
    CheckDlgButton(dlg, settings.printer_choice == 1 ? IDC_PRINTER_STORED : IDC_PRINTER_DEFAULT,
                   BST_CHECKED);
    SetFocus(GetDlgItem(dlg, IDOK));
    return FALSE;
}

// The print setup dialog is owned by the main window, so this dialog stays usable meanwhile.
static void on_choose()
{
    MessageBeep(MB_OK);
    if (choose_printer(1) == RESET_PRINTER_SETUP)
        choose_printer(RESET_PRINTER_SETUP);
}

static void on_register(HWND dlg)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    settings.printer_choice = IsDlgButtonChecked(dlg, IDC_PRINTER_STORED) == BST_CHECKED ? 1 : 2;
    if (save_settings() == 0)
        settings_busy = 0;
    EndDialog(dlg, IDOK);
}

static void on_command(HWND dlg, int id)
{
    switch (id) {
    case IDC_PRINTER_CHOOSE:
        on_choose();
        break;
    case IDOK:
        on_register(dlg);
        break;
    case IDCANCEL:
        EndDialog(dlg, IDCANCEL);
        break;
    default:
        break;
    }
}

static const DialogHandlers PRINTER_SETUP_HANDLERS = {
    on_init, on_command, PRINTER_HINTS, sizeof PRINTER_HINTS / sizeof PRINTER_HINTS[0]};

static INT_PTR CALLBACK printer_setup_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    return dialog_message(PRINTER_SETUP_HANDLERS, dlg, msg, wparam, lparam);
}

void open_printer_setup_dialog()
{
    run_dialog("SETPRINTER", main_window, printer_setup_proc);
}

// The mail hand-off: starting SendKDUX.EXE after a file output, and the dialog SETTING3.
#include "files/mail_win.h"

#include <windows.h>

#include "app/hint_popup_win.h"
#include "base/ids.h"
#include "base/process_win.h"
#include "files/mail.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

// Long enough for the mail sender to come up; it is not waited for beyond that.
static constexpr DWORD MAIL_IDLE_WAIT_MS = 10000;

// Launches whose notice has not gone out: launches less than a second apart restart the one
// timer, and each still gets its own notice when it runs out.
int mail_started;
static int notices_due;

int launch_mail_sender()
{
    if (settings.file_compression != 1)
        return 1;
    char module[MAIL_MODULE_BUF] = {0};
    char command[MAIL_COMMAND_BUF] = {0};
    if (!form_mail_command(module, sizeof module, command, sizeof command, program_dir,
                           settings.output_file_name))
        return -1;
    STARTUPINFOA startup = {};
    static_assert(sizeof startup == 68, "the start-up record of every Win32 system");
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(module, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return -1;
    WaitForInputIdle(process.hProcess, MAIL_IDLE_WAIT_MS);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    mail_started = 1;
    notices_due++;
    SetTimer(main_window, TIMER_MAIL_NOTIFY, MAIL_NOTIFY_MS, NULL);
    return 0;
}

static BOOL CALLBACK post_mail_notify(HWND window, LPARAM)
{
    PostMessageA(window, UM_MAIL_NOTIFY, 0, 0);
    return TRUE;
}

// Systems of the NT family drop private messages posted to HWND_BROADCAST without a word, so
// each top-level window is posted to in turn: what the broadcast did on the 95 family.
void post_mail_notification()
{
    for (; notices_due > 0; notices_due--)
        EnumWindows(post_mail_notify, 0);
}

bool mail_notification_due()
{
    return notices_due > 0;
}

static const ControlHint LINKED_APP_HINTS[] = {
    {IDC_MAIL_AFTER_OUTPUT, "SEND K-DUX を利用して、取得した画像やシステム情報をメールします。",
     "ただし、拡張機能で「ファイル出力」を選択している必要があります。", ""},
};

static INT_PTR on_init(HWND dlg)
{
    if (settings.mail_after_output == 1)
        CheckDlgButton(dlg, IDC_MAIL_AFTER_OUTPUT, BST_CHECKED);
    SetFocus(GetDlgItem(dlg, IDOK));
    return FALSE;
}

static void on_register(HWND dlg)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    settings.mail_after_output =
        IsDlgButtonChecked(dlg, IDC_MAIL_AFTER_OUTPUT) == BST_CHECKED ? 1 : 0;
    if (save_settings() == 0)
        settings_busy = 0;
    EndDialog(dlg, IDOK);
}

static void on_command(HWND dlg, int id)
{
    if (id == IDOK)
        on_register(dlg);
    else if (id == IDCANCEL)
        EndDialog(dlg, IDCANCEL);
}

static const DialogHandlers LINKED_APP_HANDLERS = {
    on_init, on_command, LINKED_APP_HINTS, sizeof LINKED_APP_HINTS / sizeof LINKED_APP_HINTS[0]};

static INT_PTR CALLBACK linked_app_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    return dialog_message(LINKED_APP_HANDLERS, dlg, msg, wparam, lparam);
}

void open_linked_app_dialog()
{
    run_dialog("SETTING3", main_window, linked_app_proc);
}

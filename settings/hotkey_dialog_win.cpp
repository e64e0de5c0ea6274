// The key setup dialog. The program has no hot keys while it is open, so that its own keys
// never stand in the way of a test; OK or Cancel installs them again.
#include "settings/hotkey_dialog_win.h"

#include <windows.h>
#include <stdio.h>

#include "app/hint_popup_win.h"
#include "base/ids.h"
#include "base/process_win.h"
#include "res/resource.h"
#include "settings/dialog_controls_win.h"
#include "settings/hotkeys.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

struct KeyRow {
    const Hotkey& hotkey;
    int modifier_combo;
    int key_combo;
    int test_button;
};

static const KeyRow ROWS[3] = {
    {HOTKEYS[0], IDC_KEYS_FULL_MOD, IDC_KEYS_FULL_KEY, IDC_KEYS_FULL_TEST},
    {HOTKEYS[1], IDC_KEYS_ACTIVE_MOD, IDC_KEYS_ACTIVE_KEY, IDC_KEYS_ACTIVE_TEST},
    {HOTKEYS[2], IDC_KEYS_CANCEL_MOD, IDC_KEYS_CANCEL_KEY, IDC_KEYS_CANCEL_TEST},
};

static const char WITH_KEY_ON_RIGHT[] = "右の指定したキーと共に押さなければならないキーを指定します。";
static const char WITH_KEY_ON_LEFT[] = "左の指定したキーと共に押さなければならないキーを指定します。";
static const char FULL_SETTING[] = "全画面コピー用に使用されるホットキーの設定です。";
static const char ACTIVE_SETTING[] = "アクティブ画面コピー用に使用されるホットキーの設定です。";
static const char CANCEL_SETTING[] = "複数ファイルのコピー出力用に使用されるホットキーの設定です。";

static const ControlHint KEY_HINTS[] = {
    {IDC_KEYS_FULL_TEST, "全画面コピー用に使用されるホットキーの登録テストをします。", "", ""},
    {IDC_KEYS_ACTIVE_TEST, "アクティブ画面コピー用に使用されるホットキーの登録テストをします。",
     "", ""},
    {IDC_KEYS_CANCEL_TEST, "複数ファイルのコピー出力用に使用されるホットキーの登録テストを",
     "します。", ""},
    {IDC_KEYS_ALL_TEST, "すべての使用されるホットキーの登録テストをします。", "", ""},
    {IDC_KEYS_FULL_MOD, FULL_SETTING, WITH_KEY_ON_RIGHT, ""},
    {IDC_KEYS_ACTIVE_MOD, ACTIVE_SETTING, WITH_KEY_ON_RIGHT, ""},
    {IDC_KEYS_CANCEL_MOD, CANCEL_SETTING, WITH_KEY_ON_RIGHT, ""},
    {IDC_KEYS_FULL_KEY, FULL_SETTING, WITH_KEY_ON_LEFT, ""},
    {IDC_KEYS_DEFAULTS, "デフォルトのホットキーの組合せに戻します。", "", ""},
    {IDC_KEYS_ACTIVE_KEY, ACTIVE_SETTING, WITH_KEY_ON_LEFT, ""},
    {IDC_KEYS_CANCEL_KEY, CANCEL_SETTING, WITH_KEY_ON_LEFT, ""},
};

static void remove_hotkeys()
{
    for (const Hotkey& h : HOTKEYS)
        UnregisterHotKey(main_window, h.id);
}

static void say_failed(const KeyRow& row)
{
    char text[200];
    snprintf(text, sizeof text, "%s\n%s", row.hotkey.failure_line, HOTKEY_IN_USE_TEXT);
    MessageBoxA(NULL, text, APP_TITLE, MB_ICONWARNING);
}

static void say_done(const char* text)
{
    MessageBoxA(NULL, text, APP_TITLE, MB_ICONINFORMATION);
}

// The row's combination as the combo boxes show it now.
static bool try_row(HWND dlg, const KeyRow& row)
{
    uint32_t mod = hotkey_modifier_flags(combo_index(dlg, row.modifier_combo));
    uint32_t vk = hotkey_key_code(combo_index(dlg, row.key_combo));
    return RegisterHotKey(main_window, row.hotkey.id, mod, vk) != 0;
}

// The stored combination of a row; on failure the row is named and its id freed.
static bool install_row(const KeyRow& row)
{
    if (RegisterHotKey(main_window, row.hotkey.id, settings.*row.hotkey.mod,
                       settings.*row.hotkey.vk))
        return true;
    say_failed(row);
    UnregisterHotKey(main_window, row.hotkey.id);
    return false;
}

static void select_row(HWND dlg, const KeyRow& row, uint32_t mod, uint32_t vk)
{
    select_combo(dlg, row.modifier_combo, hotkey_modifier_index(mod));
    select_combo(dlg, row.key_combo, hotkey_key_index(vk));
}

static INT_PTR on_init(HWND dlg)
{
    remove_hotkeys();
    const char* keys[HOTKEY_KEY_COUNT];
    for (int i = 0; i < HOTKEY_KEY_COUNT; i++)
        keys[i] = HOTKEY_KEYS[i].text;
    for (const KeyRow& row : ROWS) {
        fill_combo(dlg, row.modifier_combo, HOTKEY_MODIFIER_TEXTS, HOTKEY_MODIFIER_COUNT);
        fill_combo(dlg, row.key_combo, keys, HOTKEY_KEY_COUNT);
        select_row(dlg, row, settings.*row.hotkey.mod, settings.*row.hotkey.vk);
    }
    return TRUE;
}

static void on_test(HWND dlg, const KeyRow& row)
{
    if (!try_row(dlg, row)) {
        say_failed(row);
        return;
    }
    say_done(row.hotkey.success_line);
    UnregisterHotKey(main_window, row.hotkey.id);
}

// Rows stay installed until all are tried, so a row that repeats an earlier one fails.
static void on_all_test(HWND dlg)
{
    bool all = true;
    for (const KeyRow& row : ROWS) {
        if (!try_row(dlg, row)) {
            say_failed(row);
            all = false;
        }
    }
    remove_hotkeys();
    if (all)
        say_done(HOTKEY_ALL_SET_TEXT);
}

static void on_register(HWND dlg)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    for (const KeyRow& row : ROWS) {
        settings.*row.hotkey.mod = hotkey_modifier_flags(combo_index(dlg, row.modifier_combo));
        settings.*row.hotkey.vk = hotkey_key_code(combo_index(dlg, row.key_combo));
    }
    if (save_settings() != 0) {
        EndDialog(dlg, IDOK);
        return;
    }
    // Rows a previous OK left installed would otherwise collide with themselves.
    remove_hotkeys();
    for (const KeyRow& row : ROWS) {
        if (!install_row(row)) {
            settings_busy = 0;
            return;
        }
    }
    settings_busy = 0;
    EndDialog(dlg, IDOK);
}

static void on_cancel(HWND dlg)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    remove_hotkeys();
    for (const KeyRow& row : ROWS)
        install_row(row);
    settings_busy = 0;
    EndDialog(dlg, IDCANCEL);
}

static void on_command(HWND dlg, int id)
{
    switch (id) {
    case IDOK:
        on_register(dlg);
        return;
    case IDCANCEL:
        on_cancel(dlg);
        return;
    case IDC_KEYS_ALL_TEST:
        on_all_test(dlg);
        return;
    case IDC_KEYS_DEFAULTS:
        for (const KeyRow& row : ROWS)
            select_row(dlg, row, row.hotkey.default_mod, row.hotkey.default_vk);
        return;
    default:
        for (const KeyRow& row : ROWS)
            if (row.test_button == id)
                on_test(dlg, row);
        return;
    }
}

static const DialogHandlers HOTKEY_DIALOG_HANDLERS = {
    on_init, on_command, KEY_HINTS, sizeof KEY_HINTS / sizeof KEY_HINTS[0]};

static INT_PTR CALLBACK hotkey_dialog_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    return dialog_message(HOTKEY_DIALOG_HANDLERS, dlg, msg, wparam, lparam);
}

void open_hotkey_dialog()
{
    run_dialog("SETHOTKEY", main_window, hotkey_dialog_proc);
}

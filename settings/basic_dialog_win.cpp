// The basic settings dialog. It keeps no state of its own: the controls hold the values until
// OK, which reloads the file first so that only this dialog's fields change in it.
#include "settings/basic_dialog_win.h"

#include <windows.h>

#include "app/hint_popup_win.h"
#include "base/process_win.h"
#include "res/resource.h"
#include "settings/dialog_controls_win.h"
#include "settings/dialog_fields.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

// A margin is read from the first five characters typed.
constexpr size_t MARGIN_CHARS = 5;

struct CorrectionBar {
    int bar;
    int value_text;
    int32_t SettingsRecord::*field;
};

static const CorrectionBar CORRECTION_BARS[] = {
    {IDC_BASIC_BRIGHTNESS, IDC_BASIC_BRIGHTNESS_VALUE, &SettingsRecord::brightness},
    {IDC_BASIC_RED, IDC_BASIC_RED_VALUE, &SettingsRecord::red_level},
    {IDC_BASIC_GREEN, IDC_BASIC_GREEN_VALUE, &SettingsRecord::green_level},
    {IDC_BASIC_BLUE, IDC_BASIC_BLUE_VALUE, &SettingsRecord::blue_level},
};

static const char NO_TEXT_EFFECT[] = "タイトル印刷と印字時刻印刷の印字文字色には影響しません";
static const char DRIVER_MAY_DIFFER[] = "(プリンタードライバーによっては合わない場合があります)";
static const char TEXT_COLOUR_KEPT[] = "ただし、タイトル印刷と印字時刻印刷の印字文字色には影響しません";

static const ControlHint BASIC_HINTS[] = {
    {IDOK, "設定した各値を登録し,このダイアログを閉じます", "", ""},
    {IDCANCEL, "設定した各値を登録せずに,このダイアログを閉じます", "", ""},
    {IDC_BASIC_PROPORTIONAL, "チェックすると、画面と縦横の比率を合わせて印刷します",
     DRIVER_MAY_DIFFER, ""},
    {IDC_BASIC_FIT_TO_PAPER, "チェックすると、できるだけ用紙サイズに合わせて印刷します",
     DRIVER_MAY_DIFFER, ""},
    {IDC_BASIC_MARGIN_TOP, "用紙の印刷方向の上にしたとき",
     "上側の余白サイズ(ピクセル単位)を設定します", ""},
    {IDC_BASIC_MARGIN_LEFT, "用紙の印刷方向の上にしたとき",
     "左側の余白サイズ(ピクセル単位)を設定します", ""},
    {IDC_BASIC_INVERT, "チェックすると、画像の色を全て反転します", TEXT_COLOUR_KEPT, ""},
    {IDC_BASIC_BRIGHTNESS, "正の値を大きすると、画像が明るくなります",
     "負の値を大きすると、画像が暗くなります", NO_TEXT_EFFECT},
    {IDC_BASIC_THRESHOLD, "暗いの方に近づけると、全体が黒くなります。",
     "明るいの方に近づけると、全体が白くなります", "ほかのカラー設定は無視されます"},
    {IDC_BASIC_RED, "正の値を大きすると、画像の赤色を含む色の赤が強くなります",
     "負の値を大きすると、画像の赤色を含む色の赤が弱まります", NO_TEXT_EFFECT},
    {IDC_BASIC_GREEN, "正の値を大きすると、画像の緑色を含む色の緑が強くなります",
     "負の値を大きすると、画像の緑色を含む色の緑が弱まります", NO_TEXT_EFFECT},
    {IDC_BASIC_BLUE, "正の値を大きすると、画像の青色を含む色の青が強くなります",
     "負の値を大きすると、画像の青色を含む色の青が弱まります", NO_TEXT_EFFECT},
    {IDC_BASIC_RESET, "ブライトネスとR,G,B各補正レベルを ０に戻します", "", ""},
    {IDC_BASIC_BLACK_EMPHASIS, "チェックすると、画像の色で黒に近い色をもっと黒側に近づけます",
     TEXT_COLOUR_KEPT, ""},
    {IDC_BASIC_BINARIZE, "チェックすると、このボタンの下のスクロールバーで指定した",
     "レベルで白黒階調に変換します", ""},
};

static void set_bar(HWND dlg, int bar, int max, int position)
{
    SetScrollRange(GetDlgItem(dlg, bar), SB_CTL, 0, max, FALSE);
    SetScrollPos(GetDlgItem(dlg, bar), SB_CTL, position, TRUE);
}

static void set_correction(HWND dlg, const CorrectionBar& c, int32_t value)
{
    set_bar(dlg, c.bar, CORRECTION_BAR_MAX, value + CORRECTION_BAR_ZERO);
    set_dlg_number(dlg, c.value_text, "%d", value);
}

static INT_PTR on_init(HWND dlg)
{
    if (load_settings() < 0)
        return TRUE;
    bool proportional = settings.proportional_print == 1;
    set_dlg_check(dlg, IDC_BASIC_PROPORTIONAL, proportional);
    set_dlg_check(dlg, IDC_BASIC_FIT_TO_PAPER, !proportional);
    set_dlg_number(dlg, IDC_BASIC_MARGIN_TOP, "%d", settings.punch_margin_top);
    set_dlg_number(dlg, IDC_BASIC_MARGIN_LEFT, "%d", settings.punch_margin_left);
    set_dlg_check(dlg, IDC_BASIC_INVERT, settings.invert_image == 1);
    set_dlg_check(dlg, IDC_BASIC_BLACK_EMPHASIS, settings.black_emphasis == 1);
    set_dlg_check(dlg, IDC_BASIC_BINARIZE, settings.binarize == 1);
    for (const CorrectionBar& c : CORRECTION_BARS)
        set_correction(dlg, c, settings.*c.field);
    set_bar(dlg, IDC_BASIC_THRESHOLD, THRESHOLD_BAR_MAX, settings.binarize_threshold);
    SetFocus(GetDlgItem(dlg, IDC_BASIC_PROPORTIONAL));
    return FALSE;
}

static void on_scroll(HWND dlg, HWND bar, int code, int thumb)
{
    int id = GetDlgCtrlID(bar);
    if (id == IDC_BASIC_THRESHOLD) {
        int to = scroll_to(code, GetScrollPos(bar, SB_CTL), thumb, THRESHOLD_BAR_MAX);
        if (to >= 0)
            SetScrollPos(bar, SB_CTL, to, TRUE);
        return;
    }
    for (const CorrectionBar& c : CORRECTION_BARS) {
        if (c.bar != id)
            continue;
        int to = scroll_to(code, GetScrollPos(bar, SB_CTL), thumb, CORRECTION_BAR_MAX);
        if (to < 0)
            return;
        SetScrollPos(bar, SB_CTL, to, TRUE);
        set_dlg_number(dlg, c.value_text, "%d", to - CORRECTION_BAR_ZERO);
        return;
    }
}

// Puts the corrections back to 0 in the controls only: OK takes them from there (and clears
// the reserved words), while Cancel must leave the record as it was, since the tray saves the
// record from memory without reloading it first.
static void on_reset(HWND dlg)
{
    for (const CorrectionBar& c : CORRECTION_BARS)
        set_correction(dlg, c, 0);
}

static void on_register(HWND dlg)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    // A file that cannot be read keeps the guard set: only Cancel still works.
    if (load_settings() < 0)
        return;
    settings.proportional_print = dlg_checked(dlg, IDC_BASIC_PROPORTIONAL);
    settings.fit_to_paper = settings.proportional_print ? 0 : 1;
    settings.punch_margin_top = dlg_number(dlg, IDC_BASIC_MARGIN_TOP, MARGIN_CHARS);
    settings.punch_margin_left = dlg_number(dlg, IDC_BASIC_MARGIN_LEFT, MARGIN_CHARS);
    settings.invert_image = dlg_checked(dlg, IDC_BASIC_INVERT);
    settings.black_emphasis = dlg_checked(dlg, IDC_BASIC_BLACK_EMPHASIS);
    settings.binarize = dlg_checked(dlg, IDC_BASIC_BINARIZE);
    settings.binarize_threshold = GetScrollPos(GetDlgItem(dlg, IDC_BASIC_THRESHOLD), SB_CTL);
    for (const CorrectionBar& c : CORRECTION_BARS)
        settings.*c.field = dlg_number(dlg, c.value_text, 16);
    settings.reserved_d72 = 0;
    settings.reserved_d80 = 0;
    save_settings();
    settings_busy = 0;
    EndDialog(dlg, IDOK);
}

static void on_command(HWND dlg, int id)
{
    switch (id) {
    case IDOK:
        on_register(dlg);
        break;
    case IDCANCEL:
        EndDialog(dlg, IDCANCEL);
        break;
    case IDC_BASIC_RESET:
        on_reset(dlg);
        break;
    default:
        break;
    }
}

static const DialogHandlers BASIC_SETTINGS_HANDLERS = {
    on_init, on_command, BASIC_HINTS, sizeof BASIC_HINTS / sizeof BASIC_HINTS[0]};

static INT_PTR CALLBACK basic_settings_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == WM_HSCROLL) {
        on_scroll(dlg, (HWND)lparam, LOWORD(wparam), (short)HIWORD(wparam));
        return TRUE;
    }
    return dialog_message(BASIC_SETTINGS_HANDLERS, dlg, msg, wparam, lparam);
}

void open_basic_settings_dialog()
{
    run_dialog("SETTING", main_window, basic_settings_proc);
}

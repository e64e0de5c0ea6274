// The extended functions dialog. The font and file buttons change the dialog's own copy of the
// record; OK takes them with the rest, checks the fixed area and only then puts them into the
// record and saves. "画面指定" saves and hands over to the main window, which runs the area
// selection once this dialog is gone.
#include "settings/extended_dialog_win.h"

#include <windows.h>
#include <mmsystem.h>
#include <string.h>

#include "app/hint_popup_win.h"
#include "base/ids.h"
#include "base/process_win.h"
#include "files/bmp_writer_win.h"
#include "print/font_win.h"
#include "res/resource.h"
#include "settings/dialog_controls_win.h"
#include "settings/dialog_fields.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

constexpr size_t TITLE_TEXT_MAX = 40;
constexpr size_t AREA_CHARS = 9;
constexpr size_t TIME_CHARS = 3;

static const char AREA_ERROR_TEXT[] = "指定座標位置に誤りがあります。\nチェックしてください！";

struct CheckField {
    int id;
    int32_t SettingsRecord::*field;
};

// Check boxes of the first group of values, which "画面指定" takes as well.
static const CheckField FIRST_CHECKS[] = {
    {IDC_EXT_PRINT_TITLE, &SettingsRecord::print_title},
    {IDC_EXT_PRINT_TIMESTAMP, &SettingsRecord::print_timestamp},
    {IDC_EXT_CAPTURE_SOUND, &SettingsRecord::capture_sound},
    {IDC_EXT_HIGH_SPEED_SCAN, &SettingsRecord::high_speed_scan},
    {IDC_EXT_USE_FIXED_AREA, &SettingsRecord::use_fixed_area},
};

static const CheckField OUTPUT_CHECKS[] = {
    {IDC_EXT_USE_BANDING, &SettingsRecord::use_banding},
    {IDC_EXT_FILE_COMPRESSION, &SettingsRecord::file_compression},
    {IDC_EXT_WRITE_SYSINFO, &SettingsRecord::write_sysinfo},
};

static const CheckField AUTO_CHECKS[] = {
    {IDC_EXT_AUTO_OUTPUT, &SettingsRecord::auto_output},
    {IDC_EXT_EXIT_AFTER_PRINT, &SettingsRecord::exit_after_print},
    {IDC_EXT_AUTO_FULL_SCREEN, &SettingsRecord::auto_full_screen},
    {IDC_EXT_AUTO_ACTIVE_WINDOW, &SettingsRecord::auto_active_window},
    {IDC_EXT_AUTO_AT_TIME, &SettingsRecord::auto_at_time},
    {IDC_EXT_AUTO_INTERVAL, &SettingsRecord::auto_interval},
    {IDC_EXT_AUTO_AFTER_START, &SettingsRecord::auto_after_start},
};

struct ComboField {
    int id;
    int32_t SettingsRecord::*field;
    const char* const* items;
    size_t count;
};

// Without the hint time, which only Windows 95 shows.
static const ComboField COMBOS[] = {
    {IDC_EXT_TITLE_POSITION, &SettingsRecord::title_position, PLACE_ITEMS, 6},
    {IDC_EXT_TIMESTAMP_POSITION, &SettingsRecord::timestamp_position, PLACE_ITEMS, 6},
    {IDC_EXT_PROCESSING_SPEED, &SettingsRecord::processing_speed, SPEED_ITEMS, 3},
    {IDC_EXT_OUTPUT_DEVICE, &SettingsRecord::output_device, DEVICE_ITEMS, 3},
    {IDC_EXT_FILE_NAME_MODE, &SettingsRecord::file_name_mode, FILE_MODE_ITEMS, 3},
};
static const ComboField HINT_TIME_COMBO = {IDC_EXT_HINT_TIME, &SettingsRecord::hint_close_time,
                                           HINT_TIME_ITEMS, 3};

struct NumberField {
    int id;
    int32_t SettingsRecord::*field;
    const char* format;
    size_t chars;
    int32_t least;  // INT32_MIN: no lower limit
};

static const NumberField AREA_FIELDS[] = {
    {IDC_EXT_AREA_LEFT, &SettingsRecord::area_left, "%d", AREA_CHARS, 0},
    {IDC_EXT_AREA_RIGHT, &SettingsRecord::area_right, "%d", AREA_CHARS, 1},
    {IDC_EXT_AREA_TOP, &SettingsRecord::area_top, "%d", AREA_CHARS, 0},
    {IDC_EXT_AREA_BOTTOM, &SettingsRecord::area_bottom, "%d", AREA_CHARS, 1},
};

static const NumberField TIME_FIELDS[] = {
    {IDC_EXT_AUTO_HOUR, &SettingsRecord::auto_hour, "%02d", TIME_CHARS, INT32_MIN},
    {IDC_EXT_AUTO_MINUTE, &SettingsRecord::auto_minute, "%02d", TIME_CHARS, INT32_MIN},
    {IDC_EXT_INTERVAL_MINUTES, &SettingsRecord::auto_interval_minutes, "%03d", TIME_CHARS,
     LEAST_INTERVAL_MINUTES},
    {IDC_EXT_AFTER_START_MINUTES, &SettingsRecord::auto_after_start_minutes, "%02d", TIME_CHARS,
     LEAST_AFTER_START_MINUTES},
};

static const char PIXEL_UNIT[] = "ピクセル単位になります。";
static const char OTHER_VALUES_IGNORED[] = "それ以外の指定は無視されます。";

static const ControlHint EXTENDED_HINTS[] = {
    {IDOK, "設定した各値を登録し,このダイアログを閉じます", "", ""},
    {IDCANCEL, "設定した各値を登録せずに,このダイアログを閉じます", "", ""},
    {IDC_EXT_AUTO_AT_TIME, "チェックすると、指定時刻で自動出力します。", "", ""},
    {IDC_EXT_AUTO_INTERVAL, "チェックすると、指定された時間間隔で自動出力します。", "", ""},
    {IDC_EXT_AUTO_AFTER_START, "チェックすると、このアプリケーション起動後、指定された時間で",
     "自動出力します。", ""},
    {IDC_EXT_TITLE_POSITION, "印字位置を選択します", "", ""},
    {IDC_EXT_PRINT_TITLE, "チェックすると、指定した内容のタイトルを印刷します", "", ""},
    {IDC_EXT_TITLE_TEXT, "タイトルの内容を指定します", "2バイト/１バイト文字の混在ができます", ""},
    {IDC_EXT_TITLE_FONT, "タイトルの印刷に使う文字フォント等の指定をします", "", ""},
    {IDC_EXT_PRINT_TIMESTAMP, "チェックすると、印刷月日/時間を印刷します",
     "フォーマットは固定です \"yyyy/mm/dd hh:mm:ss\"", ""},
    {IDC_EXT_TIMESTAMP_POSITION, "印字位置を６つの位置より選択します", "", ""},
    {IDC_EXT_USE_FIXED_AREA, "チェックすると全画面ハードコピー時に、指定された座標範囲の画像の",
     "ハードコピーになります。チェックを外すと全画面ハードコピーはそのまま",
     "全画面ハードコピーとなります。"},
    {IDC_EXT_TIMESTAMP_FONT, "印刷月日/時間の印刷に使う文字フォント等の指定をします", "", ""},
    {IDC_EXT_PROCESSING_SPEED, "処理するためのＣＰＵに対する割り当ての加減を設定します",
     "早くすると出力までの時間は早くなりますが、ＣＰＵを占有する割合が", "高くなります"},
    {IDC_EXT_CAPTURE_SOUND, "チェックすると、画像取込時に専用のウェーブで知らせます",
     "チェックしなければ、SystemDefaultエントリのウェーブで知らせます", ""},
    {IDC_EXT_SOUND_TEST, "クリックすると、画像取込を知らせる専用のウェーブを聞くことができ",
     "ます", ""},
    {IDC_EXT_FILE_NAME, "ファイル選択ダイアログが開きます", "保存するファイルを指定します", ""},
    {IDC_EXT_USE_BANDING, "チェックすると、プリンター出力時にバンディング機能を使います。",
     "プリンタードライバーによってはサポートされません。", ""},
    {IDC_EXT_AUTO_OUTPUT, "チェックすると、ホットキー以外に指定された条件で", "ハードコピーします。",
     ""},
    {IDC_EXT_EXIT_AFTER_PRINT, "チェックすると、ハードコピー終了後このアプリケーションを",
     "自動終了します。", ""},
    {IDC_EXT_HINT_TIME, "ヘルプ表示が自動的に消えるまでの時間を設定します",
     "  なし→ユーザーが消さない限り表示  ノーマル→約６秒後に消滅", "  早い→約３秒後に消滅"},
    {IDC_EXT_OUTPUT_DEVICE, "出力先を選択します", "ファイル出力は 256色以上の表示から使用できます",
     "ファイル出力形式は BITMAP 固定です"},
    {IDC_EXT_FILE_NAME_MODE, "ファイル名が重複したときの処理を選択します",
     "自動作成はファイル名（拡張子を除く）に連番を付加して保存します",
     "   (XXX.BMP→XXXn.BMP(n=1～999))"},
    {IDC_EXT_FILE_NAME_SHOWN, "現在設定されている保存ファイル名が表示されています", "", ""},
    {IDC_EXT_HIGH_SPEED_SCAN, "チェックすると \"メニュー\" 等を含んだ画像のハードコピーになります",
     "チェックを外すと \"Ｋ－ＤＵＸ\" が含まれない画像のハードコピーになります", ""},
    {IDC_EXT_AUTO_FULL_SCREEN, "チェックすると、自動出力時に全画面で出力します。", "", ""},
    {IDC_EXT_AUTO_ACTIVE_WINDOW, "チェックすると、自動出力時にアクティブ画面で出力します。", "",
     ""},
    {IDC_EXT_AUTO_HOUR, "指定時刻で自動出力する時を 00 ～ 23 で指定します。", OTHER_VALUES_IGNORED,
     ""},
    {IDC_EXT_AREA_LEFT, "画面左上の横方向の座標位置です。", PIXEL_UNIT, ""},
    {IDC_EXT_AREA_RIGHT, "画面右下の横方向の座標位置です。", PIXEL_UNIT, ""},
    {IDC_EXT_AREA_TOP, "画面左上の縦方向の座標位置です。", PIXEL_UNIT, ""},
    {IDC_EXT_AREA_BOTTOM, "画面右下の縦方向の座標位置です。", PIXEL_UNIT, ""},
    {IDC_EXT_PICK_AREA, "マウスによって座標指定ができます。", "設定は マウス左クリックで",
     "キャンセルは マウス右クリックで"},
    {IDC_EXT_AUTO_MINUTE, "指定時刻で自動出力する分を 00 ～ 59 で指定します。",
     OTHER_VALUES_IGNORED, ""},
    {IDC_EXT_INTERVAL_MINUTES, "時間間隔で自動出力する分を 003 ～ 999 で指定します。",
     OTHER_VALUES_IGNORED, ""},
    {IDC_EXT_AFTER_START_MINUTES, "起動後自動出力する分を 01 ～ 99 で指定します。",
     OTHER_VALUES_IGNORED, ""},
};

// The choices of the font and file buttons, and what the dialog was opened with. The record
// itself is reloaded by every copy accepted while the dialog is open, and saved from memory by
// the tray and other dialogs: nothing goes into it before a successful OK.
static SettingsRecord pending;

template <size_t N>
static void show_checks(HWND dlg, const CheckField (&checks)[N], const SettingsRecord& from)
{
    for (const CheckField& c : checks)
        set_dlg_check(dlg, c.id, from.*c.field == 1);
}

template <size_t N>
static void take_checks(HWND dlg, const CheckField (&checks)[N], SettingsRecord& into)
{
    for (const CheckField& c : checks)
        into.*c.field = dlg_checked(dlg, c.id);
}

template <size_t N>
static void show_numbers(HWND dlg, const NumberField (&fields)[N], const SettingsRecord& from)
{
    for (const NumberField& f : fields)
        set_dlg_number(dlg, f.id, f.format, from.*f.field);
}

template <size_t N>
static void take_numbers(HWND dlg, const NumberField (&fields)[N], SettingsRecord& into)
{
    for (const NumberField& f : fields) {
        int32_t value = dlg_number(dlg, f.id, f.chars);
        into.*f.field = value < f.least ? f.least : value;
    }
}

static bool hint_time_shown()
{
    return os_platform == VER_PLATFORM_WIN32_WINDOWS;
}

static void fill_lists(HWND dlg)
{
    for (const ComboField& c : COMBOS)
        fill_combo(dlg, c.id, c.items, c.count);
    fill_combo(dlg, HINT_TIME_COMBO.id, HINT_TIME_COMBO.items, HINT_TIME_COMBO.count);
}

static INT_PTR on_init(HWND dlg)
{
    SendDlgItemMessageA(dlg, IDC_EXT_TITLE_TEXT, EM_LIMITTEXT, TITLE_TEXT_MAX, 0);
    fill_lists(dlg);
    if (load_settings() < 0) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    pending = settings;
    show_checks(dlg, FIRST_CHECKS, pending);
    show_checks(dlg, OUTPUT_CHECKS, pending);
    show_checks(dlg, AUTO_CHECKS, pending);
    for (const ComboField& c : COMBOS)
        select_combo(dlg, c.id, pending.*c.field);
    if (hint_time_shown()) {
        select_combo(dlg, HINT_TIME_COMBO.id, pending.hint_close_time);
    } else {
        ShowWindow(GetDlgItem(dlg, IDC_EXT_HINT_TIME_LABEL), SW_HIDE);
        ShowWindow(GetDlgItem(dlg, IDC_EXT_HINT_TIME), SW_HIDE);
    }
    set_dlg_field_text(dlg, IDC_EXT_TITLE_TEXT, pending.title_text, sizeof pending.title_text);
    set_dlg_field_text(dlg, IDC_EXT_FILE_NAME_SHOWN, pending.output_file_name,
                       sizeof pending.output_file_name);
    show_numbers(dlg, AREA_FIELDS, pending);
    if (pending.auto_interval_minutes < LEAST_INTERVAL_MINUTES)
        pending.auto_interval_minutes = LEAST_INTERVAL_MINUTES;
    if (pending.auto_after_start_minutes < LEAST_AFTER_START_MINUTES)
        pending.auto_after_start_minutes = LEAST_AFTER_START_MINUTES;
    show_numbers(dlg, TIME_FIELDS, pending);
    SetFocus(GetDlgItem(dlg, IDOK));
    return FALSE;
}

// Whatever was typed or set from outside, at most 40 bytes, and never half a character.
static void take_title_text(HWND dlg, SettingsRecord& into)
{
    char text[256] = "";
    GetDlgItemTextA(dlg, IDC_EXT_TITLE_TEXT, text, sizeof text);
    size_t n = cp932_prefix_length(text, TITLE_TEXT_MAX);
    memset(into.title_text, 0, sizeof into.title_text);
    memcpy(into.title_text, text, n);
}

// The record as it is now, with the font and file buttons' choices in it.
static SettingsRecord with_button_choices()
{
    SettingsRecord chosen = settings;
    chosen.title_font = pending.title_font;
    chosen.title_color = pending.title_color;
    chosen.timestamp_font = pending.timestamp_font;
    chosen.timestamp_color = pending.timestamp_color;
    memcpy(chosen.output_file_name, pending.output_file_name, sizeof chosen.output_file_name);
    chosen.output_file_ext_offset = pending.output_file_ext_offset;
    return chosen;
}

static void take_first_group(HWND dlg, SettingsRecord& into)
{
    take_checks(dlg, FIRST_CHECKS, into);
    take_title_text(dlg, into);
    for (const ComboField& c : COMBOS)
        into.*c.field = combo_index(dlg, c.id);
    if (hint_time_shown())
        into.hint_close_time = combo_index(dlg, HINT_TIME_COMBO.id);
    take_numbers(dlg, AREA_FIELDS, into);
}

static void start_auto_output_timer()
{
    if (auto_timer_running == 0 && settings.auto_output == 1) {
        SetTimer(main_window, TIMER_AUTO_OUTPUT, AUTO_OUTPUT_MS, NULL);
        auto_timer_running = 1;
    }
}

static void on_register(HWND dlg)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    SettingsRecord chosen = with_button_choices();
    take_first_group(dlg, chosen);
    if (chosen.use_fixed_area == 1 &&
        !fixed_area_valid(chosen.area_left, chosen.area_top, chosen.area_right,
                          chosen.area_bottom)) {
        MessageBeep(MB_ICONHAND);
        MessageBoxA(dlg, AREA_ERROR_TEXT, APP_TITLE, MB_ICONHAND);
        settings_busy = 0;
        return;
    }
    take_checks(dlg, OUTPUT_CHECKS, chosen);
    take_checks(dlg, AUTO_CHECKS, chosen);
    take_numbers(dlg, TIME_FIELDS, chosen);
    settings = chosen;
    if (save_settings() == 0) {
        start_auto_output_timer();
        settings_busy = 0;
    }
    EndDialog(dlg, IDOK);
}

static void on_pick_area(HWND dlg)
{
    SettingsRecord chosen = with_button_choices();
    take_first_group(dlg, chosen);
    take_checks(dlg, OUTPUT_CHECKS, chosen);
    settings = chosen;
    if (save_settings() != 0) {
        EndDialog(dlg, IDCANCEL);
        return;
    }
    SetTimer(main_window, TIMER_AREA_START, AREA_START_DELAY_MS, NULL);
    EndDialog(dlg, IDOK);
    settings_busy = 0;
}

static void on_font_or_file(HWND dlg, int id)
{
    if (settings_busy == 1)
        return;
    settings_busy = 1;
    if (id == IDC_EXT_FILE_NAME)
        choose_output_file(dlg, pending);
    else
        choose_font(id == IDC_EXT_TITLE_FONT ? FONT_TITLE : FONT_TIMESTAMP, dlg, pending);
    settings_busy = 0;
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
    case IDC_EXT_PICK_AREA:
        on_pick_area(dlg);
        break;
    case IDC_EXT_TITLE_FONT:
    case IDC_EXT_TIMESTAMP_FONT:
    case IDC_EXT_FILE_NAME:
        on_font_or_file(dlg, id);
        break;
    case IDC_EXT_SOUND_TEST:
        PlaySoundA("WAVE1", instance_handle, SND_RESOURCE | SND_ASYNC);
        break;
    default:
        break;
    }
}

static const DialogHandlers EXTENDED_SETTINGS_HANDLERS = {
    on_init, on_command, EXTENDED_HINTS, sizeof EXTENDED_HINTS / sizeof EXTENDED_HINTS[0]};

static INT_PTR CALLBACK extended_settings_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    return dialog_message(EXTENDED_SETTINGS_HANDLERS, dlg, msg, wparam, lparam);
}

void open_extended_settings_dialog()
{
    run_dialog("SETTING2", main_window, extended_settings_proc);
}

// The copy and output sequence. Each step is its own message or timer so the status line
// repaints and other requests are answered between them; `busy` refuses, never queues.
#include "app/copy_sequence_win.h"

#include <stdio.h>

#include "app/auto_output.h"
#include "app/shell_win.h"
#include "app/status.h"
#include "app/tray_win.h"
#include "base/ids.h"
#include "capture/capture_win.h"
#include "capture/clipboard_win.h"
#include "capture/window_frame_win.h"
#include "files/mail_win.h"
#include "files/sysinfo_win.h"
#include "print/print_job_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"

int busy;
int drop_count;
int drop_index;
HDROP drop_handle;

static HWND previous_foreground;
static HCURSOR saved_cursor;
static bool wait_cursor_set;
static bool output_of_drop;  // the output in progress is a dropped file's, not a capture's
// From an accepted copy request until its output has ended: a drop then would fight the copy
// for the clipboard.
static bool copy_running;
// A drop's chain of messages carries the number of its drop, so a link of a replaced drop that
// is still queued does nothing. Only one link exists at a time: a queued message, or the
// handler running now (whose message boxes let a new drop in).
static WPARAM drop_serial;
static bool chain_link_running;
// The exit after output waits for the notice of the mail sender just launched.
static bool close_after_mail_notice;

void reset_copy_sequence()
{
    busy = 0;
    drop_count = 0;
    drop_index = 0;
    drop_handle = NULL;
    mail_started = 0;
    copy_running = false;
    chain_link_running = false;
    close_after_mail_notice = false;
}

static const char PRINTER_FAILED[] = "指定されているプリンターでは印刷できません";

static void printer_error_box(UINT icon)
{
    char text[300];
    snprintf(text, sizeof text, "%s\n<PRINTER:%s>", PRINTER_FAILED, printer_name_shown);
    show_error_box(text, NULL, icon);
}

static void start_release_timer()
{
    SetTimer(main_window, TIMER_RELEASE_BUSY, RELEASE_BUSY_MS, NULL);
}

// A copy request's run is over: busy is released shortly.
static void end_copy()
{
    copy_running = false;
    start_release_timer();
}

static void post_next_dropped_file()
{
    PostMessageA(main_window, UM_NEXT_DROPPED_FILE, drop_serial, 0);
}

static void show_main_window_again()
{
    SetWindowPos(main_window, HWND_BOTTOM, saved_main_rect.left, saved_main_rect.top,
                 saved_main_rect.right - saved_main_rect.left,
                 saved_main_rect.bottom - saved_main_rect.top, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

static void set_caption_if_minimised(const char* caption)
{
    if (IsIconic(main_window))
        SetWindowTextA(main_window, caption);
}

// Where the capture looks and how much it copies, decided at the moment of the request.
CaptureRequest noted_capture()
{
    return {capture_active_window, capture_target, capture_target_rect, saved_main_rect};
}

static void note_capture_target()
{
    if (capture_active_window) {
        capture_target = GetForegroundWindow();
        window_frame_rect(capture_target, &capture_target_rect);
        capture_width = (int16_t)(capture_target_rect.right - capture_target_rect.left);
        capture_height = (int16_t)(capture_target_rect.bottom - capture_target_rect.top);
    } else {
        capture_target = main_window;
        HDC dc = GetDC(main_window);
        capture_width = (int16_t)GetDeviceCaps(dc, HORZRES);
        capture_height = (int16_t)GetDeviceCaps(dc, VERTRES);
        ReleaseDC(main_window, dc);
    }
}

static bool stored_printer_missing()
{
    return settings.printer_devmode[0] == 0 && settings.output_device != 1 &&
           settings.printer_choice == 1;
}

static void accept(int id)
{
    if (busy == 1)
        return;
    capture_active_window = id == HOTKEY_ACTIVE_WINDOW ? 1 : 0;
    drop_count = 0;
    drop_index = 0;
    previous_foreground = GetForegroundWindow();
    MessageBeep(MB_OK);
    busy = 1;
    copy_running = true;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    note_capture_target();

    if (load_settings() < 0) {
        show_error_box("画面のコピー印刷ができません");
        end_copy();
        return;
    }
    if (stored_printer_missing()) {
        show_error_box("プリンタの設定をしてください", main_window);
        end_copy();
        return;
    }
    memset(printer_name_shown, 0, sizeof printer_name_shown);
    memcpy(printer_name_shown, settings.printer_devmode, 32);

    if (settings.high_speed_scan == 1) {
        PostMessageA(main_window, UM_CAPTURE_NOW, 0, 0);
        return;
    }
    main_state = ADJUSTING;
    refresh_status();
    GetWindowRect(main_window, &saved_main_rect);
    // Its size kept: scaled to the display, it comes back as it was. Wholly off the screen
    // however large, should anything show it before the copy is taken.
    const int width = saved_main_rect.right - saved_main_rect.left;
    const int height = saved_main_rect.bottom - saved_main_rect.top;
    SetWindowPos(main_window, HWND_BOTTOM, width < 200 ? -200 : -width,
                 height < 200 ? -200 : -height, width, height, SWP_HIDEWINDOW);
    UpdateWindow(main_window);
    SetTimer(main_window, TIMER_CAPTURE_DELAY, CAPTURE_DELAY_MS, NULL);
}

static void forget_drop()
{
    if (drop_handle)
        DragFinish(drop_handle);
    drop_handle = NULL;
    drop_count = 0;
    drop_index = 0;
}

// A drop ends: its handle released, nothing pending, busy released shortly.
static void finish_drop()
{
    forget_drop();
    start_release_timer();
}

// The file in hand is finished first. Pressed inside one of its boxes (a load or an output
// still running), that file's own end releases busy: a release now would let a copy replace
// its image on the clipboard.
static void cancel_drop()
{
    if (chain_link_running)
        forget_drop();
    else
        finish_drop();
}

void on_hotkey(int id)
{
    if (id == HOTKEY_FULL_SCREEN || id == HOTKEY_ACTIVE_WINDOW)
        accept(id);
    else if (id == HOTKEY_CANCEL_FILES && drop_handle)
        cancel_drop();
}

void on_capture(bool high_speed)
{
    wait_cursor_set = !high_speed;
    if (wait_cursor_set)
        saved_cursor = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    int result = capture_to_clipboard(main_window, noted_capture());
    if (!high_speed)
        show_main_window_again();
    main_state = STANDBY;
    switch (result) {
    case 0:
        main_state = OUTPUTTING;
        refresh_status();
        PostMessageA(main_window, UM_OUTPUT, 0, 0);
        return;
    case -1:
        printer_error_box(MB_ICONEXCLAMATION);
        break;
    default: {
        char text[200];
        snprintf(text, sizeof text, "%s\n%s", "クリップボードが使えません",
                 "システムを確認してください");
        show_error_box(text);
        break;
    }
    }
    end_copy();
}

static void set_output_priority()
{
    static const int PRIORITIES[3] = {THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_NORMAL,
                                      THREAD_PRIORITY_LOWEST};
    if (settings.processing_speed >= 0 && settings.processing_speed <= 2)
        SetThreadPriority(GetCurrentThread(), PRIORITIES[settings.processing_speed]);
}

static void output_to_printer()
{
    set_caption_if_minimised("SPOOL");
    int result = settings.use_banding == 1 ? print_image_banded() : print_image();
    if (result == -1 || result == -5)
        printer_error_box(MB_ICONHAND);
}

static void output_to_file()
{
    set_caption_if_minimised("SAVE");
    if (save_clipboard_image() == -1)
        show_error_box("ファイル出力できませんでした");
}

// After a file output, written or not.
static void hand_off_to_mail()
{
    if (settings.mail_after_output == 1)
        launch_mail_sender();
}

static void output(WPARAM serial)
{
    set_output_priority();
    mail_started = 0;
    bool after_capture = !output_of_drop;
    if (after_capture && settings.high_speed_scan != 1 && previous_foreground)
        SetForegroundWindow(previous_foreground);
    memset(report_path, 0, sizeof report_path);
    if (settings.write_sysinfo == 1)
        write_system_report();
    switch (settings.output_device) {
    case 0:
        output_to_printer();
        break;
    case 1:
        output_to_file();
        hand_off_to_mail();
        break;
    case 2:
        output_to_file();
        // A drop that came in through the file step's box replaces this file's drop at once.
        if (!output_of_drop || serial == drop_serial)
            output_to_printer();
        hand_off_to_mail();
        break;
    default:
        break;
    }
    set_caption_if_minimised(APP_TITLE);
    if (wait_cursor_set) {
        SetCursor(saved_cursor);
        wait_cursor_set = false;
    }
    main_state = STANDBY;
    refresh_status();
    if (after_capture && settings.high_speed_scan != 1)
        show_main_window_again();
    if (settings.exit_after_print == 1) {
        if (mail_notification_due())
            close_after_mail_notice = true;
        else
            PostMessageA(main_window, WM_CLOSE, 0, 0);
        return;
    }
    // Only while the icon is there: without it the hidden program could not be reached.
    if (in_tray())
        ShowWindow(main_window, SW_HIDE);
    if (after_capture)
        copy_running = false;
    // The drop now pending, if any, goes on, whether it is the one this file came from or one
    // that replaced it while this output ran.
    if (drop_handle)
        post_next_dropped_file();
    else
        start_release_timer();
}

void on_output(WPARAM serial)
{
    // A dropped file's output whose drop was replaced while it waited in the queue.
    if (serial != 0 && serial != drop_serial) {
        main_state = STANDBY;
        refresh_status();
        return;
    }
    output_of_drop = serial != 0;
    // Nothing may release busy while this output runs (a release timer of an earlier run).
    KillTimer(main_window, TIMER_RELEASE_BUSY);
    chain_link_running = output_of_drop;
    output(serial);
    chain_link_running = false;
}

void on_drop_files(HDROP drop)
{
    // The screen copy under way keeps the clipboard; the drop is turned away like any request
    // that finds the program busy.
    if (copy_running) {
        DragFinish(drop);
        return;
    }
    // A new drop while one is pending replaces it: the old one is finished first, not leaked.
    if (drop_handle && drop_handle != drop)
        DragFinish(drop_handle);
    KillTimer(main_window, TIMER_RELEASE_BUSY);
    drop_handle = drop;
    drop_count = (int)DragQueryFileA(drop, 0xFFFFFFFF, NULL, 0);
    drop_index = -1;
    busy = 1;
    if (++drop_serial == 0)
        drop_serial = 1;
    // A link running now (this drop came in through one of its message boxes) posts the next
    // link itself, for this drop.
    if (!chain_link_running)
        post_next_dropped_file();
}

static void next_dropped_file()
{
    drop_index++;
    if (drop_index >= drop_count) {
        finish_drop();
        return;
    }
    // The whole name or none: a cut one could name another file. Longer than the system's
    // paths (MAX_PATH with its terminator) it is refused with the loader's box, and nothing is
    // output for it.
    char name[MAX_PATH] = {0};
    UINT length = DragQueryFileA(drop_handle, (UINT)drop_index, NULL, 0);
    WPARAM serial = drop_serial;
    int loaded = -1;
    if (length >= sizeof name) {
        show_step_error_code("ファイルを開くことができません", "Load Bitmap",
                             ERROR_FILENAME_EXCED_RANGE);
    } else {
        DragQueryFileA(drop_handle, (UINT)drop_index, name, sizeof name);
        loaded = load_file_to_clipboard(main_window, name);
    }
    if (serial != drop_serial) {
        // Replaced while the loader's box was up: the new drop starts from its first file.
        post_next_dropped_file();
        return;
    }
    if (loaded != 0) {
        post_next_dropped_file();
        return;
    }
    main_state = OUTPUTTING;
    refresh_status();
    PostMessageA(main_window, UM_OUTPUT, serial, 0);
}

void on_next_dropped_file(WPARAM serial)
{
    if (serial != drop_serial)
        return;
    chain_link_running = true;
    next_dropped_file();
    chain_link_running = false;
}

static void on_auto_output_tick()
{
    if (settings.auto_output == 0) {
        KillTimer(main_window, TIMER_AUTO_OUTPUT);
        auto_timer_running = 0;
        return;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    bool due = auto_output_due(settings, now.wHour, now.wMinute, GetTickCount(), start_tick);
    int request = auto_output_request(settings);
    if (busy == 0 && due && request)
        PostMessageA(main_window, WM_HOTKEY, request, 0);
}

bool on_sequence_timer(UINT_PTR id)
{
    switch (id) {
    case TIMER_RELEASE_BUSY:
        KillTimer(main_window, TIMER_RELEASE_BUSY);
        busy = 0;
        return true;
    case TIMER_CAPTURE_DELAY:
        KillTimer(main_window, TIMER_CAPTURE_DELAY);
        PostMessageA(main_window, UM_CAPTURE, 0, 0);
        return true;
    case TIMER_MAIL_NOTIFY:
        KillTimer(main_window, TIMER_MAIL_NOTIFY);
        post_mail_notification();
        mail_started = 0;
        if (close_after_mail_notice)
            PostMessageA(main_window, WM_CLOSE, 0, 0);
        return true;
    case TIMER_AUTO_OUTPUT:
        on_auto_output_tick();
        return true;
    default:
        return false;
    }
}

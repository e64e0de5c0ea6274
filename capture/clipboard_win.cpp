// The clipboard bitmap is where the current image lives: saved from there, loaded into there.
#include "capture/clipboard_win.h"

#include "base/process_win.h"
#include "files/bmp_loader_win.h"
#include "files/bmp_writer_win.h"
#include "settings/settings.h"

// Ten tries, the last about 0.9 s after the first.
static const int CLIPBOARD_TRIES = 10;
static const DWORD CLIPBOARD_RETRY_MS = 100;

BOOL open_clipboard(HWND owner)
{
    for (int tries = 1;; tries++) {
        if (OpenClipboard(owner))
            return TRUE;
        if (tries == CLIPBOARD_TRIES)
            return FALSE;
        // A plain wait of its own (no handles, no input), as KVREQ waits.
        MsgWaitForMultipleObjects(0, NULL, FALSE, CLIPBOARD_RETRY_MS, 0);
    }
}

int save_clipboard_image()
{
    HDC dc = GetDC(main_window);
    if (!dc)
        return 1;
    // A closed clipboard yields no bitmap either: both end in the same box.
    HBITMAP bitmap = open_clipboard(main_window) ? (HBITMAP)GetClipboardData(CF_BITMAP) : NULL;
    if (!bitmap) {
        show_step_error("データの展開に失敗しました", "B TO D1");
        CloseClipboard();
        ReleaseDC(main_window, dc);
        return -1;
    }
    char name[256] = {0};
    memcpy(name, settings.output_file_name, sizeof name);
    name[sizeof name - 1] = 0;
    int result = write_bitmap_file(name, bitmap, dc);
    CloseClipboard();
    ReleaseDC(main_window, dc);
    return result;
}

int load_file_to_clipboard(HWND window, const char* path)
{
    HBITMAP bitmap = load_bitmap_file(window, path);
    if (!bitmap)
        return -1;
    if (!open_clipboard(main_window)) {
        show_step_error("画像の取り込みに失敗しました", "OPEN CLIP");
        DeleteObject(bitmap);
        return -1;
    }
    EmptyClipboard();
    // A bitmap the clipboard refused is still ours, and there is no image to output.
    if (!SetClipboardData(CF_BITMAP, bitmap)) {
        DWORD error = GetLastError();
        CloseClipboard();
        DeleteObject(bitmap);
        show_step_error_code("画像の取り込みに失敗しました", "SET CLIP", error);
        return -1;
    }
    CloseClipboard();
    return 0;
}

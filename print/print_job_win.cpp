// The print job, whole-page and banded. Both draw the same page: the image placed by the page
// layout, a one-pixel frame, the title and the time stamp.
#include "print/print_job_win.h"

#include <stddef.h>
#include <stdio.h>

#include "base/process_win.h"
#include "capture/clipboard_win.h"
#include "print/devmode_block.h"
#include "print/dib.h"
#include "print/dib_win.h"
#include "print/page_layout.h"
#include "print/printer_setup.h"
#include "print/printer_win.h"
#include "settings/settings.h"

static const char DOCUMENT_NAME[] = "画面ハードコピー";
static const char PREPARE_FAILED[] = "印刷準備に失敗しました";
static const char EXPAND_FAILED[] = "データの展開に失敗しました";
static const char NO_BANDING[] = "バンディング処理がサポートされていないプリンターです";
static const char BAND_FAILED[] = "バンド処理に失敗しました";

// The printer DC from the stored setup, or NULL after the "CREATE DC" box.
static HDC create_printer_dc()
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, DEVMODE_BLOCK_SIZE);
    auto* devmode = block ? static_cast<unsigned char*>(GlobalLock(block)) : NULL;
    HDC dc = NULL;
    DWORD error = 0;
    if (devmode) {
        fill_devmode_block(settings, devmode);
        // The printer by its whole name: the device mode keeps 31 bytes of it.
        char device[PRINTER_NAME_SIZE] = {0};
        error = stored_printer_name(device, sizeof device);
        char driver[sizeof settings.printer_driver_name + 1] = {0};
        memcpy(driver, settings.printer_driver_name, sizeof settings.printer_driver_name);
        if (error == 0) {
            dc = CreateDCA(os_platform == 1 ? driver : "WINSPOOL", device, NULL,
                           reinterpret_cast<DEVMODEA*>(devmode));
            error = GetLastError();
        }
    } else {
        error = GetLastError();
    }
    if (!dc)
        show_step_error_code(PREPARE_FAILED, "CREATE DC", error);
    if (devmode)
        GlobalUnlock(block);
    if (block)
        GlobalFree(block);
    return dc;
}

// Objects of the scratch preparation; nothing of them reaches the page.
struct Scratch {
    HWND window = NULL;
    HDC window_dc = NULL;
    HDC window_mem_dc = NULL;
    HDC dc = NULL;
    HBITMAP bitmap = NULL;
    HGDIOBJ dc_default = NULL;
};

static void release_scratch(Scratch& s)
{
    if (s.dc) {
        if (s.dc_default)
            SelectObject(s.dc, s.dc_default);
        DeleteDC(s.dc);
    }
    if (s.bitmap)
        DeleteObject(s.bitmap);
    if (s.window_mem_dc)
        DeleteDC(s.window_mem_dc);
    if (s.window_dc)
        ReleaseDC(s.window, s.window_dc);
    s = Scratch();
}

// 0 ready; -1 "B TO D2"; -6 "SET BLT MD" or "SET BRS ORG". On failure `s` is already released.
// The scratch objects are made and set up, so that a printer or a memory shortage that cannot
// take them fails as it always has; but nothing ever reads the scratch bitmap, so it is neither
// converted to a DIB nor drawn into (at 3840 x 2160 those two took about 80 ms in every band).
static int prepare_scratch(Scratch& s, HDC printer)
{
    s.window = capture_active_window ? capture_target : main_window;
    s.window_dc = GetDC(s.window);
    s.window_mem_dc = CreateCompatibleDC(s.window_dc);
    s.dc = CreateCompatibleDC(printer);
    s.bitmap = s.dc ? CreateCompatibleBitmap(s.dc, capture_width, capture_height) : NULL;
    s.dc_default = s.bitmap ? SelectObject(s.dc, s.bitmap) : NULL;
    int result = 0;
    if (!s.bitmap) {
        show_step_error(EXPAND_FAILED, "B TO D2");
        result = -1;
    } else if (!SetStretchBltMode(s.dc, HALFTONE) &&
               // The Windows 95 family has no HALFTONE; the plain mode prints as well.
               !SetStretchBltMode(s.dc, COLORONCOLOR)) {
        show_step_error(EXPAND_FAILED, "SET BLT MD");
        result = -6;
    } else if (!SetBrushOrgEx(s.dc, 0, 0, NULL)) {
        show_step_error(EXPAND_FAILED, "SET BRS ORG");
        result = -6;
    }
    if (result != 0)
        release_scratch(s);
    return result;
}

// The clipboard image as a DIB; the clipboard is left open either way. NULL after "B TO D1".
static HGLOBAL clipboard_image_dib()
{
    HGLOBAL dib = NULL;
    if (open_clipboard(main_window))
        dib = bitmap_to_dib((HBITMAP)GetClipboardData(CF_BITMAP), NULL);
    if (!dib)
        show_step_error(EXPAND_FAILED, "B TO D1");
    return dib;
}

static void draw_text(HDC dc, const FontRecord& stored, COLORREF colour, int position,
                      const char* text, int16_t page_width, int16_t page_height)
{
    LOGFONTA lf;
    static_assert(sizeof lf == sizeof stored, "the stored font is a LOGFONTA");
    memcpy(&lf, &stored, sizeof lf);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    lf.lfHeight *= 3;
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ previous = SelectObject(dc, font);
    int length = (int)strlen(text);
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text, length, &extent);
    TextPlace at = place_text(position, page_width, page_height, extent.cx, extent.cy);
    SetTextColor(dc, colour);
    TextOutA(dc, at.x, at.y, text, length);
    SelectObject(dc, previous);
    DeleteObject(font);
}

// The whole page: image, frame, title and time stamp, in full-page coordinates.
static void draw_page(HDC dc, HGLOBAL image_dib, int16_t page_width, int16_t page_height)
{
    PageLayout l = layout_page(page_width, page_height, capture_width, capture_height,
                               settings.punch_margin_left, settings.punch_margin_top,
                               settings.proportional_print == 1);
    auto* info = static_cast<BITMAPINFO*>(GlobalLock(image_dib));
    StretchDIBits(dc, l.left, l.top, l.width, l.height, 0, 0, capture_width, capture_height,
                  dib_bits(info), info, DIB_RGB_COLORS, SRCCOPY);
    GlobalUnlock(image_dib);
    const POINT frame[5] = {{l.frame_left, l.frame_top},
                            {l.frame_right, l.frame_top},
                            {l.frame_right, l.frame_bottom},
                            {l.frame_left, l.frame_bottom},
                            {l.frame_left, l.frame_top}};
    Polyline(dc, frame, 5);

    SetMapMode(dc, MM_TEXT);
    SetViewportOrgEx(dc, 0, 0, NULL);
    SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    char text[64];
    if (settings.print_title == 1 && settings.title_text[0]) {
        char title[sizeof settings.title_text] = {0};
        memcpy(title, settings.title_text, sizeof title - 1);
        snprintf(text, sizeof text, "%s ", title);
        draw_text(dc, settings.title_font, settings.title_color, settings.title_position, text,
                  page_width, page_height);
    }
    if (settings.print_timestamp == 1) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        format_timestamp(text, sizeof text, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                         t.wSecond);
        draw_text(dc, settings.timestamp_font, settings.timestamp_color,
                  settings.timestamp_position, text, page_width, page_height);
    }
}

static bool start_document(HDC dc)
{
    // The record as Windows NT 3.51 knows it: the data type and flags that Windows 95 and
    // NT 4.0 added stay unset here, and those systems take the shorter record.
    DOCINFOA doc = {};
    static_assert(offsetof(DOCINFOA, lpszDatatype) == 12, "the first three fields");
    doc.cbSize = offsetof(DOCINFOA, lpszDatatype);
    doc.lpszDocName = DOCUMENT_NAME;
    return StartDocA(dc, &doc) > 0;
}

// Ends the page and the document. After a failed step (its box shown, `result` below 0) the
// ending is quiet; otherwise a spooler that refuses either loses the printout, which is then a
// failed print: -6 after the "END PAGE" or "END DOC" box.
static int end_page_and_document(HDC dc, int result)
{
    if (result != 0) {
        EndPage(dc);
        EndDoc(dc);
        return result;
    }
    if (EndPage(dc) <= 0) {
        show_step_error(PREPARE_FAILED, "END PAGE");
        EndDoc(dc);
        return -6;
    }
    if (EndDoc(dc) <= 0) {
        show_step_error(PREPARE_FAILED, "END DOC");
        return -6;
    }
    return 0;
}

int print_image()
{
    refresh_default_printer(0);
    HDC dc = create_printer_dc();
    if (!dc)
        return -6;
    if (!(GetDeviceCaps(dc, RASTERCAPS) & RC_BITBLT)) {
        DeleteDC(dc);
        return -5;
    }
    if (!start_document(dc)) {
        show_step_error(PREPARE_FAILED, "START DOC");
        EndDoc(dc);
        DeleteDC(dc);
        return -6;
    }
    int16_t page_width = (int16_t)GetDeviceCaps(dc, HORZRES);
    int16_t page_height = (int16_t)GetDeviceCaps(dc, VERTRES);
    if (StartPage(dc) <= 0) {
        show_step_error(PREPARE_FAILED, "START PAGE");
        EndDoc(dc);
        DeleteDC(dc);
        return -6;
    }
    int result = -1;
    HGLOBAL image_dib = clipboard_image_dib();
    if (image_dib) {
        Scratch scratch;
        result = prepare_scratch(scratch, dc);
        if (result == 0) {
            draw_page(dc, image_dib, page_width, page_height);
            release_scratch(scratch);
        }
        GlobalFree(image_dib);
    }
    CloseClipboard();
    result = end_page_and_document(dc, result);
    DeleteDC(dc);
    return result;
}

// Ends a banded document the way it was started; `result` as for end_page_and_document.
static int end_banded_document(HDC dc, int result)
{
    if (os_platform == 1)
        return end_page_and_document(dc, result);
    if (Escape(dc, ENDDOC, 0, NULL, NULL) <= 0 && result == 0) {
        show_step_error(PREPARE_FAILED, "END DOC");
        return -6;
    }
    return result;
}

static bool start_banded_document(HDC dc)
{
    if (os_platform == 1) {
        if (!start_document(dc)) {
            show_step_error(PREPARE_FAILED, "START DOC");
            return false;
        }
        if (StartPage(dc) <= 0) {
            show_step_error(PREPARE_FAILED, "START PAGE");
            return false;
        }
        return true;
    }
    int started = Escape(dc, STARTDOC, (int)strlen(DOCUMENT_NAME), DOCUMENT_NAME, NULL);
    if (started <= 0) {
        show_step_error(started == 0 ? NO_BANDING : PREPARE_FAILED, "START DOC");
        return false;
    }
    return true;
}

static int print_bands(HDC dc, HGLOBAL image_dib, int16_t page_width, int16_t page_height)
{
    RECT band = {0, 0, 0, 0};
    if (Escape(dc, NEXTBAND, 0, NULL, &band) <= 0) {
        show_step_error(BAND_FAILED, "NEXTBAND SCAPE");
        return -6;
    }
    while (!IsRectEmpty(&band)) {
        Scratch scratch;
        if (prepare_scratch(scratch, dc) != 0)
            return -6;
        draw_page(dc, image_dib, page_width, page_height);
        release_scratch(scratch);
        if (Escape(dc, NEXTBAND, 0, NULL, &band) <= 0)
            break;
    }
    return 0;
}

int print_image_banded()
{
    refresh_default_printer(0);
    HDC dc = create_printer_dc();
    if (!dc)
        return -6;
    if (!(GetDeviceCaps(dc, RASTERCAPS) & (RC_BITBLT | RC_BANDING))) {
        show_step_error(NO_BANDING, "BANDING CHECK");
        DeleteDC(dc);
        return -5;
    }
    if (!start_banded_document(dc)) {
        end_banded_document(dc, -6);
        DeleteDC(dc);
        return -6;
    }
    int16_t page_width = (int16_t)GetDeviceCaps(dc, HORZRES);
    int16_t page_height = (int16_t)GetDeviceCaps(dc, VERTRES);
    HGLOBAL image_dib = clipboard_image_dib();
    int result = -1;
    if (image_dib) {
        result = print_bands(dc, image_dib, page_width, page_height);
        GlobalFree(image_dib);
    }
    CloseClipboard();
    result = end_banded_document(dc, result);
    DeleteDC(dc);
    return result;
}

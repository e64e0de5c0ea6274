// Screen capture into a clipboard bitmap, and the colour adjustment pass over it.
#include "capture/capture_win.h"

#include <mmsystem.h>
#include <stdio.h>

#include <memory>
#include <new>

#include "base/process_win.h"
#include "capture/clipboard_win.h"
#include "capture/colour_adjust.h"
#include "settings/settings.h"

static const char CAPTURE_FAILED_TEXT[] = "画像の取り込みに失敗しました";

static void show_progress(int percent)
{
    adjust_percent = percent;
    if (IsIconic(main_window)) {
        char title[32];
        snprintf(title, sizeof title, "ADJUST %3d%%", percent);
        SetWindowTextA(main_window, title);
    }
    refresh_status();
}

void adjust_image_colours_by_pixel(HDC dc, int width, int height)
{
    ColourRule rule = colour_rule_from(settings);
    for (int x = 0; x < width; x++) {
        int p = progress_before_column(x, width, adjust_percent);
        if (p >= 0)
            show_progress(p);
        for (int y = 0; y < height; y++) {
            COLORREF c = GetPixel(dc, x, y);
            Rgb in = {GetRValue(c), GetGValue(c), GetBValue(c)};
            Rgb out = adjust_pixel(rule, in);
            if (out.r != in.r || out.g != in.g || out.b != in.b)
                SetPixel(dc, x, y, RGB(out.r, out.g, out.b));
        }
    }
}

// After a bulk write that stopped short, some rows hold the adjusted colours and the others
// the original ones, and which is which is not reported. Setting each pixel to its adjusted
// colour is right for both kinds of row; adjusting again would not be.
static void put_adjusted_bits_by_pixel(HDC dc, const uint8_t* bits, size_t stride,
                                       int bytes_per_pixel, int width, int height)
{
    for (int y = 0; y < height; y++) {
        const uint8_t* p = bits + stride * y;
        for (int x = 0; x < width; x++, p += bytes_per_pixel)
            SetPixel(dc, x, y, RGB(p[2], p[1], p[0]));
    }
}

// The masks of a 16-bit bitmap as the system reports them, into `format`; false for masks other
// than 5-5-5 and 5-6-5. The bitmap may not be selected into a DC.
static bool pixel16_layout_of(HDC dc, HBITMAP bitmap, Pixel16Format* format)
{
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } query = {};
    query.header.biSize = sizeof query.header;
    // The first call fills in the header, the second the masks that go with it.
    if (!GetDIBits(dc, bitmap, 0, 0, NULL, reinterpret_cast<BITMAPINFO*>(&query),
                   DIB_RGB_COLORS) ||
        query.header.biBitCount != 16)
        return false;
    if (query.header.biCompression == BI_RGB)
        return pixel16_layout(0x7C00, 0x03E0, 0x001F, format);
    if (query.header.biCompression != BI_BITFIELDS ||
        !GetDIBits(dc, bitmap, 0, 0, NULL, reinterpret_cast<BITMAPINFO*>(&query),
                   DIB_RGB_COLORS))
        return false;
    return pixel16_layout(query.masks[0], query.masks[1], query.masks[2], format);
}

// A DIB header with room for three masks.
struct MaskedDibInfo {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

// A 16-bit DIB with the format's own masks: its bits are the bitmap's bits unchanged.
static MaskedDibInfo dib16_info(const Pixel16Format& f, int width, int height)
{
    MaskedDibInfo bi = {};
    bi.header.biSize = sizeof bi.header;
    bi.header.biWidth = width;
    bi.header.biHeight = -height;  // top-down: row y is line y
    bi.header.biPlanes = 1;
    bi.header.biBitCount = 16;
    bi.header.biCompression = BI_BITFIELDS;
    for (int c = 0; c < 3; c++)
        bi.masks[c] = ((1u << f.bits[c]) - 1) << f.shift[c];
    return bi;
}

// How this display reads and writes a 16-bit pixel through GetPixel and SetPixel, learnt from
// the system itself on a scratch bitmap like the one `dc` holds: whatever widens and narrows
// the channels (Wine's GDI, a Windows display driver), the tables are its own. Row 1 holds
// every stored channel value and gives what GetPixel reports; row 0 takes every grey through
// SetPixel and gives the stored values, and what GetPixel reports of them to hold the tables
// to. Once per process and layout; false when the tables cannot stand for the system.
static bool learn_pixel16(HDC dc, Pixel16Format* f)
{
    static bool learnt;
    static bool usable;
    static Pixel16Format known;
    if (learnt) {
        // Another layout (another display) is learnt again.
        if (known.shift[0] == f->shift[0] && known.bits[1] == f->bits[1]) {
            *f = known;
            return usable;
        }
    }
    // Row 1 holds the stored values; row 0 is set pixel by pixel next.
    uint16_t rows[2][256] = {};
    for (int v = 0; v < 64; v++)
        for (int c = 0; c < 3; c++)
            rows[1][v] |= (uint16_t)((v >> (6 - f->bits[c])) << f->shift[c]);
    MaskedDibInfo bi = dib16_info(*f, 256, 2);
    auto* info = reinterpret_cast<BITMAPINFO*>(&bi);
    HDC probe_dc = CreateCompatibleDC(dc);
    HBITMAP probe = CreateDIBitmap(dc, &bi.header, CBM_INIT, rows, info, DIB_RGB_COLORS);
    bool ok = false, unusable = false;
    if (probe_dc && probe) {
        HGDIOBJ old = SelectObject(probe_dc, probe);
        for (int v = 0; v < 64; v++) {
            COLORREF c = GetPixel(probe_dc, v, 1);
            const uint8_t reported[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            for (int k = 0; k < 3; k++)
                f->widen[k][v >> (6 - f->bits[k])] = reported[k];
        }
        COLORREF kept[256];
        for (int v = 0; v < 256; v++) {
            SetPixel(probe_dc, v, 0, RGB(v, v, v));
            kept[v] = GetPixel(probe_dc, v, 0);
        }
        SelectObject(probe_dc, old);
        ok = GetDIBits(probe_dc, probe, 0, 2, rows, info, DIB_RGB_COLORS) == 2;
        for (int v = 0; ok && v < 256; v++) {
            for (int k = 0; k < 3; k++)
                f->narrow[k][v] = (uint8_t)((rows[0][v] >> f->shift[k]) & ((1 << f->bits[k]) - 1));
            // What the display kept reads back as the tables say: the DIB's masks hold every
            // bit of the display's pixel (a 5-5-5 DIB over a 5-6-5 display would drop one).
            if (RGB(f->widen[0][f->narrow[0][v]], f->widen[1][f->narrow[1][v]],
                    f->widen[2][f->narrow[2][v]]) != kept[v])
                unusable = true;
        }
    }
    if (probe)
        DeleteObject(probe);
    if (probe_dc)
        DeleteDC(probe_dc);
    if (!ok)
        return false;  // not learnt: tried again next time
    learnt = true;
    usable = !unusable && pixel16_format_usable(*f);
    known = *f;
    return usable;
}

// After a bulk write of 16-bit pixels that stopped short: as above, each pixel set to the
// colour that stores it.
static void put_adjusted_16bit_by_pixel(HDC dc, const uint8_t* bits, size_t stride,
                                        const Pixel16Format& f, int width, int height)
{
    for (int y = 0; y < height; y++) {
        const uint16_t* p = reinterpret_cast<const uint16_t*>(bits + stride * y);
        for (int x = 0; x < width; x++) {
            uint8_t c[3];
            for (int k = 0; k < 3; k++)
                c[k] = f.widen[k][(p[x] >> f.shift[k]) & ((1 << f.bits[k]) - 1)];
            SetPixel(dc, x, y, RGB(c[0], c[1], c[2]));
        }
    }
}

// The bits of a 24- or 32-bit bitmap are its colours exactly, so they can be adjusted in place
// of GetPixel/SetPixel with the same result. A 16-bit pixel's bits are mapped to the pixel the
// pixel-by-pixel method leaves, through the display's own widening and narrowing. Each pixel's
// new colour depends on that pixel alone, so the bits are taken row by row, in their own order:
// a strip of columns of a large screen (a twentieth of 3840 x 2160 is 1.6 MB) strides a row
// apart and leaves the cache, a quarter slower. The progress shows the same values as the
// column order, each after the same share of pixels.
bool adjust_image_colours_in_bulk(HDC dc, HBITMAP bitmap, int width, int height)
{
    BITMAP bm;
    if (!GetObjectA(bitmap, sizeof bm, &bm) || bm.bmPlanes != 1 ||
        (bm.bmBitsPixel != 32 && bm.bmBitsPixel != 24 && bm.bmBitsPixel != 16) ||
        bm.bmWidth != width || bm.bmHeight != height)
        return false;
    int bytes_per_pixel = bm.bmBitsPixel / 8;
    size_t stride = ((size_t)width * bytes_per_pixel + 3) & ~(size_t)3;
    // Not zero-filled first: GetDIBits fills every pixel, and what row padding holds never
    // becomes a pixel (at 3840 x 2160, a 33 MB fill spared). No room for the copy: the
    // pixel-by-pixel method needs none.
    std::unique_ptr<uint8_t[]> bits(new (std::nothrow) uint8_t[stride * height]);
    if (!bits)
        return false;
    MaskedDibInfo bi = {};
    bi.header.biSize = sizeof bi.header;
    bi.header.biWidth = width;
    bi.header.biHeight = -height;  // top-down: row y is line y
    bi.header.biPlanes = 1;
    bi.header.biBitCount = bm.bmBitsPixel;
    bi.header.biCompression = BI_RGB;
    auto* info = reinterpret_cast<BITMAPINFO*>(&bi);

    // The bitmap may not be selected into a DC while its bits are read and written.
    HBITMAP placeholder = CreateCompatibleBitmap(dc, 1, 1);
    if (!placeholder)
        return false;
    SelectObject(dc, placeholder);
    Pixel16Format format = {};
    std::unique_ptr<uint16_t[]> map;
    if (bytes_per_pixel == 2) {
        if (pixel16_layout_of(dc, bitmap, &format) && learn_pixel16(dc, &format))
            map.reset(new (std::nothrow) uint16_t[65536]);
        if (!map) {
            SelectObject(dc, bitmap);
            DeleteObject(placeholder);
            return false;
        }
        build_pixel16_map(colour_rule_from(settings), format, map.get());
        bi = dib16_info(format, width, height);
    }
    bool read = GetDIBits(dc, bitmap, 0, height, bits.get(), info, DIB_RGB_COLORS) == height;
    bool written = false;
    if (read) {
        ColourTables tables;
        build_colour_tables(tables, colour_rule_from(settings));
        auto run_rows = [&](int from, int to) {
            for (int y = from; y < to; y++) {
                uint8_t* row = bits.get() + stride * y;
                if (bytes_per_pixel == 4)
                    adjust_bgrx_pixels(tables, row, width);
                else if (bytes_per_pixel == 3)
                    adjust_bgr_pixels(tables, row, width);
                else
                    adjust_16bit_pixels(map.get(), reinterpret_cast<uint16_t*>(row), width);
            }
        };
        int from = 0;
        for (int x = 0; x < width; x++) {
            int p = progress_before_column(x, width, adjust_percent);
            if (p < 0)
                continue;
            int to = (int)((int64_t)x * height / width);
            run_rows(from, to);
            from = to;
            show_progress(p);
        }
        run_rows(from, height);
        written = SetDIBits(dc, bitmap, 0, height, bits.get(), info, DIB_RGB_COLORS) == height;
    }
    SelectObject(dc, bitmap);
    DeleteObject(placeholder);
    if (read && !written) {
        if (bytes_per_pixel == 2)
            put_adjusted_16bit_by_pixel(dc, bits.get(), stride, format, width, height);
        else
            put_adjusted_bits_by_pixel(dc, bits.get(), stride, bytes_per_pixel, width, height);
    }
    return read;
}

void adjust_image_colours(HDC dc, HBITMAP bitmap, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    int shown = adjust_percent;
    if (adjust_image_colours_in_bulk(dc, bitmap, width, height))
        return;
    adjust_percent = shown;
    adjust_image_colours_by_pixel(dc, width, height);
}

// Step 15: the clipboard closes on every path; a minimised window says it is waiting.
static void finish(HWND owner)
{
    CloseClipboard();
    if (IsIconic(owner))
        SetWindowTextA(owner, "waiting");
}

int capture_to_clipboard(HWND owner, const CaptureRequest& request)
{
    bool needed = adjustment_needed(colour_rule_from(settings));
    if (!open_clipboard(owner)) {
        show_step_error(CAPTURE_FAILED_TEXT, "OPEN CLIP");
        return -2;
    }
    EmptyClipboard();

    HWND reference = request.active_window ? request.target : owner;
    HDC ref_dc = GetDC(reference);
    if (!ref_dc) {
        show_step_error(CAPTURE_FAILED_TEXT, "GET DC");
        finish(owner);
        return -3;
    }
    if (!(GetDeviceCaps(ref_dc, RASTERCAPS) & RC_BITBLT)) {
        ReleaseDC(reference, ref_dc);
        CloseClipboard();
        return -1;
    }

    int src_x = 0, src_y = 0;
    if (request.active_window) {
        src_x = request.target_rect.left;
        src_y = request.target_rect.top;
    } else if (settings.use_fixed_area == 1) {
        src_x = settings.area_left;
        src_y = settings.area_top;
        capture_width = (int16_t)(settings.area_right - settings.area_left);
        capture_height = (int16_t)(settings.area_bottom - settings.area_top);
    }
    int width = capture_width, height = capture_height;

    HBITMAP bitmap = CreateCompatibleBitmap(ref_dc, width, height);
    if (!bitmap) {
        show_step_error(CAPTURE_FAILED_TEXT, "CREATE CB BM");
        ReleaseDC(reference, ref_dc);
        finish(owner);
        return -3;
    }
    HDC mem_dc = CreateCompatibleDC(ref_dc);
    if (!mem_dc) {
        show_step_error(CAPTURE_FAILED_TEXT, "OPEN CB DC");
        DeleteObject(bitmap);
        ReleaseDC(reference, ref_dc);
        finish(owner);
        return -3;
    }
    HGDIOBJ dc_default = SelectObject(mem_dc, bitmap);

    // A copy of equal sizes on both sides: the same pixels as a stretching copy, but under Wine
    // a stretching copy goes the long way (at 3840 x 2160, 57 ms against 47).
    HDC screen = GetDC(NULL);
    BitBlt(mem_dc, 0, 0, width, height, screen, src_x, src_y,
           settings.invert_image == 1 ? NOTSRCCOPY : SRCCOPY);
    ReleaseDC(NULL, screen);

    if (settings.high_speed_scan != 1)
        SetWindowPos(owner, HWND_BOTTOM, request.main_rect.left, request.main_rect.top,
                     request.main_rect.right - request.main_rect.left,
                     request.main_rect.bottom - request.main_rect.top,
                     SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (settings.capture_sound == 1)
        PlaySoundA("WAVE1", instance_handle, SND_RESOURCE | SND_ASYNC);
    else
        MessageBeep(0);

    adjust_percent = 100;
    if (needed)
        adjust_image_colours(mem_dc, bitmap, width, height);

    SelectObject(mem_dc, dc_default);
    DeleteDC(mem_dc);
    // A bitmap the clipboard refused is still ours, and there is no image to output.
    if (!SetClipboardData(CF_BITMAP, bitmap)) {
        DWORD error = GetLastError();
        DeleteObject(bitmap);
        ReleaseDC(reference, ref_dc);
        show_step_error_code(CAPTURE_FAILED_TEXT, "SET CLIP", error);
        finish(owner);
        return -3;
    }
    ReleaseDC(reference, ref_dc);
    finish(owner);
    return 0;
}

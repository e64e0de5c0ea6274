// Benchmark: the colour adjustment pass over a 1920 x 1080 display bitmap (of the display's
// depth: 32 bits, or 16 in a session at depth 16), pixel by pixel through the device context
// versus in bulk over the bitmap's bits. Prints the median times,
// the ratio, and whether the two results are identical; "FIG" lines carry every repetition
// for scripts/bench.sh.
//   bench_adjust_win.exe [WIDTH HEIGHT [PIXEL_REPS BULK_REPS]]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "app/shell_win.h"
#include "app/status.h"
#include "capture/capture_win.h"
#include "settings/settings.h"
#include "tests/bench/bench_win.h"

static std::vector<uint32_t> bits_of(HDC dc, HBITMAP bitmap, int w, int h)
{
    std::vector<uint32_t> bits((size_t)w * h);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    GetDIBits(dc, bitmap, 0, h, bits.data(), &bi, DIB_RGB_COLORS);
    return bits;
}

static HBITMAP noisy_bitmap(HDC screen, int w, int h)
{
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    std::vector<uint32_t> pixels((size_t)w * h);
    uint32_t x = 2024;
    for (size_t i = 0; i < pixels.size(); i++) {
        // Screen-like content: runs of flat colour with some noise.
        if (i % 37 == 0) {
            x = x * 1664525u + 1013904223u;
        }
        pixels[i] = (x >> 8) ^ (uint32_t)(i & 0x0F);
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    SetDIBits(screen, bitmap, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
    return bitmap;
}

static double seconds_since(LARGE_INTEGER start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return double(now.QuadPart - start.QuadPart) / double(freq.QuadPart);
}

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

static bool bulk_ran = true;  // false once the bulk pass could not run and went pixel by pixel

// One pass over a fresh noisy bitmap, in milliseconds; the adjusted bits in `bits`.
static double timed_pass(HDC screen, int w, int h, bool bulk, std::vector<uint32_t>* bits)
{
    HBITMAP bitmap = noisy_bitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    LARGE_INTEGER t0;
    QueryPerformanceCounter(&t0);
    adjust_percent = 100;
    if (bulk) {
        if (!adjust_image_colours_in_bulk(dc, bitmap, w, h)) {
            bulk_ran = false;
            adjust_percent = 100;
            adjust_image_colours_by_pixel(dc, w, h);
        }
    } else
        adjust_image_colours_by_pixel(dc, w, h);
    double ms = seconds_since(t0) * 1000;
    SelectObject(dc, old);
    *bits = bits_of(dc, bitmap, w, h);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return ms;
}

int main(int argc, char** argv)
{
    int w = argc > 2 ? atoi(argv[1]) : 1920;
    int h = argc > 2 ? atoi(argv[2]) : 1080;
    int pixel_reps = argc > 4 ? std::max(1, atoi(argv[3])) : 1;
    int bulk_reps = argc > 4 ? std::max(1, atoi(argv[4])) : 1;
    // The program's own main window procedure, so the progress repaints cost what they cost
    // in the program. Nothing here pumps messages, so what it posts to itself stays unread.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    wc.lpszClassName = "KavrelBenchMain";
    RegisterClassA(&wc);
    main_window = CreateWindowA("KavrelBenchMain", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 180, 42,
                                NULL, NULL, wc.hInstance, NULL);
    main_state = ADJUSTING;
    reset_settings(settings);
    settings.brightness = 30;
    settings.red_level = -20;
    settings.blue_level = 45;
    settings.black_emphasis = 1;

    HDC screen = GetDC(NULL);
    int display_bits = GetDeviceCaps(screen, BITSPIXEL);
    std::vector<double> pixel_ms, bulk_ms;
    std::vector<uint32_t> by_pixel, in_bulk;
    for (int r = 0; r < pixel_reps; r++)
        pixel_ms.push_back(timed_pass(screen, w, h, false, &by_pixel));
    for (int r = 0; r < bulk_reps; r++)
        bulk_ms.push_back(timed_pass(screen, w, h, true, &in_bulk));
    // The twenty status-line repaints and the set-up, the same in both methods: a pass over
    // a bitmap too small for its pixels to count. Under Wine each repaint waits on the
    // server, so this part follows the load of the machine more than the pixels do.
    std::vector<double> fixed_ms;
    std::vector<uint32_t> tiny;
    for (int r = 0; r < bulk_reps; r++)
        fixed_ms.push_back(timed_pass(screen, 20, 16, true, &tiny));
    ReleaseDC(NULL, screen);

    bool same = by_pixel == in_bulk;
    double mpix = double(w) * h / 1e6;
    double pixel_s = median(pixel_ms) / 1000, bulk_s = median(bulk_ms) / 1000;
    printf("colour adjustment pass, %d x %d (%.2f Mpixel) on a %d-bit display, brightness 30, "
           "levels -20/0/+45, black emphasis; medians of %d and %d\n", w, h, mpix,
           display_bits, pixel_reps, bulk_reps);
    printf("  per pixel (GetPixel/SetPixel): %9.3f s  %8.1f ms/Mpixel\n", pixel_s,
           pixel_s * 1000 / mpix);
    printf("  bulk over the bits:            %9.3f s  %8.1f ms/Mpixel\n", bulk_s,
           bulk_s * 1000 / mpix);
    printf("  ratio: %.1f times faster; results %s%s\n", pixel_s / bulk_s,
           same ? "identical" : "DIFFER",
           bulk_ran ? "" : "; the bulk pass did NOT run (pixel by pixel instead)");
    printf("  of which progress repaints and set-up (a 20 x 16 pass): %.1f ms\n",
           median(fixed_ms));
    print_fig("adjust_pixel", pixel_ms);
    print_fig("adjust_bulk", bulk_ms);
    print_fig("adjust_same", {same ? 1.0 : 0.0});
    print_fig("adjust_fixed", fixed_ms);
    print_fig("adjust_bits", {(double)display_bits});
    print_fig("adjust_bulk_ran", {bulk_ran ? 1.0 : 0.0});
    return same && bulk_ran ? 0 : 1;
}
